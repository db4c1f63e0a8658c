#pragma once

#include <string>

namespace provix {

// Chooses the language from the system locale through "Languages/Language.ini" below folder
// (which ends in "/") and loads it. Call once at start-up, before any other thread runs.
bool InitLanguage(const std::string& folder);

// The language file name (without ".lng") mapped to the system locale, or "English".
std::string GetLanguageName();

// The same for an explicit Windows locale number (1033, 2052, ...).
std::string GetLanguageName(unsigned locale_id);

// Makes name (or "English" when empty) the current language. The language file is read here,
// once; a missing or empty file leaves every text English.
void LoadLanguage(const std::string& name);

// The current language's name and the full path of its file.
std::string CurrentLanguage();
std::string CurrentLanguageFile();

// The current language's text for an English interface text, or the English text itself.
// Safe to call from any thread.
std::string TranslateText(const std::string& english);

}  // namespace provix
