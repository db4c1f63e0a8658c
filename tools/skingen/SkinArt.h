#pragma once

#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace provix {

// One file of the skin folder with the pixel size the screens lay it out at.
struct SkinImageSpec {
    std::string file;
    int width;
    int height;
};

// Every file of the default skin, in drawing order.
const std::vector<SkinImageSpec>& SkinImageTable();

// Draws one still image of the table at its size; a null image for an unknown name or the
// animated spinner.
QImage RenderSkinImage(const std::string& file);

// The frames of the waiting animation, each drawn on white, and the delay of each in 1/100 s.
std::vector<QImage> RenderSpinnerFrames();
constexpr int kSpinnerFrameDelay = 6;

// The animated-GIF file name of the table.
inline const char* const kSpinnerFile = "wait_search.gif";

}  // namespace provix
