#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace provix {

// Picture control: a still picture, or the frames of an animated GIF played in a loop.
class CTPicture : public QWidget {
    Q_OBJECT

public:
    explicit CTPicture(QWidget* parent = nullptr);

    // Reads a picture file and resizes the control to it. A file that cannot be read leaves
    // the control without a picture and returns false.
    bool Load(const QString& path);
    // Shows the picture; with two or more frames starts the animation.
    void Draw();
    void Stop();

    int FrameCount() const { return static_cast<int>(frames.size()); }
    // Display time of a frame in milliseconds.
    int FrameDelay(int index) const;
    const QImage& FrameImage(int index) const;
    int CurrentFrame() const { return current_frame; }
    bool IsAnimating() const { return timer.isActive(); }

    QColor background_color{255, 255, 255};

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Frame {
        QImage image;
        int delay_ms = 0;
    };

    void NextFrame();

    std::vector<Frame> frames;
    int current_frame = 0;
    bool shown = false;
    QTimer timer;
};

// Reads every frame of an image file's data with its display time in milliseconds; a GIF
// frame comes already composed over the frames before it. Frames after a decoding error are
// dropped. Empty when nothing can be decoded.
std::vector<std::pair<QImage, int>> ReadPictureFrames(const QByteArray& data);

}  // namespace provix
