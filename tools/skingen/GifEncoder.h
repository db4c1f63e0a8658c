#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace provix {

// Writes an animated GIF89a: one global palette, full-size frames of palette indexes, LZW-compressed,
// with a NETSCAPE2.0 block so that players repeat the animation. Qt reads GIF but cannot write it.
class GifEncoder {
public:
    using Rgb = std::array<std::uint8_t, 3>;

    // palette: 1 to 256 colours; transparent_index: a palette index drawn as see-through, or -1;
    // loop_count: 0 repeats forever. Throws std::invalid_argument for sizes or palettes GIF cannot hold.
    GifEncoder(int width, int height, std::vector<Rgb> palette, int transparent_index = -1,
               int loop_count = 0);

    // indexes: width * height palette indexes, row by row; delay in hundredths of a second.
    // Throws std::invalid_argument for a wrong pixel count or an index outside the palette.
    void AddFrame(const std::vector<std::uint8_t>& indexes, int delay_cs);

    // The whole file. Throws std::logic_error when no frame was added.
    std::vector<std::uint8_t> Finish() const;

    int FrameCount() const { return static_cast<int>(frames.size()); }

private:
    struct Frame {
        std::vector<std::uint8_t> indexes;
        int delay_cs;
    };

    int width;
    int height;
    std::vector<Rgb> palette;
    int transparent_index;
    int loop_count;
    int table_bits;  // the global table holds 2^table_bits entries
    std::vector<Frame> frames;
};

// The LZW code stream of one image (without the sub-block framing), as GIF decoders expect it:
// codes packed least significant bit first, a clear code first, the end code last.
std::vector<std::uint8_t> GifLzwCompress(const std::vector<std::uint8_t>& indexes, int min_code_size);

}  // namespace provix
