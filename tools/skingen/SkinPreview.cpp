#include "SkinPreview.h"

#include "SkinArt.h"

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace provix {

namespace {

constexpr int kSheetWidth = 1332;
constexpr int kMargin = 16;
constexpr int kGap = 14;
constexpr int kLabelHeight = 34;

struct Tile {
    QString name;
    QSize size;                  // the file's own size
    std::vector<QImage> frames;  // one for a still picture
    int scale;
};

QFont LabelFont(int pixels, bool bold) {
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void Checkerboard(QPainter& p, const QRect& area) {
    p.save();
    p.setClipRect(area);
    for (int y = area.top(); y < area.bottom() + 1; y += 8) {
        for (int x = area.left(); x < area.right() + 1; x += 8) {
            const bool dark = (((x - area.left()) / 8) + ((y - area.top()) / 8)) % 2;
            p.fillRect(QRect(x, y, 8, 8), dark ? QColor(226, 228, 233) : QColor(244, 245, 248));
        }
    }
    p.restore();
}

Tile Load(const QString& folder, const SkinImageSpec& spec) {
    Tile tile;
    tile.name = QString::fromStdString(spec.file);
    QImageReader reader(QDir(folder).filePath(tile.name));
    tile.size = reader.size();
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
        tile.frames.push_back(frame);
        if (!reader.supportsAnimation()) {
            break;
        }
    }
    const int longest = std::max(spec.width, spec.height);
    tile.scale = longest <= 32 ? 3 : 1;
    if (spec.width >= 800) {
        tile.scale = 0;  // drawn at half size in the top row
    }
    return tile;
}

QSize PictureSize(const Tile& tile) {
    if (tile.frames.empty()) {
        return QSize(64, 24);
    }
    const QSize one = tile.frames.front().size();
    if (tile.scale == 0) {
        return one / 2;
    }
    const int count = static_cast<int>(tile.frames.size());
    if (count > 1) {
        return QSize(count * (one.width() + 2) - 2, one.height());
    }
    return one * tile.scale + QSize(tile.scale > 1 ? one.width() + 10 : 0, 0);
}

QSize TileSize(const Tile& tile, const QFontMetrics& name_metrics) {
    const QSize picture = PictureSize(tile);
    const int width = std::max(picture.width() + 12, name_metrics.horizontalAdvance(tile.name) + 12);
    return QSize(width, picture.height() + 12 + kLabelHeight);
}

void DrawTile(QPainter& p, const Tile& tile, const QRect& box) {
    p.setPen(QColor(226, 228, 234));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    const QSize picture = PictureSize(tile);
    QRect area(box.left() + (box.width() - picture.width()) / 2, box.top() + 6, picture.width(),
               picture.height());
    if (tile.frames.empty()) {
        p.setPen(QColor(216, 34, 40));
        p.drawText(area, Qt::AlignCenter, "missing");
    } else if (tile.scale == 0) {
        p.drawImage(area, tile.frames.front());
    } else if (tile.frames.size() > 1) {
        int x = area.left();
        for (const QImage& frame : tile.frames) {
            p.drawImage(QPoint(x, area.top()), frame);
            x += frame.width() + 2;
        }
    } else {
        const QImage& image = tile.frames.front();
        QRect natural(area.topLeft(), image.size());
        // White-on-transparent pictures sit on the red title band; show them there.
        const bool on_band = tile.name == "btn_close_normal2.png";
        auto backdrop = [&](const QRect& r) {
            if (on_band) {
                p.fillRect(r, QColor(216, 34, 40));
            } else {
                Checkerboard(p, r);
            }
        };
        backdrop(natural);
        p.drawImage(natural.topLeft(), image);
        if (tile.scale > 1) {
            QRect big(natural.right() + 11, area.top(), image.width() * tile.scale,
                      image.height() * tile.scale);
            backdrop(big);
            p.drawImage(big, image.scaled(big.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        }
    }
    p.setPen(QColor(52, 52, 62));
    p.setFont(LabelFont(12, true));
    const int label_top = box.bottom() - kLabelHeight + 2;
    p.drawText(QRect(box.left(), label_top, box.width(), 16), Qt::AlignCenter, tile.name);
    p.setPen(QColor(140, 142, 154));
    p.setFont(LabelFont(11, false));
    QString detail = QString("%1 x %2").arg(tile.size.width()).arg(tile.size.height());
    if (tile.frames.size() > 1) {
        detail += QString(", %1 frames").arg(tile.frames.size());
    }
    p.drawText(QRect(box.left(), label_top + 15, box.width(), 14), Qt::AlignCenter, detail);
}

// Scenes: the images put together the way the screens place them, so the look can be judged as a
// whole. Texts are the screens' own captions in the interface font.

QImage Skin(const QString& folder, const char* file) {
    return QImage(QDir(folder).filePath(file));
}

QFont UiFont(int pixels, int weight = QFont::Normal) {
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

void Caption(QPainter& p, const QRect& r, const QString& text, const QColor& colour, int pixels,
             int align = Qt::AlignCenter, int weight = QFont::Normal) {
    p.setPen(colour);
    p.setFont(UiFont(pixels, weight));
    p.drawText(r, align | Qt::TextWordWrap, text);
}

void Button(QPainter& p, const QImage& image, const QRect& r, const QString& text, const QColor& colour) {
    p.drawImage(r, image);
    if (!text.isEmpty()) {
        p.setPen(colour);
        p.setFont(UiFont(14));
        p.drawText(r, Qt::AlignCenter, text);
    }
}

void Field(QPainter& p, const QRect& r, const QString& text, const QImage& arrow, const QColor& border) {
    p.setPen(QPen(border, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    Caption(p, r.adjusted(8, 0, -24, 0), text, QColor(50, 50, 50), 13, Qt::AlignLeft | Qt::AlignVCenter);
    if (!arrow.isNull()) {
        p.drawImage(QPoint(r.right() - 20, r.top() + (r.height() - arrow.height()) / 2), arrow);
    }
}

QImage AdapterScene(const QString& folder) {
    QImage scene = Skin(folder, "main_bk.png").convertToFormat(QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QPoint(784, 16), Skin(folder, "btn_close_normal2.png"));
    p.translate(247, 126);
    p.fillRect(QRect(0, 0, 324, 288), Qt::white);
    p.drawImage(QPoint(53, 16), Skin(folder, "olvar_logo.bmp"));
    Caption(p, QRect(53, 64, 218, 32), "Select Network Adapter", QColor(128, 128, 128), 17);
    Field(p, QRect(53, 120, 218, 24), "eth0 - 52:54:00:1a:2b:3c", Skin(folder, "combox_down.png"),
          QColor(200, 200, 200));
    Button(p, Skin(folder, "scan_btn_normal.png"), QRect(53, 182, 218, 24), "Scan Devices", Qt::white);
    QImageReader spinner(QDir(folder).filePath("wait_search.gif"));
    spinner.jumpToImage(3);
    p.drawImage(QPoint(146, 214), spinner.read());
    Caption(p, QRect(8, 254, 309, 18), "Provix 0.1", QColor(180, 180, 180), 12);
    return scene;
}

QImage DevicesScene(const QString& folder) {
    QImage scene = Skin(folder, "main_bk.jpg").convertToFormat(QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QPoint(763, 16), Skin(folder, "btn_min_normal.png"));
    p.drawImage(QPoint(784, 16), Skin(folder, "btn_close_over.png"));
    p.translate(0, 48);
    p.fillRect(QRect(0, 0, 817, 492), Qt::white);
    Button(p, Skin(folder, "protection_btn_normal.png"), QRect(24, 24, 140, 24), "Device Customization",
           Qt::white);
    Button(p, Skin(folder, "protection_btn_over.png"), QRect(190, 24, 142, 24), "Anti-Theft Protection",
           Qt::white);
    Caption(p, QRect(480, 30, 243, 18), "NIC: eth0 - 52:54:00:1a:2b:3c", QColor(30, 30, 30), 13,
            Qt::AlignLeft | Qt::AlignVCenter, QFont::Medium);
    Button(p, Skin(folder, "change_btn_normal.png"), QRect(723, 30, 48, 18), "Change", QColor(216, 34, 40));
    Caption(p, QRect(26, 63, 400, 18), "Configuration successful:  2  devices, Failed:  1  devices",
            Qt::black, 13, Qt::AlignLeft | Qt::AlignVCenter);
    const QRect grid(22, 92, 772, 392);
    const int widths[] = {63, 232, 341, 127};
    const char* heads[] = {"", "No.", "MAC Address", "Status"};
    p.fillRect(QRect(grid.left(), grid.top(), grid.width(), 38), QColor(246, 247, 250));
    const QImage unselect = Skin(folder, "unselect.bmp");
    const QImage select = Skin(folder, "select.bmp");
    const QImage status[] = {Skin(folder, "success.bmp"),
                             Skin(folder, "error.bmp"),
                             Skin(folder, "operating.bmp"),
                             Skin(folder, "success.bmp"),
                             QImage(),
                             QImage()};
    auto masked = [](QImage image, const QColor& under) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == qRgb(255, 255, 255)) {
                    image.setPixel(x, y, under.rgb());
                }
            }
        }
        return image;
    };
    int x = grid.left();
    for (int c = 0; c < 4; ++c) {
        if (c == 0) {
            p.drawImage(QPoint(x + 8, grid.top() + 7),
                        masked(Skin(folder, "part_select.bmp"), QColor(246, 247, 250)));
        }
        Caption(p, QRect(x + 8, grid.top(), widths[c], 38), heads[c], QColor(68, 68, 79), 14,
                Qt::AlignLeft | Qt::AlignVCenter, QFont::Bold);
        x += widths[c];
    }
    for (int r = 0; r < 6; ++r) {
        const int top = grid.top() + 38 + r * 48;
        const QColor row = r == 1 ? QColor(242, 242, 242) : Qt::white;
        p.fillRect(QRect(grid.left(), top, grid.width(), 48), row);
        p.fillRect(QRect(grid.left(), top + 47, grid.width(), 1), QColor(215, 215, 215));
        p.drawImage(QPoint(grid.left() + 8, top + 12), masked(r < 3 ? select : unselect, row));
        Caption(p, QRect(grid.left() + 63 + 8, top, 200, 48), QString::number(r + 1), Qt::black, 14,
                Qt::AlignLeft | Qt::AlignVCenter);
        Caption(p, QRect(grid.left() + 295 + 8, top, 300, 48),
                QString("C8:3A:35:A1:B2:%1").arg(16 + r, 2, 16, QChar('0')).toUpper(), Qt::black, 14,
                Qt::AlignLeft | Qt::AlignVCenter);
        if (!status[r].isNull()) {
            p.drawImage(QPoint(grid.left() + 636 + 8, top + 12), masked(status[r], row));
        }
    }
    return scene;
}

// A child dialog: white rounded panel with title, close button and separator.
void DialogFrame(QPainter& p, const QRect& r, const QString& title, const QImage& close, const QColor& fill) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 30));
    p.drawRoundedRect(QRectF(r).adjusted(-1, 0, 1, 3), 6, 6);
    p.setBrush(fill);
    p.drawRoundedRect(r, 4, 4);
    Caption(p, QRect(r.left() + 16, r.top() + 11, 200, 18), title, QColor(68, 68, 79), 15,
            Qt::AlignLeft | Qt::AlignVCenter, QFont::DemiBold);
    p.drawImage(QPoint(r.left() + 388, r.top() + 12), close);
    p.fillRect(QRect(r.left(), r.top() + 39, r.width(), 1), QColor(235, 238, 237));
}

