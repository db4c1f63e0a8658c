#include "SkinArt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace provix {

namespace {

// The palette. The accent is the product red; everything else stays neutral so the red reads as
// "act here".
const QColor kRed(216, 34, 40);
const QColor kRedHover(232, 66, 71);
const QColor kRedDown(176, 20, 27);
const QColor kRedChip(184, 24, 31);
const QColor kRedTint(253, 240, 240);
const QColor kRedTintDown(250, 224, 225);
const QColor kRedTintBorder(240, 178, 180);
const QColor kDisabled(205, 207, 214);
const QColor kInk(52, 52, 62);
const QColor kBorder(214, 216, 223);
const QColor kBorderHover(236, 150, 153);
const QColor kFieldFill(247, 248, 250);
const QColor kFieldBorder(228, 230, 236);
const QColor kGlyphGrey(150, 152, 163);
const QColor kSuccess(30, 158, 86);
const QColor kError(222, 52, 52);
const QColor kBusy(34, 120, 220);
// Grid pictures are masked on pure white; glyphs use this so they stay opaque.
const QColor kOpaqueWhite(254, 254, 254);
const QColor kBackdrop(236, 238, 242);

constexpr int kWindowWidth = 817;
constexpr int kWindowHeight = 540;
constexpr int kBandHeight = 48;
// The adapter screen's rectangle inside the main window.
const QRect kAdapterScreen(247, 126, 324, 288);

const char* const kBrandFont = "DejaVu Sans";

QImage NewImage(int width, int height, bool alpha) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(alpha ? QColor(Qt::transparent) : QColor(Qt::white));
    return image;
}

void Smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont BrandFont(qreal pixels, int weight) {
    QFont font(kBrandFont);
    font.setPixelSize(static_cast<int>(std::lround(pixels)));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QPen RoundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A rounded box whose 1 px border falls on whole pixels.
void RoundedBox(QPainter& p, const QRectF& outer, qreal radius, const QColor& fill, const QColor& border) {
    p.save();
    if (border.isValid()) {
        p.setPen(QPen(border, 1));
        p.setBrush(fill);
        p.drawRoundedRect(outer.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(outer, radius, radius);
    }
    p.restore();
}

// Flat button body with a faint top-to-bottom shade so it does not look like a printed rectangle.
QImage ButtonImage(int width, int height, const QColor& fill, const QColor& border = QColor(),
                   qreal radius = 4) {
    QImage image = NewImage(width, height, true);
    QPainter p(&image);
    Smooth(p);
    QLinearGradient shade(0, 0, 0, height);
    shade.setColorAt(0, fill.lighter(103));
    shade.setColorAt(1, fill.darker(102));
    p.setPen(border.isValid() ? QPen(border, 1) : Qt::NoPen);
    p.setBrush(shade);
    const QRectF r = border.isValid() ? QRectF(0.5, 0.5, width - 1, height - 1) : QRectF(0, 0, width, height);
    p.drawRoundedRect(r, radius, radius);
    return image;
}

// The product mark: a rounded tile holding a "P" whose bowl sends out two signal arcs.
void DrawMark(QPainter& p, const QRectF& box, const QColor& tile, const QColor& glyph) {
    p.save();
    p.translate(box.topLeft());
    const qreal s = box.width();
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.24, s * 0.24);

    const qreal stroke = s * 0.115;
    const QPointF bowl_centre(s * 0.42, s * 0.42);
    const qreal bowl_radius = s * 0.15;
    QPainterPath letter;
    letter.moveTo(s * 0.27, s * 0.77);
    letter.lineTo(s * 0.27, bowl_centre.y() - bowl_radius);
    letter.lineTo(bowl_centre.x(), bowl_centre.y() - bowl_radius);
    letter.arcTo(QRectF(bowl_centre.x() - bowl_radius, bowl_centre.y() - bowl_radius, 2 * bowl_radius,
                        2 * bowl_radius),
                 90, -180);
    letter.lineTo(s * 0.27, bowl_centre.y() + bowl_radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(RoundPen(glyph, stroke));
    p.drawPath(letter);

    const qreal wave_stroke = s * 0.085;
    for (int i = 0; i < 2; ++i) {
        const qreal r = bowl_radius + s * (0.15 + 0.14 * i);
        QColor c = glyph;
        c.setAlphaF(i == 0 ? 0.9f : 0.6f);
        p.setPen(RoundPen(c, wave_stroke));
        p.drawArc(QRectF(bowl_centre.x() - r, bowl_centre.y() - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
    p.restore();
}

// Mark and name on the title band.
void DrawBandBrand(QPainter& p) {
    DrawMark(p, QRectF(16, 10, 28, 28), Qt::white, kRed);
    p.setPen(Qt::white);
    p.setFont(BrandFont(19, QFont::Bold));
    const QRectF name(54, 0, 120, kBandHeight);
    QRectF used;
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, "Provix", &used);
    QColor divider(255, 255, 255, 90);
    p.fillRect(QRectF(used.right() + 12, 17, 1, 14), divider);
    p.setPen(QColor(255, 255, 255, 215));
    p.setFont(BrandFont(12, QFont::Normal));
    p.drawText(QRectF(used.right() + 25, 0, 300, kBandHeight), Qt::AlignLeft | Qt::AlignVCenter,
               "Device Provisioning");
}

// Radio waves spreading from a point, faint, clipped to the given area.
void DrawWaves(QPainter& p, const QRectF& area, const QPointF& origin, const QColor& colour, int count,
               qreal step, qreal first) {
    p.save();
    p.setClipRect(area, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    for (int i = 0; i < count; ++i) {
        const qreal r = first + step * i;
        QColor c = colour;
        c.setAlphaF(colour.alphaF() * (1.0f - 0.8f * static_cast<float>(i) / static_cast<float>(count)));
        p.setPen(QPen(c, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(origin, r, r);
    }
    p.restore();
}

// Blurs the alpha of a premultiplied image in place: three box passes approximate a Gaussian.
void BlurAlpha(QImage& image, int radius) {
    const int w = image.width();
    const int h = image.height();
    std::vector<int> alpha(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            alpha[static_cast<std::size_t>(y * w + x)] = qAlpha(line[x]);
        }
    }
    std::vector<int> tmp(alpha.size());
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> int& {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                return alpha[static_cast<std::size_t>(y * w + x)];
            };
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += at(std::clamp(i, 0, inner - 1));
            }
            for (int i = 0; i < inner; ++i) {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                tmp[static_cast<std::size_t>(y * w + x)] = sum / (2 * radius + 1);
                sum += at(std::min(i + radius + 1, inner - 1)) - at(std::max(i - radius, 0));
            }
        }
        alpha.swap(tmp);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    const QColor tone(24, 28, 48);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = alpha[static_cast<std::size_t>(y * w + x)];
            line[x] = qRgba(tone.red() * a / 255, tone.green() * a / 255, tone.blue() * a / 255, a);
        }
    }
}

// A soft drop shadow under a rounded card, as a floating panel casts it.
void DrawSoftShadow(QPainter& p, const QRectF& card, qreal radius, int blur, int alpha, qreal drop) {
    const int pad = blur * 3;
    QImage shadow(static_cast<int>(card.width()) + 2 * pad, static_cast<int>(card.height()) + 2 * pad,
                  QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.setPen(Qt::NoPen);
        sp.setBrush(QColor(0, 0, 0, alpha));
        sp.drawRoundedRect(QRectF(pad, pad, card.width(), card.height()), radius, radius);
    }
    BlurAlpha(shadow, blur);
    p.drawImage(QPointF(card.left() - pad, card.top() - pad + drop), shadow);
}

QImage MainBackgroundAdapter() {
    QImage image = NewImage(kWindowWidth, kWindowHeight, true);
    QPainter p(&image);
    Smooth(p);
    QLinearGradient floor(0, 0, 0, kWindowHeight);
    floor.setColorAt(0, QColor(244, 245, 248));
    floor.setColorAt(1, QColor(234, 236, 241));
    p.fillRect(image.rect(), floor);

    // The red area ends in a gentle curve instead of a hard horizontal cut.
    const QRectF hero(0, 0, kWindowWidth, 250);
    QPainterPath hero_shape;
    hero_shape.moveTo(0, 0);
    hero_shape.lineTo(kWindowWidth, 0);
    hero_shape.lineTo(kWindowWidth, 206);
    hero_shape.cubicTo(600, 262, 260, 196, 0, 240);
    hero_shape.closeSubpath();
    QLinearGradient red(0, 0, kWindowWidth, hero.height());
    red.setColorAt(0, kRed);
    red.setColorAt(1, QColor(196, 24, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPath(hero_shape);
    p.save();
    p.setClipPath(hero_shape);
    DrawWaves(p, hero, QPointF(kWindowWidth - 40, 250), QColor(255, 255, 255, 40), 9, 34, 40);
    DrawWaves(p, hero, QPointF(30, 250), QColor(255, 255, 255, 22), 5, 34, 60);
    p.restore();
    DrawBandBrand(p);

    // The adapter screen paints a square white rectangle; a larger rounded card around it makes it
    // read as one floating panel.
    const QRectF card = QRectF(kAdapterScreen).adjusted(-18, -18, 18, 18);
    DrawSoftShadow(p, card, 10, 7, 70, 6);
    RoundedBox(p, card, 10, Qt::white, QColor());

    p.setPen(QColor(160, 163, 175));
    p.setFont(BrandFont(11, QFont::Normal));
    p.drawText(QRectF(0, kWindowHeight - 40, kWindowWidth, 20), Qt::AlignCenter,
               "Provix  \u00b7  wireless device provisioning");
    return image;
}

void DrawBand(QPainter& p) {
    p.fillRect(QRectF(0, 0, kWindowWidth, kBandHeight), kRed);
    DrawWaves(p, QRectF(300, 0, 440, kBandHeight), QPointF(640, 110), QColor(255, 255, 255, 34), 6, 26, 70);
    DrawBandBrand(p);
}

QImage MainBackgroundDevices() {
    QImage image = NewImage(kWindowWidth, kWindowHeight, false);
    QPainter p(&image);
    Smooth(p);
    DrawBand(p);
    p.fillRect(QRectF(0, kBandHeight, kWindowWidth, 1), QColor(170, 20, 26));
    return image;
}

QImage MainBackgroundDialogs() {
    QImage image = NewImage(kWindowWidth, kWindowHeight, false);
    QPainter p(&image);
    Smooth(p);
    const QRectF body(0, kBandHeight, kWindowWidth, kWindowHeight - kBandHeight);
    QRadialGradient glow(QPointF(kWindowWidth / 2.0, kWindowHeight / 2.0), kWindowWidth * 0.6);
    glow.setColorAt(0, QColor(242, 243, 246));
    glow.setColorAt(1, QColor(222, 225, 231));
    p.fillRect(body, glow);
    // A quiet dot grid: the dialog on top stays the only thing to look at.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(205, 208, 216));
    for (int y = kBandHeight + 12; y < kWindowHeight; y += 18) {
        for (int x = 12; x < kWindowWidth; x += 18) {
            p.drawEllipse(QPointF(x + 0.5, y + 0.5), 0.9, 0.9);
        }
    }
    DrawBand(p);
    return image;
}

QImage Logo() {
    QImage image = NewImage(220, 48, false);
    QPainter p(&image);
    Smooth(p);
    const QFont name_font = BrandFont(27, QFont::Bold);
    const QFont tag_font = BrandFont(8, QFont::DemiBold);
    const qreal mark = 40;
    const qreal name_width = QFontMetricsF(name_font).horizontalAdvance("Provix");
    const qreal group = mark + 10 + name_width;
    const qreal left = (220 - group) / 2;
    DrawMark(p, QRectF(left, 4, mark, mark), kRed, Qt::white);
    p.setPen(kInk);
    p.setFont(name_font);
    p.drawText(QRectF(left + mark + 9, -1, name_width + 4, 36), Qt::AlignLeft | Qt::AlignVCenter, "Provix");
    QFont tag = tag_font;
    tag.setLetterSpacing(QFont::AbsoluteSpacing, 1.3);
    p.setFont(tag);
    p.setPen(QColor(150, 152, 164));
    p.drawText(QRectF(left + mark + 11, 32, 200, 12), Qt::AlignLeft | Qt::AlignVCenter, "PROVISIONING");
    return image;
}

// A cross of two round-capped strokes inside a box of the given size.
void DrawCross(QPainter& p, const QRectF& box, const QColor& colour, qreal width) {
    p.setPen(RoundPen(colour, width));
    p.drawLine(box.topLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomLeft());
}

// 16 x 16 window and dialog controls; chip is the rounded plate behind the glyph, or invalid for none.
QImage WindowButton(const QColor& chip, const QColor& glyph, bool minimise) {
    QImage image = NewImage(16, 16, true);
    QPainter p(&image);
    Smooth(p);
    if (chip.isValid()) {
        RoundedBox(p, QRectF(0, 0, 16, 16), 3.5, chip, QColor());
    }
    if (minimise) {
        p.setPen(RoundPen(glyph, 1.6));
        p.drawLine(QPointF(4.5, 8.5), QPointF(11.5, 8.5));
    } else {
        DrawCross(p, QRectF(4.6, 4.6, 6.8, 6.8), glyph, 1.6);
    }
    return image;
}

QImage GridBoxImage(int ticked) {
    QImage image = NewImage(24, 24, false);
    QPainter p(&image);
    Smooth(p);
    const QRectF box(3, 3, 18, 18);
    if (ticked == 0) {
        RoundedBox(p, box, 3.5, kOpaqueWhite, QColor(172, 176, 188));
        return image;
    }
    RoundedBox(p, box, 3.5, kRed, QColor());
    p.setPen(RoundPen(kOpaqueWhite, 2.2));
    if (ticked == 1) {
        QPainterPath tick;
        tick.moveTo(7.4, 12.2);
        tick.lineTo(10.6, 15.3);
        tick.lineTo(16.6, 8.9);
        p.drawPath(tick);
    } else {
        p.drawLine(QPointF(7.5, 12), QPointF(16.5, 12));
    }
    return image;
}

QImage StatusImage(const QColor& disc, const std::function<void(QPainter&)>& glyph) {
    QImage image = NewImage(24, 24, false);
    QPainter p(&image);
    Smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    glyph(p);
    return image;
}

void DrawArrowHead(QPainter& p, const QPointF& tip, qreal angle_deg, qreal size, const QColor& colour) {
    p.save();
    p.translate(tip);
    p.rotate(angle_deg);
    QPainterPath head;
    head.moveTo(0, 0);
    head.lineTo(-size, -size * 0.75);
    head.lineTo(-size, size * 0.75);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
    p.restore();
}

// Two chasing arcs with arrow heads: "working on it".
void DrawCircularArrows(QPainter& p) {
    const QPointF c(12, 12);
    const qreal r = 5.6;
    const QRectF ring(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(QPen(kOpaqueWhite, 1.9, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    for (int half = 0; half < 2; ++half) {
        const qreal start = 200 + 180 * half;  // degrees, counter-clockwise from 3 o'clock
        const qreal span = 115;
        p.drawArc(ring, static_cast<int>(start * 16), static_cast<int>(span * 16));
        const qreal end = (start + span) * M_PI / 180;
        const QPointF tip(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
        // Tangent of a counter-clockwise arc in screen coordinates.
        const qreal tangent = -(start + span) - 90;
        DrawArrowHead(p, tip + QPointF(std::cos(tangent * M_PI / 180), std::sin(tangent * M_PI / 180)) * 1.6,
                      tangent, 3.2, kOpaqueWhite);
    }
}

QImage ComboArrow() {
    QImage image = NewImage(16, 16, true);
    QPainter p(&image);
    Smooth(p);
    QPainterPath chevron;
    chevron.moveTo(4.5, 6.5);
    chevron.lineTo(8, 10);
    chevron.lineTo(11.5, 6.5);
    p.setPen(RoundPen(QColor(120, 123, 136), 1.6));
    p.drawPath(chevron);
    return image;
}

QImage Switch(bool on) {
    QImage image = NewImage(28, 16, true);
    QPainter p(&image);
    Smooth(p);
    RoundedBox(p, QRectF(0, 0, 28, 16), 8, on ? kRed : QColor(200, 203, 211), QColor());
    const QPointF knob(on ? 20 : 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(knob + QPointF(0, 0.6), 6.2, 6.2);
    p.setBrush(Qt::white);
    p.drawEllipse(knob, 6, 6);
    return image;
}

QImage ChooseButton() {
    QImage image = ButtonImage(99, 28, Qt::white, kBorder);
    QPainter p(&image);
    Smooth(p);
    // Open folder with an arrow: sits in the blanks that lead the caption.
    p.translate(22, 6);
    p.setPen(RoundPen(kRed, 1.5));
    p.setBrush(Qt::NoBrush);
    QPainterPath folder;
    folder.moveTo(1, 14);
    folder.lineTo(1, 2.5);
    folder.lineTo(6, 2.5);
    folder.lineTo(8, 4.5);
    folder.lineTo(15, 4.5);
    folder.lineTo(15, 14);
    folder.closeSubpath();
    p.drawPath(folder);
    p.drawLine(QPointF(8, 12), QPointF(8, 7.5));
    p.drawLine(QPointF(5.8, 9.6), QPointF(8, 7.4));
    p.drawLine(QPointF(10.2, 9.6), QPointF(8, 7.4));
    return image;
}

QImage FileRow(bool picture) {
    QImage image = ButtonImage(209, 28, kFieldFill, kFieldBorder);
    QPainter p(&image);
    Smooth(p);
    p.translate(10, 6);
    p.setPen(RoundPen(kRed, 1.4));
    p.setBrush(Qt::NoBrush);
    if (picture) {
        p.drawRoundedRect(QRectF(0.7, 1.7, 14.6, 12.6), 2, 2);
        QPainterPath hills;
        hills.moveTo(2.5, 12.5);
        hills.lineTo(6.5, 7.8);
        hills.lineTo(9.3, 10.6);
        hills.lineTo(10.8, 9.2);
        hills.lineTo(13.5, 12.5);
        p.setBrush(kRed);
        p.setPen(Qt::NoPen);
        p.drawPath(hills);
        p.drawEllipse(QPointF(11, 5.3), 1.5, 1.5);
    } else {
        QPainterPath page;
        page.moveTo(2.5, 0.7);
        page.lineTo(9.5, 0.7);
        page.lineTo(13.5, 4.7);
        page.lineTo(13.5, 15.3);
        page.lineTo(2.5, 15.3);
        page.closeSubpath();
        p.drawPath(page);
        p.drawLine(QPointF(9.5, 0.7), QPointF(9.5, 4.7));
        p.drawLine(QPointF(9.5, 4.7), QPointF(13.5, 4.7));
        p.setPen(RoundPen(kRed, 1.2));
        for (const qreal y : {8.0, 10.5, 13.0}) {
            p.drawLine(QPointF(5, y), QPointF(y == 13.0 ? 8.5 : 11, y));
        }
    }
    return image;
}

QImage HelpButton() {
    // A bitmap without transparency, so it carries the title band's red behind the glyph.
    QImage image = NewImage(16, 16, false);
    image.fill(kRed);
    QPainter p(&image);
    Smooth(p);
    p.setPen(RoundPen(Qt::white, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 6.6, 6.6);
    p.setPen(Qt::white);
    p.setFont(BrandFont(10, QFont::Bold));
    p.drawText(QRectF(0, 0, 16, 16.5), Qt::AlignCenter, "?");
    return image;
}

QImage SpinnerFrame(int frame, int frames) {
    QImage image = NewImage(32, 32, false);
    QPainter p(&image);
    Smooth(p);
    const QRectF ring(4.5, 4.5, 23, 23);
    p.setPen(QPen(QColor(234, 235, 240), 3.4));
    p.drawEllipse(ring);
    const int start = 90 - frame * 360 / frames;
    // The arc breathes between short and long while it turns, so the loop never looks mechanical.
    const qreal phase = std::sin(frame * 2 * M_PI / frames);
    const int span = static_cast<int>(110 + 50 * phase);
    p.setPen(QPen(kRed, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, start * 16, -span * 16);
    return image;
}

using Painter = std::function<QImage()>;

struct Entry {
    SkinImageSpec spec;
    Painter paint;
};

const std::vector<Entry>& Entries() {
    static const std::vector<Entry> entries = [] {
        std::vector<Entry> e;
        auto add = [&e](const char* file, int w, int h, Painter paint) {
            e.push_back({{file, w, h}, std::move(paint)});
        };
        add("main_bk.png", kWindowWidth, kWindowHeight, MainBackgroundAdapter);
        add("main_bk.jpg", kWindowWidth, kWindowHeight, MainBackgroundDevices);
        add("main_bk3.jpg", kWindowWidth, kWindowHeight, MainBackgroundDialogs);
        add(kSpinnerFile, 32, 32, nullptr);
        add("olvar_logo.bmp", 220, 48, Logo);

        const struct {
            const char* prefix;
            int w, h;
        } primaries[] = {{"scan_btn", 218, 24}, {"protection_btn", 142, 24}, {"apply_btn", 67, 27}};
        for (const auto& b : primaries) {
            const std::string prefix = b.prefix;
            const int w = b.w, h = b.h;
            e.push_back({{prefix + "_normal.png", w, h}, [w, h] { return ButtonImage(w, h, kRed); }});
            e.push_back({{prefix + "_over.png", w, h}, [w, h] { return ButtonImage(w, h, kRedHover); }});
            e.push_back({{prefix + "_down.png", w, h}, [w, h] { return ButtonImage(w, h, kRedDown); }});
            e.push_back({{prefix + "_disable.png", w, h}, [w, h] { return ButtonImage(w, h, kDisabled); }});
        }
        add("combox_down.png", 16, 16, ComboArrow);
        add("change_btn_normal.png", 48, 18, [] { return ButtonImage(48, 18, kRedTint, kRedTintBorder, 3); });
        add("unselect.bmp", 24, 24, [] { return GridBoxImage(0); });
        add("select.bmp", 24, 24, [] { return GridBoxImage(1); });
        add("part_select.bmp", 24, 24, [] { return GridBoxImage(2); });
        add("success.bmp", 24, 24, [] {
            return StatusImage(kSuccess, [](QPainter& p) {
                QPainterPath tick;
                tick.moveTo(7.3, 12.3);
                tick.lineTo(10.5, 15.4);
                tick.lineTo(16.7, 9);
                p.setPen(RoundPen(kOpaqueWhite, 2.2));
                p.drawPath(tick);
            });
        });
        add("error.bmp", 24, 24, [] {
            return StatusImage(
                kError, [](QPainter& p) { DrawCross(p, QRectF(8.2, 8.2, 7.6, 7.6), kOpaqueWhite, 2.2); });
        });
        add("operating.bmp", 24, 24, [] { return StatusImage(kBusy, DrawCircularArrows); });
        add("cancel_btn_normal.png", 71, 27, [] { return ButtonImage(71, 27, Qt::white, kBorder); });
        add("cancel_btn_over.png", 71, 27, [] { return ButtonImage(71, 27, kRedTint, kBorderHover); });
        add("cancel_btn_down.png", 71, 27, [] { return ButtonImage(71, 27, kRedTintDown, kRed); });
        add("choose_btn_normal.png", 99, 28, ChooseButton);
        add("btn_ini_file.png", 209, 28, [] { return FileRow(false); });
        add("btn_pic_file.png", 209, 28, [] { return FileRow(true); });
        add("btn_switch_on.png", 28, 16, [] { return Switch(true); });
        add("btn_switch_off.png", 28, 16, [] { return Switch(false); });
        add("btn_template.png", 124, 24, [] { return ButtonImage(124, 24, kRedTint, kRedTintBorder); });
        // The plain close image also serves as the template delete button on white dialogs, so it
        // carries its own plate instead of relying on the red band behind it.
        add("btn_close_normal.png", 16, 16, [] { return WindowButton(kRedChip, Qt::white, false); });
        add("btn_close_normal2.png", 16, 16, [] { return WindowButton(QColor(), Qt::white, false); });
        add("btn_close_over.png", 16, 16, [] { return WindowButton(kRedHover, Qt::white, false); });
        add("btn_close_down.png", 16, 16,
            [] { return WindowButton(kRedDown.darker(115), Qt::white, false); });
        add("btn_child_close.png", 16, 16, [] { return WindowButton(QColor(), kGlyphGrey, false); });
        add("btn_child_close2.png", 16, 16,
            [] { return WindowButton(QColor(), QColor(120, 122, 134), false); });
        add("btn_min_normal.png", 16, 16, [] { return WindowButton(kRedChip, Qt::white, true); });
        add("btn_min_over.png", 16, 16, [] { return WindowButton(kRedHover, Qt::white, true); });
        add("btn_min_down.png", 16, 16, [] { return WindowButton(kRedDown.darker(115), Qt::white, true); });
        add("help_normal.bmp", 16, 16, HelpButton);
        return e;
    }();
    return entries;
}

}  // namespace

const std::vector<SkinImageSpec>& SkinImageTable() {
    static const std::vector<SkinImageSpec> table = [] {
        std::vector<SkinImageSpec> t;
        for (const Entry& e : Entries()) {
            t.push_back(e.spec);
        }
        return t;
    }();
    return table;
}

QImage RenderSkinImage(const std::string& file) {
    for (const Entry& e : Entries()) {
        if (e.spec.file == file && e.paint) {
            return e.paint();
        }
    }
    return QImage();
}

std::vector<QImage> RenderSpinnerFrames() {
    constexpr int kFrames = 18;
    std::vector<QImage> frames;
    for (int i = 0; i < kFrames; ++i) {
        frames.push_back(SpinnerFrame(i, kFrames));
    }
    return frames;
}

}  // namespace provix
