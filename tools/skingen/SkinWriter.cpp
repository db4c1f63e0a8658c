#include "SkinWriter.h"

#include "GifEncoder.h"
#include "SkinArt.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <array>
#include <limits>

namespace provix {

namespace {

// Every colour the spinner can produce is a blend of the background, the track and the arc, so a
// palette of such blends holds them all without visible banding.
std::vector<GifEncoder::Rgb> BlendPalette(const std::vector<QColor>& keys, int steps) {
    std::vector<GifEncoder::Rgb> palette;
    for (int a = 0; a <= steps; ++a) {
        for (int b = 0; a + b <= steps; ++b) {
            const int c = steps - a - b;
            std::array<double, 3> mix{};
            const double w[3] = {double(a) / steps, double(b) / steps, double(c) / steps};
            for (int k = 0; k < 3; ++k) {
                const QColor& key = keys[static_cast<std::size_t>(k)];
                mix[0] += w[k] * key.red();
                mix[1] += w[k] * key.green();
                mix[2] += w[k] * key.blue();
            }
            palette.push_back({static_cast<std::uint8_t>(mix[0] + 0.5),
                               static_cast<std::uint8_t>(mix[1] + 0.5),
                               static_cast<std::uint8_t>(mix[2] + 0.5)});
        }
    }
    return palette;
}

std::vector<std::uint8_t> ToIndexes(const QImage& frame, const std::vector<GifEncoder::Rgb>& palette) {
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> indexes;
    indexes.reserve(static_cast<std::size_t>(rgb.width()) * static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            int best = 0;
            int best_distance = std::numeric_limits<int>::max();
            for (std::size_t i = 0; i < palette.size(); ++i) {
                const int dr = qRed(line[x]) - palette[i][0];
                const int dg = qGreen(line[x]) - palette[i][1];
                const int db = qBlue(line[x]) - palette[i][2];
                const int distance = dr * dr + dg * dg + db * db;
                if (distance < best_distance) {
                    best_distance = distance;
                    best = static_cast<int>(i);
                }
            }
            indexes.push_back(static_cast<std::uint8_t>(best));
        }
    }
    return indexes;
}

bool WriteImage(const QImage& image, const QString& path, QString* error) {
    QImageWriter writer(path);
    const QByteArray format = writer.format();
    QImage out = image;
    if (format == "jpg" || format == "jpeg") {
        writer.setQuality(95);
        out = image.convertToFormat(QImage::Format_RGB32);
    } else if (format == "bmp") {
        // Grid pictures are masked on white; a plain 24-bit bitmap keeps every pixel exact.
        out = image.convertToFormat(QImage::Format_RGB888);
    } else {
        out = image.convertToFormat(QImage::Format_ARGB32);
    }
    if (!writer.write(out)) {
        *error = QString("cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeSpinnerGif() {
    const std::vector<QImage> frames = RenderSpinnerFrames();
    const std::vector<GifEncoder::Rgb> palette =
        BlendPalette({QColor(Qt::white), QColor(234, 235, 240), QColor(216, 34, 40)}, 16);
    GifEncoder gif(frames.front().width(), frames.front().height(), palette);
    for (const QImage& frame : frames) {
        gif.AddFrame(ToIndexes(frame, palette), kSpinnerFrameDelay);
    }
    return gif.Finish();
}

bool WriteSkin(const QString& folder, QString* error) {
    QDir dir(folder);
    if (!dir.mkpath(".")) {
        *error = QString("cannot create the folder %1").arg(folder);
        return false;
    }
    for (const SkinImageSpec& spec : SkinImageTable()) {
        const QString path = dir.filePath(QString::fromStdString(spec.file));
        if (spec.file == kSpinnerFile) {
            const std::vector<std::uint8_t> bytes = EncodeSpinnerGif();
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
                    static_cast<qint64>(bytes.size()) ||
                !file.flush()) {
                *error = QString("cannot write %1: %2").arg(path, file.errorString());
                return false;
            }
            continue;
        }
        const QImage image = RenderSkinImage(spec.file);
        if (image.width() != spec.width || image.height() != spec.height) {
            *error = QString("%1 was drawn at %2 x %3 instead of %4 x %5")
                         .arg(QString::fromStdString(spec.file))
                         .arg(image.width())
                         .arg(image.height())
                         .arg(spec.width)
                         .arg(spec.height);
            return false;
        }
        if (!WriteImage(image, path, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace provix
