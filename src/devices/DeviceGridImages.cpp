#include "devices/DeviceGridImages.h"

#include "ui/AppSettings.h"
#include "ui/SkinResources.h"

namespace provix {

DeviceGridImages::DeviceGridImages() {
    const SkinImagePaths& skin = SkinImages();
    const std::pair<GridImage, const std::string*> files[] = {
        {IMG_UNSELECT, &skin.unselect}, {IMG_SELECT, &skin.select}, {IMG_PART_SELECT, &skin.part_select},
        {IMG_SUCCESS, &skin.success},   {IMG_ERROR, &skin.error},   {IMG_OPERATING, &skin.operating},
    };
    for (const auto& [role, path] : files)
        Load(role, QString::fromStdString(*path));
}

bool DeviceGridImages::Load(GridImage role, const QString& path) {
    if (role < 0 || role >= IMG_NONE)
        return false;
    QImage image = LoadSkinImage(path);
    if (image.isNull()) {
        images[role] = QImage();
        return false;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    // White is the mask colour of the skin's bitmaps.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu)
                line[x] = 0;
    }
    if (image.size() != QSize(kSize, kSize))
        image = image.scaled(kSize, kSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    images[role] = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}

const QImage& DeviceGridImages::Image(int role) const {
    static const QImage none;
    return role >= 0 && role < IMG_NONE ? images[role] : none;
}

}  // namespace provix
