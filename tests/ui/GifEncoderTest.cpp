#include "GifEncoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace provix {
namespace {

// Deterministic noise, so a failure names the same pixels every run.
std::vector<std::uint8_t> Noise(std::size_t count, int colours, std::uint32_t seed, int run = 1) {
    std::vector<std::uint8_t> out;
    std::uint32_t state = seed;
    while (out.size() < count) {
        state = state * 1664525u + 1013904223u;
        const auto value = static_cast<std::uint8_t>((state >> 16) % static_cast<std::uint32_t>(colours));
        for (int i = 0; i < run && out.size() < count; ++i) {
            out.push_back(value);
        }
    }
    return out;
}

std::vector<GifEncoder::Rgb> Palette(int colours) {
    std::vector<GifEncoder::Rgb> palette;
    for (int i = 0; i < colours; ++i) {
        palette.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>((i * 91) & 0xFF)});
    }
    return palette;
}

// A strict reading of one LZW code stream: every code must be known when it is read, and the stream
// must end with the end code, read at the width the decoder has reached, followed by nothing but
// zero padding. Qt's reader stops once the image is full, so it cannot see a wrong final code.
std::optional<std::vector<std::uint8_t>> StrictLzwDecode(const std::vector<std::uint8_t>& data,
                                                         int min_code_size) {
    const int clear_code = 1 << min_code_size;
    const int end_code = clear_code + 1;
    std::vector<std::vector<std::uint8_t>> table;
    int code_size = 0;
    auto reset = [&] {
        table.clear();
        for (int i = 0; i < clear_code; ++i) {
            table.push_back({static_cast<std::uint8_t>(i)});
        }
        table.emplace_back();  // clear
        table.emplace_back();  // end
        code_size = min_code_size + 1;
    };
    reset();
    const std::size_t total_bits = data.size() * 8;
    std::size_t bit = 0;
    auto read = [&](int bits) {
        int code = 0;
        for (int i = 0; i < bits; ++i, ++bit) {
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        }
        return code;
    };
    std::vector<std::uint8_t> out;
    int previous = -1;
    while (bit + static_cast<std::size_t>(code_size) <= total_bits) {
        const int code = read(code_size);
        if (code == clear_code) {
            reset();
            previous = -1;
            continue;
        }
        if (code == end_code) {
            if (total_bits - bit >= 8) {
                return std::nullopt;  // whole bytes after the end code
            }
            while (bit < total_bits) {
                if (read(1) != 0) {
                    return std::nullopt;
                }
            }
            return out;
        }
        std::vector<std::uint8_t> entry;
        if (previous < 0) {
            if (code >= clear_code) {
                return std::nullopt;
            }
            entry = table[static_cast<std::size_t>(code)];
        } else {
            const std::vector<std::uint8_t>& before = table[static_cast<std::size_t>(previous)];
            if (code < static_cast<int>(table.size())) {
                entry = table[static_cast<std::size_t>(code)];
            } else if (code == static_cast<int>(table.size())) {
                entry = before;
                entry.push_back(before.front());
            } else {
                return std::nullopt;
            }
            if (table.size() < 4096) {
                std::vector<std::uint8_t> added = before;
                added.push_back(entry.front());
                table.push_back(std::move(added));
                if (table.size() == (1u << code_size) && code_size < 12) {
                    ++code_size;
                }
            }
        }
        out.insert(out.end(), entry.begin(), entry.end());
        previous = code;
    }
    return std::nullopt;  // ran out of bits before the end code
}

QByteArray Bytes(const std::vector<std::uint8_t>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

// Decodes with Qt's reader and compares every pixel of every frame with what was encoded.
void ExpectDecodesTo(const QByteArray& file, int width, int height,
                     const std::vector<GifEncoder::Rgb>& palette,
                     const std::vector<std::vector<std::uint8_t>>& frames, int transparent) {
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    EXPECT_EQ(reader.imageCount(), static_cast<int>(frames.size()));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << "frame " << f << ": " << reader.errorString().toStdString();
        ASSERT_EQ(image.size(), QSize(width, height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t index = frames[f][static_cast<std::size_t>(y * width + x)];
                const QRgb pixel = image.pixel(x, y);
                if (index == transparent) {
                    ASSERT_EQ(qAlpha(pixel), 0) << "frame " << f << " at " << x << "," << y;
                    continue;
                }
                const GifEncoder::Rgb& want = palette[index];
                ASSERT_EQ(pixel, qRgb(want[0], want[1], want[2])) << "frame " << f << " at " << x << "," << y;
            }
        }
    }
}

