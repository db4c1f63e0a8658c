#include "protocol/EtherFrame.h"

#include <algorithm>
#include <cstring>

namespace provix {
namespace {

MacAddress ReadMac(const std::array<std::uint8_t, kFrameSize>& bytes, std::size_t offset) {
    MacAddress mac{};
    std::copy_n(bytes.begin() + offset, kMacSize, mac.begin());
    return mac;
}

void WriteInfoText(ether_frame_stu& frame, const InfoSlot& slot, const std::string& text) {
    // Leave room for the NUL so the device side always ends its text inside the slot.
    const std::size_t n = std::min(text.size(), slot.size - 1);
    std::memcpy(frame.bytes.data() + slot.offset, text.data(), n);
}

std::string FormatMac(const MacAddress& mac, const char* digits) {
    std::string text(17, ':');
    for (std::size_t i = 0; i < kMacSize; ++i) {
        text[i * 3] = digits[mac[i] >> 4];
        text[i * 3 + 1] = digits[mac[i] & 0x0f];
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::uint16_t ether_frame_stu::Get16(std::size_t offset) const {
    if (offset + 2 > kFrameSize)
        return 0;
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

void ether_frame_stu::Set16(std::size_t offset, std::uint16_t v) {
    if (offset + 2 > kFrameSize)
        return;
    bytes[offset] = static_cast<std::uint8_t>(v >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(v & 0xff);
}

MacAddress ether_frame_stu::DstMac() const {
    return ReadMac(bytes, kOffDstMac);
}
MacAddress ether_frame_stu::SrcMac() const {
    return ReadMac(bytes, kOffSrcMac);
}

void ether_frame_stu::SetDstMac(const MacAddress& mac) {
    std::copy(mac.begin(), mac.end(), bytes.begin());
}

void ether_frame_stu::SetSrcMac(const MacAddress& mac) {
    std::copy(mac.begin(), mac.end(), bytes.begin() + kOffSrcMac);
}

std::span<const std::uint8_t> ether_frame_stu::Data() const {
    return {bytes.data() + kOffData, std::min<std::size_t>(DataLen(), kSegmentSize)};
}

bool ether_frame_stu::SetData(std::span<const std::uint8_t> payload) {
    if (payload.size() > kSegmentSize)
        return false;
    std::fill_n(bytes.begin() + kOffData, kSegmentSize, 0);
    std::copy(payload.begin(), payload.end(), bytes.begin() + kOffData);
    Set16(kOffDataLen, static_cast<std::uint16_t>(payload.size()));
    return true;
}

std::string ether_frame_stu::InfoText(const InfoSlot& slot) const {
    if (slot.offset >= kFrameSize)
        return {};
    const std::size_t size = std::min(slot.size, kFrameSize - slot.offset);
    const auto* begin = reinterpret_cast<const char*>(bytes.data() + slot.offset);
    const void* nul = std::memchr(begin, 0, size);
    const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : size;
    return std::string(begin, len);
}

ether_frame_stu FrameFromBytes(std::span<const std::uint8_t> received) {
    ether_frame_stu frame;
    std::copy_n(received.begin(), std::min(received.size(), kFrameSize), frame.bytes.begin());
    return frame;
}

ether_frame_stu BuildHeader(const MacAddress& dst, const MacAddress& src, std::uint16_t module,
                            std::uint16_t msg, std::uint16_t total) {
    ether_frame_stu frame;
    frame.SetDstMac(dst);
    frame.SetSrcMac(src);
    frame.SetEtherType(kEtherType);
    frame.SetModule(module);
    frame.SetMsg(msg);
    frame.SetTotal(total);
    return frame;
}

ether_frame_stu BuildDiscoverRequest(const MacAddress& adapter_mac) {
    return BuildHeader(kBroadcastMac, adapter_mac, MODULE_DISCOVER, MSG_DISCOVER, 0);
}

std::uint16_t DataMsgOf(std::uint16_t module) {
    switch (module) {
        case MODULE_PARA:
            return MSG_PARA_DATA;
        case MODULE_LOGO:
            return MSG_LOGO_DATA;
        default:
            return 0;
    }
}

std::optional<ether_frame_stu> BuildDataSegment(const MacAddress& dst, const MacAddress& src,
                                                std::uint16_t module, std::uint16_t total, std::uint16_t seq,
                                                std::uint16_t seg_flag, std::span<const std::uint8_t> data) {
    const std::uint16_t msg = DataMsgOf(module);
    if (msg == 0 || data.size() > kSegmentSize)
        return std::nullopt;
    ether_frame_stu frame = BuildHeader(dst, src, module, msg, total);
    frame.SetSeq(seq);
    frame.SetSegFlag(seg_flag);
    frame.SetData(data);
    return frame;
}

std::optional<ether_frame_stu> BuildCommandFrame(const MacAddress& dst, const MacAddress& src,
                                                 std::string_view json) {
    if (json.size() > kMaxCommandLength || json.find('\0') != std::string_view::npos)
        return std::nullopt;
    ether_frame_stu frame = BuildHeader(dst, src, MODULE_JSON, MSG_JSON_CMD, 1);
    frame.SetSeq(1);
    frame.SetSegFlag(SEG_LAST);
    // The NUL after the text is already there: SetData zeroes the whole area.
    frame.SetData({reinterpret_cast<const std::uint8_t*>(json.data()), json.size()});
    return frame;
}

ether_frame_stu BuildDiscoverAnswer(const MacAddress& adapter_mac, const MacAddress& device_mac,
                                    const DeviceInfoTexts& info) {
    ether_frame_stu frame = BuildHeader(adapter_mac, device_mac, MODULE_DISCOVER, MSG_REPLY, 0);
    WriteInfoText(frame, kSlotSsid24, info.ssid24);
    WriteInfoText(frame, kSlotSsid5, info.ssid5);
    WriteInfoText(frame, kSlotKey24, info.key24);
    WriteInfoText(frame, kSlotKey5, info.key5);
    return frame;
}

ether_frame_stu BuildReply(const MacAddress& adapter_mac, const MacAddress& device_mac, std::uint16_t module,
                           std::uint16_t seq) {
    ether_frame_stu frame = BuildHeader(adapter_mac, device_mac, module, MSG_REPLY, 0);
    frame.SetSeq(seq);
    return frame;
}

ether_frame_stu BuildReport(const MacAddress& adapter_mac, const MacAddress& device_mac, std::uint16_t module,
                            std::uint16_t msg) {
    return BuildHeader(adapter_mac, device_mac, module, msg, 0);
}

DeviceInfoTexts ReadDeviceInfo(const ether_frame_stu& frame) {
    return {frame.InfoText(kSlotSsid24), frame.InfoText(kSlotSsid5), frame.InfoText(kSlotKey24),
            frame.InfoText(kSlotKey5)};
}

bool IsValidModuleMsg(std::uint16_t module, std::uint16_t msg) {
    switch (module) {
        case MODULE_DISCOVER:
            return msg == MSG_DISCOVER || msg == MSG_REPLY;
        case MODULE_PARA:
            return msg == MSG_PARA_DATA || msg == MSG_REPLY || msg == MSG_PARA_FAIL ||
                   msg == MSG_PARA_SUCCESS;
        case MODULE_LOGO:
            return msg == MSG_LOGO_DATA || msg == MSG_REPLY || msg == MSG_LOGO_FAIL ||
                   msg == MSG_LOGO_SUCCESS;
        case MODULE_JSON:
            return msg == MSG_REPLY || msg == MSG_LOCKCODE_MISMATCH || msg == MSG_JSON_SUCCESS ||
                   msg == MSG_JSON_CMD;
        default:
            return false;
    }
}

bool IsResultReport(std::uint16_t module, std::uint16_t msg) {
    switch (module) {
        case MODULE_PARA:
            return msg == MSG_PARA_FAIL || msg == MSG_PARA_SUCCESS;
        case MODULE_LOGO:
            return msg == MSG_LOGO_FAIL || msg == MSG_LOGO_SUCCESS;
        case MODULE_JSON:
            return msg == MSG_LOCKCODE_MISMATCH || msg == MSG_JSON_SUCCESS;
        default:
            return false;
    }
}

const char* ModuleLabel(std::uint16_t module) {
    switch (module) {
        case MODULE_PARA:
            return "PARA_DATA";
        case MODULE_LOGO:
            return "LOG_DATA";
        case MODULE_JSON:
            return "JSON_CMD_DATA";
        default:
            return "";
    }
}

std::string FormatMacUpper(const MacAddress& mac) {
    return FormatMac(mac, "0123456789ABCDEF");
}
std::string FormatMacLower(const MacAddress& mac) {
    return FormatMac(mac, "0123456789abcdef");
}

std::optional<MacAddress> ParseMac(std::string_view text) {
    if (text.size() != 17)
        return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < kMacSize; ++i) {
        const int hi = HexValue(text[i * 3]);
        const int lo = HexValue(text[i * 3 + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        if (i + 1 < kMacSize && text[i * 3 + 2] != ':')
            return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return mac;
}

std::uint64_t SegmentCount(std::uint64_t payload_len) {
    return payload_len == 0 ? 1 : (payload_len - 1) / kSegmentSize + 1;
}

std::uint16_t SegmentSeq(std::uint64_t n) {
    const auto low = static_cast<std::uint16_t>(n & 0xFFFF);
    return low == 0 ? kSeqWrap : low;
}

std::optional<SegmentInfo> PlanSegment(std::uint64_t payload_len, std::uint64_t n) {
    const std::uint64_t count = SegmentCount(payload_len);
    if (n == 0 || n > count)
        return std::nullopt;
    SegmentInfo seg;
    seg.number = n;
    seg.seq = SegmentSeq(n);
    seg.offset = (n - 1) * kSegmentSize;
    seg.length = static_cast<std::uint16_t>(std::min<std::uint64_t>(kSegmentSize, payload_len - seg.offset));
    // The last flag wins, so a sole segment is SEG_LAST.
    seg.seg_flag = n == count ? SEG_LAST : n == 1 ? SEG_FIRST : SEG_MIDDLE;
    return seg;
}

bool AcknowledgesFileSegment(const ether_frame_stu& frame, std::uint16_t module, std::uint64_t n) {
    if (frame.Seq() == kSeqWrap)
        return true;
    return frame.Module() == module && frame.Msg() == MSG_REPLY && frame.Seq() == n;
}

bool AcknowledgesCommand(const ether_frame_stu& frame) {
    return frame.Module() == MODULE_JSON && frame.Msg() == MSG_REPLY && frame.Seq() == 1;
}

}  // namespace provix
