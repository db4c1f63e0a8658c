#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace provix {

// Every frame between the tool and a device: Ethernet II, EtherType 0x6262, always 1286 bytes on the
// wire. All 16-bit fields are big-endian; bytes a frame kind does not use are zero.
inline constexpr std::size_t kFrameSize = 1286;
inline constexpr std::uint16_t kEtherType = 0x6262;
inline constexpr std::size_t kMacSize = 6;
inline constexpr std::size_t kSegmentSize = 1024;      // payload bytes per data segment
inline constexpr std::size_t kMaxCommandLength = 511;  // the command and its NUL fit half a segment

// Byte offsets of the fields.
inline constexpr std::size_t kOffDstMac = 0;
inline constexpr std::size_t kOffSrcMac = 6;
inline constexpr std::size_t kOffEtherType = 12;
inline constexpr std::size_t kOffModule = 14;
inline constexpr std::size_t kOffSeq = 16;
inline constexpr std::size_t kOffMsg = 18;
inline constexpr std::size_t kOffTotal = 20;
inline constexpr std::size_t kOffInfo = 22;
inline constexpr std::size_t kInfoSize = 200;
inline constexpr std::size_t kOffSegFlag = 222;
inline constexpr std::size_t kOffReserved = 224;
inline constexpr std::size_t kReservedSize = 36;
inline constexpr std::size_t kOffData = 260;
inline constexpr std::size_t kOffDataLen = 1284;

// Module codes (`module`).
enum : std::uint16_t {
    MODULE_DISCOVER = 0,
    MODULE_PARA = 1,
    MODULE_LOGO = 2,
    MODULE_JSON = 3,
};

// Message codes (`msg`); MSG_REPLY means a discovery answer in module 0 and an acknowledgement elsewhere.
enum : std::uint16_t {
    MSG_DISCOVER = 1,
    MSG_PARA_DATA = 2,
    MSG_LOGO_DATA = 3,
    MSG_REPLY = 4,
    MSG_PARA_FAIL = 5,
    MSG_PARA_SUCCESS = 6,
    MSG_LOGO_FAIL = 7,
    MSG_LOGO_SUCCESS = 8,
    MSG_LOCKCODE_MISMATCH = 9,
    MSG_JSON_SUCCESS = 10,
    MSG_JSON_CMD = 11,
};

// Position of a segment in its payload (`seg_flag`).
enum : std::uint16_t {
    SEG_MIDDLE = 0,
    SEG_FIRST = 1,
    SEG_LAST = 2,
};

// Sent instead of 0 when the segment counter wraps; also acknowledges any file segment.
inline constexpr std::uint16_t kSeqWrap = 0xFFFF;

// One text slot of the device information of a discovery answer (frame offset and size).
struct InfoSlot {
    std::size_t offset;
    std::size_t size;
};
inline constexpr InfoSlot kSlotSsid24{22, 34};
inline constexpr InfoSlot kSlotSsid5{56, 34};
inline constexpr InfoSlot kSlotKey24{90, 66};
inline constexpr InfoSlot kSlotKey5{156, 66};

