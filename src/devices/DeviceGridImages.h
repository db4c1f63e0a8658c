#pragma once

#include "devices/DeviceGridModel.h"

#include <QImage>

#include <array>

namespace provix {

// The grid's tick boxes and status icons, 24 by 24 with white made transparent. A picture whose
// skin file is missing or unreadable stays empty and draws nothing; the others keep their roles.
class DeviceGridImages {
public:
    static constexpr int kSize = 24;

    // From the program's skin image paths.
    DeviceGridImages();

    // Replaces one picture from a file; false (and an empty picture) when it cannot be read.
    bool Load(GridImage role, const QString& path);
    const QImage& Image(int role) const;

private:
    std::array<QImage, IMG_NONE> images;
};

}  // namespace provix
