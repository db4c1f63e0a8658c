#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <Qt>

#include <vector>

namespace provix {

// Drawing state of a skinned button or label; also the index of a button's state picture.
enum SkinState { SkinNormal = 0, SkinHover = 1, SkinPressed = 2, SkinDisabled = 3 };

// Button state: disabled wins, then a press in progress, then the hover flag.
SkinState SelectButtonState(bool enabled, bool pressed, bool hover);

// Label state: a press counts only while the mouse is over the label.
SkinState SelectLabelState(bool enabled, bool hover, bool pressed);

// Top-left corner of a caption of text_size in a button of button_size for an alignment code
// (768 centred, 256 left, 512 right, 1024 top left, 2048 bottom left, 1792 top centre,
// 2816 bottom centre, anything else top left). Never negative.
QPoint ButtonCaptionPosition(int align_code, int margin, QSize button_size, QSize text_size);

// Horizontal and vertical placement of a label's text block for alignment codes 0..8
// (above 8 behaves like 0).
Qt::Alignment LabelAlignment(int align_code);

// Top-left corner of a text block in a label. A block larger than the label starts at its
// left or top edge so that the start of the text stays visible.
QPoint LabelBlockPosition(int align_code, QSize label_size, QSize block_size);

// A text box's placeholder is real text in the box: it is put in when an empty box loses the
// focus and taken out when the box gains it.
struct PlaceholderState {
    bool enabled = false;
    bool showing = false;
    QString text;
};

// The box's text after gaining the focus.
QString PlaceholderOnFocusIn(PlaceholderState& state, const QString& current);
// The box's text after losing the focus.
QString PlaceholderOnFocusOut(PlaceholderState& state, const QString& current);
// The owner or the operator changed the text: anything but the placeholder itself is a value.
void PlaceholderOnTextChanged(PlaceholderState& state, const QString& current);
// Whether the text is drawn in the placeholder colour.
bool PlaceholderColourApplies(const PlaceholderState& state, bool focused);

enum class EditBorder { Normal, Hover, Focus, Disabled };
EditBorder SelectEditBorder(bool enabled, bool focused, bool hover);

enum class ArrowState { Normal = 0, Hover = 1, Dropped = 2, Disabled = 3 };
ArrowState SelectArrowState(bool enabled, bool dropped, bool hover);

// How one row of a drop-down list is drawn.
struct DropItemLook {
    bool highlight_background;
    enum TextColour { NormalText, HighlightText, DisabledText } text;
    bool tick;
};
DropItemLook SelectDropItemLook(bool item_enabled, bool hot, bool current);

// Width left for an item's text in a row: the text inset, the picture when the item has one,
// and the tick of the current item (drawn in an icon-sized box).
int DropItemTextWidth(int row_width, bool has_picture, int icon_width, bool current);

struct DropListItem {
    QString text;
    int picture = -1;  // index into the item pictures, -1 none
    int value = 0;
    bool enabled = true;
};

// The items and the current selection of a skinned drop-down list.
class DropListItems {
public:
    // Appends an item and returns its index. Item values always equal the item indexes.
    int AddItem(const QString& text, int value = 0);
    // Removes an item: the selection is cleared when it was that item, and follows its entry
    // when it was after it.
    bool RemoveItem(int index);
    void ResetItems();

    int Count() const { return static_cast<int>(items.size()); }
    bool IsValid(int index) const { return index >= 0 && index < Count(); }
    const DropListItem& Item(int index) const { return items.at(static_cast<size_t>(index)); }
    QString GetItemText(int index) const;
    QString GetSelectedText() const;
    bool SetItemEnabled(int index, bool enabled);
    bool SetItemPicture(int index, int picture);

    int CurrentIndex() const { return current; }
    // -1 clears the selection; an index out of range is refused.
    bool SetCurrentIndex(int index);
    // The next enabled item from `from` in direction step (+1 or -1), or -1 when there is none.
    // from = -1 with step +1 starts at the first item.
    int NextSelectable(int from, int step) const;

private:
    void Renumber();

    std::vector<DropListItem> items;
    int current = -1;
};

}  // namespace provix
