#include "devices/DeviceGridLook.h"

#include "ui/AppSettings.h"
#include "ui/SkinResources.h"
#include "ui/QtText.h"

namespace provix {

namespace {

QFont ToQFont(const FontDescription& font) {
    return SkinFont(QString::fromStdString(font.face), font.height, font.weight);
}

}  // namespace

DeviceGridLook DeviceGridLook::FromSettings() {
    const AppSettingsValues& settings = AppSettings();
    DeviceGridLook look;
    look.background = ToQColor(settings.ChildBkColor);
    look.line = ToQColor(settings.LineColor);
    look.title_text = ToQColor(settings.GridTitleTextColor);
    look.title_background = ToQColor(settings.GridTitleBkColor);
    look.text = ToQColor(settings.GridTextColor);
    look.title_font = ToQFont(settings.GridTitleFont);
    look.cell_font = ToQFont(settings.GridCellFont);
    return look;
}

}  // namespace provix