using MacAddress = std::array<std::uint8_t, kMacSize>;
inline constexpr MacAddress kBroadcastMac{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// One frame as a fixed, zero-initialised byte record. Accessors convert byte order and never read or
// write outside the record, whatever the field values say.
struct ether_frame_stu {
    std::array<std::uint8_t, kFrameSize> bytes{};

    MacAddress DstMac() const;
    MacAddress SrcMac() const;
    std::uint16_t EtherType() const { return Get16(kOffEtherType); }
    std::uint16_t Module() const { return Get16(kOffModule); }
    std::uint16_t Seq() const { return Get16(kOffSeq); }
    std::uint16_t Msg() const { return Get16(kOffMsg); }
    std::uint16_t Total() const { return Get16(kOffTotal); }
    std::uint16_t SegFlag() const { return Get16(kOffSegFlag); }
    std::uint16_t DataLen() const { return Get16(kOffDataLen); }

    void SetDstMac(const MacAddress& mac);
    void SetSrcMac(const MacAddress& mac);
    void SetEtherType(std::uint16_t v) { Set16(kOffEtherType, v); }
    void SetModule(std::uint16_t v) { Set16(kOffModule, v); }
    void SetSeq(std::uint16_t v) { Set16(kOffSeq, v); }
    void SetMsg(std::uint16_t v) { Set16(kOffMsg, v); }
    void SetTotal(std::uint16_t v) { Set16(kOffTotal, v); }
    void SetSegFlag(std::uint16_t v) { Set16(kOffSegFlag, v); }

    // The valid part of `data`: `data_len` bytes, but never more than the 1024-byte area, since a
    // received frame may claim any length.
    std::span<const std::uint8_t> Data() const;

    // Copies bytes into `data`, zeroes the rest of the area and sets `data_len`. False (frame
    // unchanged) when more than 1024 bytes are given.
    bool SetData(std::span<const std::uint8_t> payload);

    // Text of an info slot: up to its first NUL, or the whole slot when it holds none.
    std::string InfoText(const InfoSlot& slot) const;

    std::uint16_t Get16(std::size_t offset) const;
    void Set16(std::size_t offset, std::uint16_t v);

    bool operator==(const ether_frame_stu&) const = default;
};

static_assert(sizeof(ether_frame_stu) == kFrameSize);

// The four texts of a discovery answer.
struct DeviceInfoTexts {
    std::string ssid24;
    std::string ssid5;
    std::string key24;
    std::string key5;
};

// A received frame of any length as a record: missing bytes read as zero, bytes past 1286 are dropped.
ether_frame_stu FrameFromBytes(std::span<const std::uint8_t> received);

// Header of an outgoing frame: addresses, EtherType, `module`, `msg`, `total`; all else zero.
ether_frame_stu BuildHeader(const MacAddress& dst, const MacAddress& src, std::uint16_t module,
                            std::uint16_t msg, std::uint16_t total);

// Broadcast discovery request from the adapter.
ether_frame_stu BuildDiscoverRequest(const MacAddress& adapter_mac);

// The data message of a file module (MSG_PARA_DATA for MODULE_PARA, MSG_LOGO_DATA for MODULE_LOGO),
// or 0 for a module that carries no files.
std::uint16_t DataMsgOf(std::uint16_t module);

// One data segment of a file payload; nullopt for a module without files or more than 1024 bytes.
std::optional<ether_frame_stu> BuildDataSegment(const MacAddress& dst, const MacAddress& src,
                                                std::uint16_t module, std::uint16_t total, std::uint16_t seq,
                                                std::uint16_t seg_flag, std::span<const std::uint8_t> data);

// The anti-theft command: the text and a NUL in `data`, `data_len` without the NUL. Nullopt when the
// text is longer than 511 bytes or holds a NUL (the device would read a different command).
std::optional<ether_frame_stu> BuildCommandFrame(const MacAddress& dst, const MacAddress& src,
                                                 std::string_view json);

// Device-side frames, for the emulator and tests. Texts longer than their slot allows are cut so that a
// NUL always ends them inside the slot.
ether_frame_stu BuildDiscoverAnswer(const MacAddress& adapter_mac, const MacAddress& device_mac,
                                    const DeviceInfoTexts& info);
ether_frame_stu BuildReply(const MacAddress& adapter_mac, const MacAddress& device_mac, std::uint16_t module,
                           std::uint16_t seq);
ether_frame_stu BuildReport(const MacAddress& adapter_mac, const MacAddress& device_mac, std::uint16_t module,
                            std::uint16_t msg);

// The device information of a discovery answer.
DeviceInfoTexts ReadDeviceInfo(const ether_frame_stu& frame);

// True for a (module, msg) pair the protocol defines; anything else is ignored on arrival.
bool IsValidModuleMsg(std::uint16_t module, std::uint16_t msg);

// True for a device's result report (1/5, 1/6, 2/7, 2/8, 3/9, 3/10).
bool IsResultReport(std::uint16_t module, std::uint16_t msg);

// Label of a module in the operation logs ("PARA_DATA", "LOG_DATA", "JSON_CMD_DATA"); empty otherwise.
const char* ModuleLabel(std::uint16_t module);

// MAC texts: "00:E0:4C:68:01:02" identifies a device, "00:e0:4c:68:01:02" is the adapter's form.
std::string FormatMacUpper(const MacAddress& mac);
std::string FormatMacLower(const MacAddress& mac);

// Reads "XX:XX:XX:XX:XX:XX" (exactly 17 characters, two hex digits per field, either letter case);
// nullopt for anything else.
std::optional<MacAddress> ParseMac(std::string_view text);

// How a payload of a given length is cut into data segments: at least one segment (an empty payload
// is one empty segment), 1024 bytes each, the last shorter, never a trailing empty one.
std::uint64_t SegmentCount(std::uint64_t payload_len);

// `seq` of segment number n (counted from 1): the low 16 bits, 0xFFFF instead of 0.
std::uint16_t SegmentSeq(std::uint64_t n);

struct SegmentInfo {
    std::uint64_t number = 0;  // counted from 1, never wraps
    std::uint16_t seq = 0;
    std::uint16_t seg_flag = SEG_MIDDLE;
    std::uint64_t offset = 0;  // of its first byte in the payload
    std::uint16_t length = 0;
};

// Segment n (1 <= n <= SegmentCount) of a payload: SEG_FIRST on the first of several, SEG_LAST on the
// last (and on a sole segment), SEG_MIDDLE otherwise. Nullopt for n outside the payload.
std::optional<SegmentInfo> PlanSegment(std::uint64_t payload_len, std::uint64_t n);

// Whether a frame from the device acknowledges file segment n of module: `seq` 0xFFFF acknowledges any
// segment; otherwise the module, MSG_REPLY and the full segment number must match, so once n passes
// 65535 only 0xFFFF can.
bool AcknowledgesFileSegment(const ether_frame_stu& frame, std::uint16_t module, std::uint64_t n);

// Whether a frame acknowledges the anti-theft command (module 3, MSG_REPLY, seq 1; 0xFFFF means nothing).
bool AcknowledgesCommand(const ether_frame_stu& frame);

}  // namespace provix
