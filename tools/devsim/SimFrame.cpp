#include "SimFrame.h"

#include <cstdio>
#include <cstring>

namespace provix::devsim {

uint16_t GetU16(const uint8_t* frame, size_t offset) {
    return static_cast<uint16_t>((frame[offset] << 8) | frame[offset + 1]);
}

void PutU16(uint8_t* frame, size_t offset, uint16_t value) {
    frame[offset] = static_cast<uint8_t>(value >> 8);
    frame[offset + 1] = static_cast<uint8_t>(value & 0xff);
}

Mac GetMac(const uint8_t* frame, size_t offset) {
    Mac mac;
    std::memcpy(mac.data(), frame + offset, mac.size());
    return mac;
}

void BuildHeader(uint8_t* frame, const Mac& dst, const Mac& src, uint16_t module, uint16_t msg, uint16_t seq,
                 uint16_t total) {
    std::memset(frame, 0, kFrameSize);
    std::memcpy(frame + kOffDst, dst.data(), 6);
    std::memcpy(frame + kOffSrc, src.data(), 6);
    PutU16(frame, kOffType, kEtherType);
    PutU16(frame, kOffModule, module);
    PutU16(frame, kOffSeq, seq);
    PutU16(frame, kOffMsg, msg);
    PutU16(frame, kOffTotal, total);
}

void PutInfoText(uint8_t* frame, InfoSlot slot, std::string_view text) {
    const size_t n = text.size() < slot.size ? text.size() : slot.size;
    std::memset(frame + slot.offset, 0, slot.size);
    std::memcpy(frame + slot.offset, text.data(), n);
}

std::string GetInfoText(const uint8_t* frame, InfoSlot slot) {
    const char* begin = reinterpret_cast<const char*>(frame + slot.offset);
    const void* nul = std::memchr(begin, 0, slot.size);
    return std::string(begin, nul ? static_cast<const char*>(nul) - begin : slot.size);
}

uint16_t SeqForSegment(uint64_t n) {
    const auto low = static_cast<uint16_t>(n & 0xffff);
    return low == 0 ? 0xffff : low;
}

std::string MacText(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

std::string MacHex(const Mac& mac) {
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<Mac> ParseMac(std::string_view text) {
    if (text.size() != 17)
        return std::nullopt;
    Mac mac;
    for (size_t i = 0; i < 6; ++i) {
        const int hi = HexDigit(text[i * 3]);
        const int lo = HexDigit(text[i * 3 + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        if (i < 5 && text[i * 3 + 2] != ':' && text[i * 3 + 2] != '-')
            return std::nullopt;
        mac[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return mac;
}

uint64_t MacToInt(const Mac& mac) {
    uint64_t value = 0;
    for (uint8_t b : mac)
        value = (value << 8) | b;
    return value;
}

Mac MacFromInt(uint64_t value) {
    Mac mac;
    for (int i = 5; i >= 0; --i) {
        mac[i] = static_cast<uint8_t>(value & 0xff);
        value >>= 8;
    }
    return mac;
}

}  // namespace provix::devsim
