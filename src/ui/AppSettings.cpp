#include "ui/AppSettings.h"

#include "ui/COperateFileIni.h"
#include "ui/Utf8Text.h"

#include <climits>
#include <vector>

#include <unistd.h>

namespace provix {
namespace {

constexpr std::size_t kMaxValueChars = 63;
constexpr std::size_t kMaxFaceChars = 31;

const SkinImageFile kSkinFiles[] = {
    {"main_bk.png", &SkinImagePaths::main_bk_png},
    {"main_bk.jpg", &SkinImagePaths::main_bk_jpg},
    {"main_bk3.jpg", &SkinImagePaths::main_bk3},
    {"wait_search.gif", &SkinImagePaths::wait_search},
    {"olvar_logo.bmp", &SkinImagePaths::olvar_logo},
    {"scan_btn_normal.png", &SkinImagePaths::scan_btn_normal},
    {"scan_btn_over.png", &SkinImagePaths::scan_btn_over},
    {"scan_btn_down.png", &SkinImagePaths::scan_btn_down},
    {"scan_btn_disable.png", &SkinImagePaths::scan_btn_disable},
    {"combox_down.png", &SkinImagePaths::combox_down},
    {"protection_btn_normal.png", &SkinImagePaths::protection_btn_normal},
    {"protection_btn_over.png", &SkinImagePaths::protection_btn_over},
    {"protection_btn_down.png", &SkinImagePaths::protection_btn_down},
    {"protection_btn_disable.png", &SkinImagePaths::protection_btn_disable},
    {"change_btn_normal.png", &SkinImagePaths::change_btn_normal},
    {"select.bmp", &SkinImagePaths::select},
    {"unselect.bmp", &SkinImagePaths::unselect},
    {"part_select.bmp", &SkinImagePaths::part_select},
    {"success.bmp", &SkinImagePaths::success},
    {"error.bmp", &SkinImagePaths::error},
    {"operating.bmp", &SkinImagePaths::operating},
    {"apply_btn_normal.png", &SkinImagePaths::apply_btn_normal},
    {"apply_btn_over.png", &SkinImagePaths::apply_btn_over},
    {"apply_btn_down.png", &SkinImagePaths::apply_btn_down},
    {"apply_btn_disable.png", &SkinImagePaths::apply_btn_disable},
    {"cancel_btn_normal.png", &SkinImagePaths::cancel_btn_normal},
    {"cancel_btn_over.png", &SkinImagePaths::cancel_btn_over},
    {"cancel_btn_down.png", &SkinImagePaths::cancel_btn_down},
    {"choose_btn_normal.png", &SkinImagePaths::choose_btn_normal},
    {"btn_ini_file.png", &SkinImagePaths::btn_ini_file},
    {"btn_pic_file.png", &SkinImagePaths::btn_pic_file},
    {"btn_switch_on.png", &SkinImagePaths::btn_switch_on},
    {"btn_switch_off.png", &SkinImagePaths::btn_switch_off},
    {"btn_template.png", &SkinImagePaths::btn_template},
    {"btn_close_normal.png", &SkinImagePaths::btn_close_normal},
    {"btn_close_normal2.png", &SkinImagePaths::btn_close_normal2},
    {"btn_close_over.png", &SkinImagePaths::btn_close_over},
    {"btn_close_down.png", &SkinImagePaths::btn_close_down},
    {"btn_child_close.png", &SkinImagePaths::btn_child_close},
    {"btn_child_close2.png", &SkinImagePaths::btn_child_close2},
    {"btn_min_normal.png", &SkinImagePaths::btn_min_normal},
    {"btn_min_over.png", &SkinImagePaths::btn_min_over},
    {"btn_min_down.png", &SkinImagePaths::btn_min_down},
    {"help_normal.bmp", &SkinImagePaths::help_normal},
};

AppSettingsValues g_settings;
SkinImagePaths g_skin;

// Fields of a colour text: every comma ends a field, the text after the last comma counts only
// when not empty, and a comma inside quotes does not split (the quotes themselves are dropped).
std::vector<std::string> SplitColourFields(std::string_view text) {
    std::vector<std::string> fields;
    std::string field;
    char quote = 0;
    for (const char c : text) {
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            else
                field += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty())
        fields.push_back(std::move(field));
    return fields;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

const std::string& ExecutableFolder() {
    static const std::string folder = [] {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0)
                return std::string("./");
            if (static_cast<std::size_t>(n) < buffer.size()) {
                std::string path(buffer.data(), static_cast<std::size_t>(n));
                const std::size_t slash = path.rfind('/');
                return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
            }
            if (buffer.size() >= (1u << 20))
                return std::string("./");
            buffer.resize(buffer.size() * 2);
        }
    }();
    return folder;
}

int ParseSettingInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool ParseSettingColour(std::string_view text, Colour& colour) {
    const std::vector<std::string> fields = SplitColourFields(text);
    if (fields.size() != 3)
        return false;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        parts[i] = ParseSettingInteger(fields[i]);
        if (parts[i] < 0 || parts[i] > 255)
            return false;
    }
    colour = {static_cast<std::uint8_t>(parts[0]), static_cast<std::uint8_t>(parts[1]),
              static_cast<std::uint8_t>(parts[2])};
    return true;
}

AppSettingsValues ReadSettings(const std::string& folder) {
    COperateFileIni ini;
    ini.Load(folder + "Setting.ini");
    const auto read = [&](const char* section, const char* key, const char* fallback) {
        return ini.GetString(section, key, fallback, kMaxValueChars);
    };

    // Colours start black and stay so when their text is malformed.
    AppSettingsValues s;
    ParseSettingColour(read("Color", "ChildBkColor", "255,255,255"), s.ChildBkColor);
    s.FontName = Utf8Left(read("Font", "FontName", "Microsoft YaHei"), kMaxFaceChars);
    ParseSettingColour(read("Color", "LineColor", "215,215,215"), s.LineColor);
    const int title_weight = ParseSettingInteger(read("Font", "GridTitleFontWeight", "700"));
    const int title_height = ParseSettingInteger(read("Font", "GridTitleFontHeight", "15"));
    const int cell_weight = ParseSettingInteger(read("Font", "GridFontWeight", "0"));
    const int cell_height = ParseSettingInteger(read("Font", "GridFontHeight", "15"));
    ParseSettingColour(read("Color", "GridTextColor", "0,0,0"), s.GridTextColor);
    ParseSettingColour(read("Color", "GridTitleTextColor", "237,112,32"), s.GridTitleTextColor);
    ParseSettingColour(read("Color", "GridTitleBkColor", "186,199,231"), s.GridTitleBkColor);

    s.GridTitleFont = {title_height, title_weight, s.FontName};
    s.GridCellFont = {cell_height, cell_weight, s.FontName};
    return s;
}

SkinImagePaths MakeSkinPaths(const std::string& folder) {
    SkinImagePaths paths;
    for (const SkinImageFile& f : kSkinFiles)
        paths.*f.path = folder + "Skin/" + f.file;
    return paths;
}

std::span<const SkinImageFile> SkinImageFiles() {
    return kSkinFiles;
}

void LoadSettings() {
    LoadSettings(ExecutableFolder());
}
void LoadSettings(const std::string& folder) {
    g_settings = ReadSettings(folder);
}
void LoadSkinPaths() {
    LoadSkinPaths(ExecutableFolder());
}
void LoadSkinPaths(const std::string& folder) {
    g_skin = MakeSkinPaths(folder);
}

const AppSettingsValues& AppSettings() {
    return g_settings;
}
const SkinImagePaths& SkinImages() {
    return g_skin;
}

}  // namespace provix
