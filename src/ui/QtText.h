#pragma once

#include "language/Translation.h"
#include "ui/AppSettings.h"

#include <QColor>
#include <QString>

#include <string>

// The widget edge: the core speaks UTF-8 std::string and colour triples, widgets speak Qt.
namespace provix {

inline QString Tr(const char* english) { return QString::fromStdString(TranslateText(english)); }

inline QString Path(const std::string& path) { return QString::fromStdString(path); }

inline QColor ToQColor(const Colour& colour) { return QColor(colour.r, colour.g, colour.b); }

}  // namespace provix
