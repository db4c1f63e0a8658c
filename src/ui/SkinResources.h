#pragma once

#include <QFont>
#include <QImage>
#include <QString>

namespace provix {

// The skin's fonts are named by the face of the original look; maps them to an installed
// CJK-capable sans so that sizes stay close and Chinese texts render. Call once after the
// application object exists.
void InstallSkinFontSubstitutions();

// A font of face with a pixel height; weight 0 is the face's default weight, otherwise
// 100 (thin) .. 900 (black).
QFont SkinFont(const QString& face, int pixel_height, int weight, bool italic = false,
               bool underline = false);

// A skin picture, or a null image when the path is empty or the file cannot be decoded.
QImage LoadSkinImage(const QString& path);

}  // namespace provix
