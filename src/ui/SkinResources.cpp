#include "ui/SkinResources.h"

#include <QFontMetricsF>
#include <QImageReader>
#include <QStringList>

#include <algorithm>

namespace provix {

void InstallSkinFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"),
                               {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("Droid Sans Fallback")});
}

QFont SkinFont(const QString& face, int pixel_height, int weight, bool italic, bool underline) {
    QFont font(face);
    // Skin heights are cell heights (ascent plus descent), as the layouts were measured that way;
    // Qt's pixel size is the em size, so scale it down until the cell fits the height.
    const int cell = std::max(pixel_height, 1);
    font.setPixelSize(cell);
    const qreal measured = QFontMetricsF(font).height();
    if (measured > cell)
        font.setPixelSize(std::max(1, qRound(cell * cell / measured)));
    if (weight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    else
        font.setWeight(QFont::Normal);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

QImage LoadSkinImage(const QString& path) {
    if (path.isEmpty())
        return QImage();
    // The reader refuses images above Qt's allocation limit, so a hostile file cannot
    // exhaust memory.
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        return QImage();
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace provix