struct RoundTripCase {
    const char* name;
    int width;
    int height;
    int colours;
    int frames;
    int run;  // length of runs of one colour: long runs grow long LZW strings
    int transparent;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class GifRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(GifRoundTrip, QtDecodesEveryPixelOfEveryFrame) {
    const RoundTripCase& c = GetParam();
    const std::vector<GifEncoder::Rgb> palette = Palette(c.colours);
    GifEncoder gif(c.width, c.height, palette, c.transparent);
    std::vector<std::vector<std::uint8_t>> frames;
    for (int f = 0; f < c.frames; ++f) {
        frames.push_back(Noise(static_cast<std::size_t>(c.width * c.height), c.colours,
                               static_cast<std::uint32_t>(f + 1), c.run));
        gif.AddFrame(frames.back(), 5);
    }
    ExpectDecodesTo(Bytes(gif.Finish()), c.width, c.height, palette, frames, c.transparent);
}

INSTANTIATE_TEST_SUITE_P(Images, GifRoundTrip,
                         testing::Values(RoundTripCase{"one_pixel_one_colour", 1, 1, 1, 1, 1, -1},
                                         RoundTripCase{"two_colours", 7, 3, 2, 1, 1, -1},
                                         RoundTripCase{"palette_not_power_of_two", 13, 11, 5, 2, 1, -1},
                                         // Enough noise to fill the 4096-entry table several times over.
                                         RoundTripCase{"full_palette_noise", 200, 150, 256, 1, 1, -1},
                                         RoundTripCase{"long_runs", 255, 40, 16, 1, 37, -1},
                                         RoundTripCase{"animated_with_see_through", 24, 24, 8, 6, 3, 0},
                                         RoundTripCase{"wide_single_row", 4000, 1, 3, 1, 2, -1}),
                         [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

// The code width grows at powers of two, and reading the last code makes the decoder add one more
// entry; every stream length must land right at those boundaries, the table resets included.
TEST(GifLzw, EveryLengthDecodesStrictly) {
    for (const int min_code_size : {2, 4, 8}) {
        const int colours = 1 << min_code_size;
        for (int length = 0; length <= 9000; length += (length < 1100 ? 1 : 97)) {
            SCOPED_TRACE(testing::Message() << "code size " << min_code_size << ", " << length << " pixels");
            const std::vector<std::uint8_t> pixels =
                Noise(static_cast<std::size_t>(length), colours, 99u + static_cast<std::uint32_t>(length));
            const auto decoded = StrictLzwDecode(GifLzwCompress(pixels, min_code_size), min_code_size);
            ASSERT_TRUE(decoded.has_value());
            ASSERT_EQ(*decoded, pixels);
        }
    }
}

TEST(GifEncoder, LoopCountAndDelaysReachTheReader) {
    const struct {
        int loop_count;
        int expected_reader_loops;  // Qt reports "forever" as -1
    } cases[] = {{0, -1}, {3, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loop_count);
        GifEncoder gif(4, 4, Palette(2), -1, c.loop_count);
        gif.AddFrame(Noise(16, 2, 1), 7);
        gif.AddFrame(Noise(16, 2, 2), 12);
        QByteArray file = Bytes(gif.Finish());
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        ASSERT_FALSE(reader.read().isNull());
        EXPECT_EQ(reader.loopCount(), c.expected_reader_loops);
        EXPECT_EQ(reader.nextImageDelay(), 70);
        ASSERT_FALSE(reader.read().isNull());
        EXPECT_EQ(reader.nextImageDelay(), 120);
    }
}

TEST(GifEncoder, RefusesWhatAGifCannotHold) {
    EXPECT_THROW(GifEncoder(0, 4, Palette(2)), std::invalid_argument);
    EXPECT_THROW(GifEncoder(4, 70000, Palette(2)), std::invalid_argument);
    EXPECT_THROW(GifEncoder(4, 4, {}), std::invalid_argument);
    EXPECT_THROW(GifEncoder(4, 4, Palette(257)), std::invalid_argument);
    EXPECT_THROW(GifEncoder(4, 4, Palette(4), 4), std::invalid_argument);
    EXPECT_THROW(GifEncoder(4, 4, Palette(4), -1, -2), std::invalid_argument);

    GifEncoder gif(4, 4, Palette(3));
    EXPECT_THROW(gif.Finish(), std::logic_error);
    EXPECT_THROW(gif.AddFrame(std::vector<std::uint8_t>(15, 0), 1), std::invalid_argument);
    std::vector<std::uint8_t> bad_index(16, 0);
    bad_index[9] = 3;
    EXPECT_THROW(gif.AddFrame(bad_index, 1), std::invalid_argument);
    EXPECT_THROW(gif.AddFrame(std::vector<std::uint8_t>(16, 0), -1), std::invalid_argument);
    EXPECT_EQ(gif.FrameCount(), 0);
}

}  // namespace
}  // namespace provix
