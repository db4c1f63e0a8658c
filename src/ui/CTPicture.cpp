#include "ui/CTPicture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace provix {

namespace {

// Larger files are not pictures this program ships; refusing them keeps a bad skin from
// exhausting memory.
constexpr qint64 kMaxPictureBytes = 32 * 1024 * 1024;
constexpr int kMaxFrames = 4096;

// Browsers show frames of 0 or 10 ms for 100 ms; without a floor such a GIF would spin the
// user-interface thread.
int EffectiveDelay(int delay_ms) {
    return delay_ms <= 10 ? 100 : delay_ms;
}

}  // namespace

std::vector<std::pair<QImage, int>> ReadPictureFrames(const QByteArray& data) {
    std::vector<std::pair<QImage, int>> result;
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return result;
    QImageReader reader(&buffer);
    const bool is_gif = data.startsWith("GIF87a") || data.startsWith("GIF89a");
    if (is_gif)
        reader.setFormat("gif");
    while (static_cast<int>(result.size()) < kMaxFrames) {
        QImage image;
        if (!reader.read(&image) || image.isNull())
            break;
        // The delay that follows a frame is known once it has been read.
        result.emplace_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                            reader.nextImageDelay());
        if (!is_gif || !reader.canRead())
            break;
    }
    return result;
}

CTPicture::CTPicture(QWidget* parent) : QWidget(parent) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &CTPicture::NextFrame);
}

bool CTPicture::Load(const QString& path) {
    Stop();
    frames.clear();
    current_frame = 0;
    update();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureBytes)
        return false;
    const QByteArray data = file.read(kMaxPictureBytes);
    for (auto& [image, delay] : ReadPictureFrames(data))
        frames.push_back(Frame{std::move(image), EffectiveDelay(delay)});
    if (frames.empty())
        return false;
    background_color = palette().color(QPalette::Button);
    resize(frames.front().image.size());
    return true;
}

void CTPicture::Draw() {
    shown = true;
    current_frame = 0;
    update();
    if (frames.size() >= 2)
        timer.start(frames.front().delay_ms);
}

void CTPicture::Stop() {
    timer.stop();
}

int CTPicture::FrameDelay(int index) const {
    if (index < 0 || index >= FrameCount())
        return 0;
    return frames[static_cast<size_t>(index)].delay_ms;
}

const QImage& CTPicture::FrameImage(int index) const {
    static const QImage none;
    if (index < 0 || index >= FrameCount())
        return none;
    return frames[static_cast<size_t>(index)].image;
}

void CTPicture::NextFrame() {
    if (frames.size() < 2)
        return;
    current_frame = (current_frame + 1) % FrameCount();
    update();
    timer.start(frames[static_cast<size_t>(current_frame)].delay_ms);
}

void CTPicture::paintEvent(QPaintEvent*) {
    if (!shown || frames.empty())
        return;
    QPainter painter(this);
    const QImage& image = frames[static_cast<size_t>(current_frame)].image;
    if (frames.size() >= 2)
        painter.fillRect(QRect(QPoint(0, 0), image.size()), background_color);
    painter.drawImage(QPoint(0, 0), image);
}

}  // namespace provix
