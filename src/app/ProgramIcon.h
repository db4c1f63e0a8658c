#pragma once

#include <QIcon>

namespace provix {

// The program's icon (window, tray, about box), drawn at the usual sizes in the skin's red.
QIcon ProgramIcon();

}  // namespace provix
