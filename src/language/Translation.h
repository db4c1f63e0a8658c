#pragma once

#include <string>

namespace provix {

// Chooses the language from the system locale through "Languages/Language.ini" below folder
// (which ends in "/") and loads it. Call once at start-up, before any other thread runs.
bool InitLanguage(const std::string& folder);

// The language file name (without ".lng") mapped to the system locale, or "English".
std::string GetLanguageName();

// Makes name (or "English" when empty) the current language.
void LoadLanguage(const std::string& name);

// The current language's text for an English interface text, or the English text itself.
// Safe to call from any thread.
std::string TranslateText(const std::string& english);

}  // namespace provix
