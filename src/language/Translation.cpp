#include "language/Translation.h"

namespace provix {

// Interim: no language files are read yet, every text stays English.
bool InitLanguage(const std::string&) { return true; }
std::string GetLanguageName() { return "English"; }
void LoadLanguage(const std::string&) {}
std::string TranslateText(const std::string& english) { return english; }

}  // namespace provix
