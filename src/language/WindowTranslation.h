#pragma once

class QComboBox;
class QMenu;
class QWidget;

namespace provix {

class CCustomComboBox;

// Translates the fixed texts of a dialog once, when it initialises: its caption, then every
// descendant's text (labels, buttons, group titles) and the items of its drop-down lists. User
// input and data views keep their text. A widget already translated is skipped, so a dialog
// whose texts were reset later is not translated twice. Interface thread only.
void TranslateWindow(QWidget* dialog);

// Replaces every item by its translation and keeps the selected position.
void TranslateComboItems(CCustomComboBox* combo);
void TranslateComboItems(QComboBox* combo);

// Translates every item of the menu and of its submenus; separators are left alone.
void TranslateMenu(QMenu* menu);

}  // namespace provix
