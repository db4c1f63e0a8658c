#pragma once

#include <QColor>
#include <QFont>

namespace provix {

// Colours and fonts of the devices grid, from the settings file.
struct DeviceGridLook {
    QColor background;  // beyond the rows ("ChildBkColor")
    QColor line;        // horizontal lines ("LineColor")
    QColor title_text;  // header
    QColor title_background;
    QColor text;  // body cells
    QColor cell_background{255, 255, 255};
    QColor hover{242, 242, 242};
    QFont title_font;
    QFont cell_font;

    static DeviceGridLook FromSettings();
};

}  // namespace provix
