#include "GifEncoder.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

namespace provix {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

class BitPacker {
public:
    void Put(int code, int bits) {
        acc |= static_cast<std::uint32_t>(code) << filled;
        filled += bits;
        while (filled >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc & 0xFF));
            acc >>= 8;
            filled -= 8;
        }
    }
    std::vector<std::uint8_t> Take() {
        if (filled > 0) {
            out.push_back(static_cast<std::uint8_t>(acc & 0xFF));
        }
        acc = 0;
        filled = 0;
        return std::move(out);
    }

private:
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int filled = 0;
};

void PutLe16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutSubBlocks(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data) {
    for (std::size_t pos = 0; pos < data.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                   data.begin() + static_cast<std::ptrdiff_t>(pos + n));
    }
    out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> GifLzwCompress(const std::vector<std::uint8_t>& indexes, int min_code_size) {
    if (min_code_size < 2 || min_code_size > 8) {
        throw std::invalid_argument("GIF minimum code size must be 2 to 8");
    }
    const int clear_code = 1 << min_code_size;
    const int end_code = clear_code + 1;
    BitPacker bits;
    int code_size = min_code_size + 1;
    int next_code = end_code + 1;
    // (prefix code << 8 | next index) -> code
    std::unordered_map<std::uint32_t, int> table;
    table.reserve(kMaxCodes);

    bits.Put(clear_code, code_size);
    if (indexes.empty()) {
        bits.Put(end_code, code_size);
        return bits.Take();
    }
    int prefix = indexes[0];
    for (std::size_t i = 1; i < indexes.size(); ++i) {
        const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | indexes[i];
        const auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        bits.Put(prefix, code_size);
        // The decoder adds each entry one code later than we do, so widening right after adding the
        // entry that needs the wider code keeps both sides in step.
        table.emplace(key, next_code);
        if (next_code == (1 << code_size) && code_size < kMaxCodeBits) {
            ++code_size;
        }
        ++next_code;
        if (next_code == kMaxCodes) {
            bits.Put(clear_code, code_size);
            table.clear();
            code_size = min_code_size + 1;
            next_code = end_code + 1;
        }
        prefix = indexes[i];
    }
    bits.Put(prefix, code_size);
    // Reading that last code makes the decoder add one more entry, which may widen its codes.
    if (next_code == (1 << code_size) && code_size < kMaxCodeBits) {
        ++code_size;
    }
    bits.Put(end_code, code_size);
    return bits.Take();
}

GifEncoder::GifEncoder(int width, int height, std::vector<Rgb> palette, int transparent_index, int loop_count)
    : width(width),
      height(height),
      palette(std::move(palette)),
      transparent_index(transparent_index),
      loop_count(loop_count),
      table_bits(1) {
    if (width < 1 || width > 0xFFFF || height < 1 || height > 0xFFFF) {
        throw std::invalid_argument("GIF width and height must be 1 to 65535");
    }
    if (this->palette.empty() || this->palette.size() > 256) {
        throw std::invalid_argument("GIF palette must hold 1 to 256 colours");
    }
    if (transparent_index < -1 || transparent_index >= static_cast<int>(this->palette.size())) {
        throw std::invalid_argument("GIF transparent index outside the palette");
    }
    if (loop_count < 0 || loop_count > 0xFFFF) {
        throw std::invalid_argument("GIF loop count must be 0 to 65535");
    }
    while ((1u << table_bits) < this->palette.size()) {
        ++table_bits;
    }
}

void GifEncoder::AddFrame(const std::vector<std::uint8_t>& indexes, int delay_cs) {
    if (indexes.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw std::invalid_argument("GIF frame has the wrong number of pixels");
    }
    for (const std::uint8_t index : indexes) {
        if (index >= palette.size()) {
            throw std::invalid_argument("GIF frame uses an index outside the palette");
        }
    }
    if (delay_cs < 0 || delay_cs > 0xFFFF) {
        throw std::invalid_argument("GIF frame delay must be 0 to 65535");
    }
    frames.push_back({indexes, delay_cs});
}

std::vector<std::uint8_t> GifEncoder::Finish() const {
    if (frames.empty()) {
        throw std::logic_error("GIF needs at least one frame");
    }
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(out, width);
    PutLe16(out, height);
    // Global table present, 8 bits of colour resolution, table size 2^table_bits.
    out.push_back(static_cast<std::uint8_t>(0x80 | 0x70 | (table_bits - 1)));
    out.push_back(0);  // background index
    out.push_back(0);  // no aspect ratio
    for (int i = 0; i < (1 << table_bits); ++i) {
        const Rgb colour =
            i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : Rgb{0, 0, 0};
        out.insert(out.end(), colour.begin(), colour.end());
    }

    const std::uint8_t netscape[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',  'C',
                                     'A',  'P',  'E',  '2', '.', '0', 0x03, 0x01};
    out.insert(out.end(), std::begin(netscape), std::end(netscape));
    PutLe16(out, loop_count);
    out.push_back(0);

    const int min_code_size = std::max(2, table_bits);
    for (const Frame& frame : frames) {
        // Graphic control: disposal 2 (restore to background) so see-through pixels never show the
        // previous frame.
        out.push_back(0x21);
        out.push_back(0xF9);
        out.push_back(0x04);
        out.push_back(static_cast<std::uint8_t>((2 << 2) | (transparent_index >= 0 ? 1 : 0)));
        PutLe16(out, frame.delay_cs);
        out.push_back(static_cast<std::uint8_t>(transparent_index >= 0 ? transparent_index : 0));
        out.push_back(0);

        out.push_back(0x2C);
        PutLe16(out, 0);
        PutLe16(out, 0);
        PutLe16(out, width);
        PutLe16(out, height);
        out.push_back(0);  // no local table, not interlaced

        out.push_back(static_cast<std::uint8_t>(min_code_size));
        PutSubBlocks(out, GifLzwCompress(frame.indexes, min_code_size));
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace provix