QImage AntiTheftScene(const QString& folder) {
    QImage scene = Skin(folder, "main_bk3.jpg").convertToFormat(QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect form(198, 57, 420, 426);
    DialogFrame(p, form, "Anti-Theft Protection", Skin(folder, "btn_child_close.png"), Qt::white);
    p.translate(form.topLeft());
    Button(p, Skin(folder, "btn_template.png"), QRect(160, 48, 108, 24), "Load template",
           QColor(216, 34, 40));
    Button(p, Skin(folder, "btn_template.png"), QRect(280, 48, 124, 24), "Save as template",
           QColor(216, 34, 40));
    const struct {
        const char* label;
        int y;
        const char* value;
    } rows[] = {{"Lock Code ", 88, "\u2022\u2022\u2022\u2022\u2022\u2022"},
                {"Confirm Lock Code ", 124, "\u2022\u2022\u2022\u2022\u2022\u2022"},
                {"AC Name", 258, "office-ac"},
                {"Primary DNS", 294, "192.168.1.1"},
                {"Secondary DNS", 330, ""}};
    for (const auto& row : rows) {
        Caption(p, QRect(0, row.y, 151, 24), row.label, QColor(68, 68, 79), 14,
                Qt::AlignRight | Qt::AlignVCenter);
        Field(p, QRect(163, row.y, 180, 24), row.value, QImage(),
              row.y == 124 ? QColor(216, 34, 40) : QColor(213, 213, 220));
    }
    Caption(p, QRect(163, 154, 190, 66),
            "Used to bind the device to the network. If the password is incorrect, the configuration will "
            "not take "
            "effect even if parameters are delivered.",
            QColor(146, 146, 157), 11, Qt::AlignLeft | Qt::AlignTop);
    Caption(p, QRect(0, 222, 151, 20), "Anti-Theft Protection:", QColor(68, 68, 79), 14,
            Qt::AlignRight | Qt::AlignVCenter);
    p.drawImage(QPoint(163, 226), Skin(folder, "btn_switch_on.png"));
    Caption(p, QRect(349, 297, 60, 18), "(optional)", QColor(181, 181, 190), 12,
            Qt::AlignLeft | Qt::AlignVCenter);
    Caption(p, QRect(349, 333, 60, 18), "(optional)", QColor(181, 181, 190), 12,
            Qt::AlignLeft | Qt::AlignVCenter);
    p.fillRect(QRect(0, 370, 420, 1), QColor(235, 238, 237));
    Button(p, Skin(folder, "cancel_btn_normal.png"), QRect(252, 386, 71, 27), "Cancel",
           QColor(146, 146, 157));
    Button(p, Skin(folder, "apply_btn_normal.png"), QRect(332, 386, 67, 27), "Apply", Qt::white);
    return scene;
}

QImage CustomizationScene(const QString& folder) {
    QImage scene = Skin(folder, "main_bk3.jpg").convertToFormat(QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect custom(198, 130, 420, 324);
    DialogFrame(p, custom, "Device Customization", Skin(folder, "btn_child_close.png"), Qt::white);
    p.translate(custom.topLeft());
    Caption(p, QRect(0, 59, 178, 18), "Logo Customization", QColor(68, 68, 79), 14,
            Qt::AlignRight | Qt::AlignVCenter);
    Button(p, Skin(folder, "choose_btn_normal.png"), QRect(191, 56, 99, 28), "          Select",
           QColor(68, 68, 79));
    p.drawImage(QRect(191, 86, 209, 28), Skin(folder, "btn_pic_file.png"));
    Caption(p, QRect(191 + 30, 86, 170, 28), "logo_229x51.jpg", QColor(68, 68, 79), 13,
            Qt::AlignLeft | Qt::AlignVCenter);
    Caption(p, QRect(191, 120, 213, 28), "Supported formats: JPG, PNG, JPEG |\nMaximum size: 10KB",
            QColor(181, 181, 190), 11, Qt::AlignLeft | Qt::AlignTop);
    Caption(p, QRect(0, 163, 182, 18), "Default Configuration Modify", QColor(68, 68, 79), 13,
            Qt::AlignRight | Qt::AlignVCenter);
    Button(p, Skin(folder, "choose_btn_normal.png"), QRect(191, 160, 99, 28), "          Select",
           QColor(216, 34, 40));
    p.drawImage(QRect(191, 190, 209, 28), Skin(folder, "btn_ini_file.png"));
    Caption(p, QRect(191 + 30, 190, 170, 28), "config.xml", QColor(68, 68, 79), 13,
            Qt::AlignLeft | Qt::AlignVCenter);
    Caption(p, QRect(191, 224, 217, 28), "Import pre-configured file for batch\ndeployment",
            QColor(181, 181, 190), 11, Qt::AlignLeft | Qt::AlignTop);
    p.fillRect(QRect(0, 268, 420, 1), QColor(235, 237, 237));
    Button(p, Skin(folder, "cancel_btn_over.png"), QRect(252, 284, 71, 27), "Cancel", QColor(216, 34, 40));
    Button(p, Skin(folder, "apply_btn_normal.png"), QRect(332, 284, 67, 27), "Apply", Qt::white);
    return scene;
}

QImage SmallDialogsScene(const QString& folder) {
    QImage scene = Skin(folder, "main_bk3.jpg").convertToFormat(QImage::Format_RGB32);
    QPainter p(&scene);
    p.setRenderHint(QPainter::Antialiasing);

    const QRect load(198, 96, 420, 152);
    DialogFrame(p, load, "Load Template", Skin(folder, "btn_child_close.png"), Qt::white);
    p.save();
    p.translate(load.topLeft());
    Caption(p, QRect(0, 59, 161, 24), "Select Template:", QColor(68, 68, 79), 14,
            Qt::AlignRight | Qt::AlignVCenter);
    Field(p, QRect(171, 59, 180, 24), "Office", Skin(folder, "combox_down.png"), QColor(180, 180, 180));
    p.drawImage(QRect(357, 62, 24, 24), Skin(folder, "btn_close_normal.png"));
    p.fillRect(QRect(0, 96, 420, 1), QColor(235, 238, 237));
    Button(p, Skin(folder, "cancel_btn_normal.png"), QRect(252, 112, 71, 27), "Cancel",
           QColor(146, 146, 157));
    Button(p, Skin(folder, "apply_btn_over.png"), QRect(332, 112, 67, 27), "Load", Qt::white);
    p.restore();

    const QRect note(201, 300, 415, 162);
    DialogFrame(p, note, "Note", Skin(folder, "btn_child_close2.png"), QColor(248, 248, 248));
    p.translate(note.topLeft());
    Caption(p, QRect(65, 49, 320, 60), "Are you sure you want to apply configuration?", QColor(68, 68, 79),
            14, Qt::AlignLeft | Qt::AlignVCenter);
    Button(p, Skin(folder, "cancel_btn_normal.png"), QRect(252, 128, 71, 27), "Cancel", QColor(68, 68, 79));
    Button(p, Skin(folder, "apply_btn_normal.png"), QRect(332, 128, 67, 27), "Ok", Qt::white);
    return scene;
}

}  // namespace

QImage RenderContactSheet(const QString& folder) {
    std::vector<Tile> wide;
    std::vector<Tile> rest;
    for (const SkinImageSpec& spec : SkinImageTable()) {
        Tile tile = Load(folder, spec);
        (tile.scale == 0 ? wide : rest).push_back(std::move(tile));
    }
    const QFontMetrics name_metrics(LabelFont(12, true));

    // Lay out first to know the height.
    struct Placed {
        const Tile* tile;
        QRect box;
    };
    std::vector<Placed> placed;
    const std::vector<QImage> scenes = {AdapterScene(folder), DevicesScene(folder), AntiTheftScene(folder),
                                        CustomizationScene(folder), SmallDialogsScene(folder)};
    const int scene_rows = (static_cast<int>(scenes.size()) + 1) / 2;
    const int scene_width = (kSheetWidth - 2 * kMargin - kGap) / 2;
    const int scene_height = scene_width * scenes[0].height() / scenes[0].width();
    const int scenes_top = 96;
    int y = scenes_top + scene_rows * (scene_height + kGap) + 40;
    int x = kMargin;
    int row_height = 0;
    auto place = [&](const Tile& tile) {
        const QSize size = TileSize(tile, name_metrics);
        if (x + size.width() > kSheetWidth - kMargin && x > kMargin) {
            x = kMargin;
            y += row_height + kGap;
            row_height = 0;
        }
        placed.push_back({&tile, QRect(QPoint(x, y), size)});
        x += size.width() + kGap;
        row_height = std::max(row_height, size.height());
    };
    for (const Tile& tile : wide) {
        place(tile);
    }
    for (const Tile& tile : rest) {
        place(tile);
    }
    const int height = y + row_height + kMargin;

    QImage sheet(kSheetWidth, height, QImage::Format_RGB32);
    sheet.fill(QColor(246, 247, 250));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.fillRect(QRect(0, 0, kSheetWidth, 52), QColor(216, 34, 40));
    p.setPen(Qt::white);
    p.setFont(LabelFont(20, true));
    p.drawText(QRect(kMargin, 0, 600, 52), Qt::AlignLeft | Qt::AlignVCenter, "Provix default skin");
    p.setFont(LabelFont(12, false));
    p.drawText(QRect(0, 0, kSheetWidth - kMargin, 52), Qt::AlignRight | Qt::AlignVCenter,
               "Skin/ as the build writes it: window backgrounds at half size, small pictures also at 3x");
    p.setPen(QColor(52, 52, 62));
    p.setFont(LabelFont(15, true));
    p.drawText(QRect(kMargin, 62, 800, 26), Qt::AlignLeft | Qt::AlignVCenter,
               "Put together as the screens place them (captions drawn by the controls)");
    for (int i = 0; i < static_cast<int>(scenes.size()); ++i) {
        const QRect at(kMargin + (i % 2) * (scene_width + kGap), scenes_top + (i / 2) * (scene_height + kGap),
                       scene_width, scene_height);
        p.drawImage(at, scenes[i].scaled(at.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    p.setPen(QColor(52, 52, 62));
    p.drawText(QRect(kMargin, scenes_top + scene_rows * (scene_height + kGap) + 6, 800, 26),
               Qt::AlignLeft | Qt::AlignVCenter, "Every file of Skin/");
    for (const Placed& item : placed) {
        DrawTile(p, *item.tile, item.box);
    }
    return sheet;
}

}  // namespace provix
