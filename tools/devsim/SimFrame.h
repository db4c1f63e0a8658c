#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The device's own view of the 0x6262 frame. Deliberately independent of src/protocol, so that a
// misreading of the layout on either side shows up as a failed exchange instead of cancelling out.
namespace provix::devsim {

using Mac = std::array<uint8_t, 6>;

inline constexpr size_t kFrameSize = 1286;
inline constexpr size_t kSegmentSize = 1024;
inline constexpr uint16_t kEtherType = 0x6262;

// Byte offsets inside a frame.
inline constexpr size_t kOffDst = 0;
inline constexpr size_t kOffSrc = 6;
inline constexpr size_t kOffType = 12;
inline constexpr size_t kOffModule = 14;
inline constexpr size_t kOffSeq = 16;
inline constexpr size_t kOffMsg = 18;
inline constexpr size_t kOffTotal = 20;
inline constexpr size_t kOffInfo = 22;
inline constexpr size_t kOffSegFlag = 222;
inline constexpr size_t kOffData = 260;
inline constexpr size_t kOffDataLen = 1284;

// The four slots of the discovery answer's device information: offset and size.
struct InfoSlot {
    size_t offset;
    size_t size;
};
inline constexpr InfoSlot kSlotSsid2{22, 34};
inline constexpr InfoSlot kSlotSsid5{56, 34};
inline constexpr InfoSlot kSlotKey2{90, 66};
inline constexpr InfoSlot kSlotKey5{156, 66};

enum Module : uint16_t { kModuleDiscover = 0, kModulePara = 1, kModuleLogo = 2, kModuleJson = 3 };

enum Msg : uint16_t {
    kMsgDiscover = 1,
    kMsgParaData = 2,
    kMsgLogoData = 3,
    kMsgReply = 4,
    kMsgParaFail = 5,
    kMsgParaSuccess = 6,
    kMsgLogoFail = 7,
    kMsgLogoSuccess = 8,
    kMsgLockcodeMismatch = 9,
    kMsgJsonSuccess = 10,
    kMsgJsonCmd = 11,
};

enum SegFlag : uint16_t { kSegMiddle = 0, kSegFirst = 1, kSegLast = 2 };

inline constexpr Mac kBroadcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

uint16_t GetU16(const uint8_t* frame, size_t offset);
void PutU16(uint8_t* frame, size_t offset, uint16_t value);
Mac GetMac(const uint8_t* frame, size_t offset);

// Zero-fills the whole frame and writes the Ethernet header, module, msg, seq and total.
void BuildHeader(uint8_t* frame, const Mac& dst, const Mac& src, uint16_t module, uint16_t msg, uint16_t seq,
                 uint16_t total);

// Writes text into an info slot: cut to the slot, NUL-terminated when it is shorter than the slot.
void PutInfoText(uint8_t* frame, InfoSlot slot, std::string_view text);
// Reads an info slot up to its first NUL or the end of the slot.
std::string GetInfoText(const uint8_t* frame, InfoSlot slot);

// The sequence number that the n-th segment of a payload carries (n counted from 1): the low 16 bits,
// with 0 replaced by 0xFFFF because 0 is never sent in a data segment.
uint16_t SeqForSegment(uint64_t n);

// "02:50:00:00:00:01" (upper-case) and the 12-digit form without colons used in file names.
std::string MacText(const Mac& mac);
std::string MacHex(const Mac& mac);
// Accepts "aa:bb:cc:dd:ee:ff" or "aa-bb-..." in either case; nothing else.
std::optional<Mac> ParseMac(std::string_view text);
uint64_t MacToInt(const Mac& mac);
Mac MacFromInt(uint64_t value);

}  // namespace provix::devsim
