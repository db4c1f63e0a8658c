#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace provix::devsim {

// Incremental SHA-256, so that a received payload can be fingerprinted without extra tools.
class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    std::array<uint8_t, 32> Finish();

    // Lower-case hex digest of a whole buffer.
    static std::string HexOf(const uint8_t* data, size_t size);

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state;
    std::array<uint8_t, 64> buffer{};
    size_t buffered = 0;
    uint64_t length = 0;
};

std::string ToHex(const uint8_t* data, size_t size);

}  // namespace provix::devsim
