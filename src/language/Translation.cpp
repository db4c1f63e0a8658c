#include "language/Translation.h"

#include "language/LocaleId.h"
#include "ui/COperateFileIni.h"
#include "ui/Utf8Text.h"

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string_view>

namespace provix {
namespace {

constexpr std::size_t kMaxValueChars = 1023;
constexpr const char* kMappingFile = "Language.ini";
constexpr const char* kDefaultLanguage = "English";

// Published once per LoadLanguage and never changed afterwards, so lookups need the lock only
// long enough to take a reference.
struct LanguageState {
    std::string folder;
    std::string language = kDefaultLanguage;
    std::string file_path;
    COperateFileIni strings;
};

std::shared_mutex g_mutex;
std::shared_ptr<const LanguageState> g_state = std::make_shared<LanguageState>();

std::shared_ptr<const LanguageState> Snapshot() {
    std::shared_lock lock(g_mutex);
    return g_state;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t hit; (hit = text.find(from, start)) != std::string::npos; start = hit + from.size()) {
        out.append(text, start, hit - start);
        out.append(to);
    }
    if (start == 0)
        return;
    out.append(text, start, std::string::npos);
    text = std::move(out);
}

// A language file cannot hold line breaks or surrounding blanks in a value; these stand for them.
void ApplyValueSyntax(std::string& value) {
    ReplaceAll(value, "\\r\\n", "\r\n");
    ReplaceAll(value, "\\n", "\n");
    ReplaceAll(value, "[~NullInfoVallo~]", "");
    ReplaceAll(value, "[~Null~]", " ");
}

}  // namespace

bool InitLanguage(const std::string& folder) {
    {
        auto state = std::make_shared<LanguageState>();
        state->folder = folder;
        std::unique_lock lock(g_mutex);
        g_state = std::move(state);
    }
    LoadLanguage(GetLanguageName());
    return true;
}

std::string GetLanguageName() {
    return GetLanguageName(SystemLocaleId());
}

std::string GetLanguageName(unsigned locale_id) {
    const std::string key = std::to_string(locale_id & 0xFFFFu);
    const std::string mapping = Snapshot()->folder + "Languages/" + kMappingFile;
    std::string name = COperateFileIni::ReadString(mapping, "LCID", key, "", kMaxValueChars);
    return name.empty() ? kDefaultLanguage : name;
}

void LoadLanguage(const std::string& name) {
    auto state = std::make_shared<LanguageState>();
    state->folder = Snapshot()->folder;
    state->language = name.empty() ? kDefaultLanguage : name;
    state->file_path = state->folder + "Languages/" + state->language + ".lng";
    state->strings.Load(state->file_path);
    std::unique_lock lock(g_mutex);
    g_state = std::move(state);
}

std::string CurrentLanguage() {
    return Snapshot()->language;
}

std::string CurrentLanguageFile() {
    return Snapshot()->file_path;
}

std::string TranslateText(const std::string& english) {
    if (english.empty())
        return {};
    const auto state = Snapshot();
    std::string value = state->strings.GetString("ProgramOutStr", Utf8ToLower(english), "", kMaxValueChars);
    if (value.empty())
        value = english;
    ApplyValueSyntax(value);
    return value;
}

}  // namespace provix
