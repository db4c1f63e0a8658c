#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace provix {

// A red, green, blue byte triple; Value() packs it as red + green * 256 + blue * 65536.
struct Colour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    constexpr std::uint32_t Value() const { return r | (std::uint32_t{g} << 8) | (std::uint32_t{b} << 16); }
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

// A logical font: height in logical units (positive selects by cell height), weight (0 = the
// default weight, 400 normal, 700 bold) and face name (at most 31 characters).
struct FontDescription {
    int height = 0;
    int weight = 0;
    std::string face;

    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The look read from "Setting.ini", kept for the whole run.
struct AppSettingsValues {
    Colour ChildBkColor;
    Colour LineColor;
    std::string FontName;
    FontDescription GridTitleFont;
    FontDescription GridCellFont;
    Colour GridTitleTextColor;
    Colour GridTitleBkColor;
    Colour GridTextColor;
};

// Full paths of the skin images: ExecutableFolder() + "Skin/" + file name.
struct SkinImagePaths {
    std::string main_bk_png;
    std::string main_bk_jpg;
    std::string main_bk3;
    std::string wait_search;
    std::string olvar_logo;
    std::string scan_btn_normal;
    std::string scan_btn_over;
    std::string scan_btn_down;
    std::string scan_btn_disable;
    std::string combox_down;
    std::string protection_btn_normal;
    std::string protection_btn_over;
    std::string protection_btn_down;
    std::string protection_btn_disable;
    std::string change_btn_normal;
    std::string select;
    std::string unselect;
    std::string part_select;
    std::string success;
    std::string error;
    std::string operating;
    std::string apply_btn_normal;
    std::string apply_btn_over;
    std::string apply_btn_down;
    std::string apply_btn_disable;
    std::string cancel_btn_normal;
    std::string cancel_btn_over;
    std::string cancel_btn_down;
    std::string choose_btn_normal;
    std::string btn_ini_file;
    std::string btn_pic_file;
    std::string btn_switch_on;
    std::string btn_switch_off;
    std::string btn_template;
    std::string btn_close_normal;
    std::string btn_close_normal2;
    std::string btn_close_over;
    std::string btn_close_down;
    std::string btn_child_close;
    std::string btn_child_close2;
    std::string btn_min_normal;
    std::string btn_min_over;
    std::string btn_min_down;
    std::string help_normal;
};

// Folder of the running executable with a trailing "/"; computed on first use and kept.
const std::string& ExecutableFolder();

// Standard decimal conversion: leading white space, optional sign, digits up to the first
// non-digit; no digits gives 0. Out-of-range numbers saturate instead of overflowing.
int ParseSettingInteger(std::string_view text);

// "R,G,B" with each number 0..255 as a colour; false (colour untouched) for anything else.
bool ParseSettingColour(std::string_view text, Colour& colour);

// Reads "Setting.ini" in folder (which ends in "/"); missing file, section or key give defaults.
AppSettingsValues ReadSettings(const std::string& folder);

// The skin image paths below folder (which ends in "/").
SkinImagePaths MakeSkinPaths(const std::string& folder);

// Every skin image file name with its path in SkinImagePaths, for checks over the whole set.
struct SkinImageFile {
    const char* file;
    std::string SkinImagePaths::*path;
};
std::span<const SkinImageFile> SkinImageFiles();

// Start-up: fill the process-wide values below from ExecutableFolder() (or the given folder).
// Call before any other thread reads them.
void LoadSettings();
void LoadSettings(const std::string& folder);
void LoadSkinPaths();
void LoadSkinPaths(const std::string& folder);

// The process-wide values, read directly by the screens and controls.
const AppSettingsValues& AppSettings();
const SkinImagePaths& SkinImages();

}  // namespace provix
