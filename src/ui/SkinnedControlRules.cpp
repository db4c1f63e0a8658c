#include "ui/SkinnedControlRules.h"

#include <algorithm>

namespace provix {

SkinState SelectButtonState(bool enabled, bool pressed, bool hover) {
    if (!enabled)
        return SkinDisabled;
    if (pressed)
        return SkinPressed;
    return hover ? SkinHover : SkinNormal;
}

SkinState SelectLabelState(bool enabled, bool hover, bool pressed) {
    if (!enabled)
        return SkinDisabled;
    if (!hover)
        return SkinNormal;
    return pressed ? SkinPressed : SkinHover;
}

QPoint ButtonCaptionPosition(int align_code, int margin, QSize button_size, QSize text_size) {
    const int centre_x = (button_size.width() - text_size.width()) / 2;
    const int centre_y = (button_size.height() - text_size.height()) / 2;
    const int bottom_y = button_size.height() - text_size.height();
    QPoint pos;
    switch (align_code) {
        case 768:
            pos = {centre_x, centre_y};
            break;
        case 256:
            pos = {margin + 2, centre_y};
            break;
        case 512:
            pos = {button_size.width() - text_size.width() - margin - 2, centre_y};
            break;
        case 2048:
            pos = {0, bottom_y};
            break;
        case 1792:
            pos = {centre_x, 0};
            break;
        case 2816:
            pos = {centre_x, bottom_y};
            break;
        default:
            pos = {0, 0};
            break;  // 1024 and unknown codes
    }
    return {std::max(pos.x(), 0), std::max(pos.y(), 0)};
}

Qt::Alignment LabelAlignment(int align_code) {
    switch (align_code) {
        case 1:
            return Qt::AlignRight | Qt::AlignTop;
        case 3:
            return Qt::AlignLeft | Qt::AlignBottom;
        case 4:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case 5:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case 6:
            return Qt::AlignRight | Qt::AlignVCenter;
        case 7:
            return Qt::AlignHCenter | Qt::AlignTop;
        case 8:
            return Qt::AlignHCenter | Qt::AlignBottom;
        default:
            return Qt::AlignLeft | Qt::AlignTop;
    }
}

QPoint LabelBlockPosition(int align_code, QSize label_size, QSize block_size) {
    const Qt::Alignment align = LabelAlignment(align_code);
    const int free_x = label_size.width() - block_size.width();
    const int free_y = label_size.height() - block_size.height();
    int x = 0;
    if (align & Qt::AlignRight)
        x = free_x;
    else if (align & Qt::AlignHCenter)
        x = free_x / 2;
    int y = 0;
    if (align & Qt::AlignBottom)
        y = free_y;
    else if (align & Qt::AlignVCenter)
        y = free_y / 2;
    return {std::max(x, 0), std::max(y, 0)};
}

QString PlaceholderOnFocusIn(PlaceholderState& state, const QString& current) {
    if (!state.showing)
        return current;
    state.showing = false;
    return QString();
}

QString PlaceholderOnFocusOut(PlaceholderState& state, const QString& current) {
    if (!current.isEmpty() || !state.enabled)
        return current;
    state.showing = true;
    return state.text;
}

void PlaceholderOnTextChanged(PlaceholderState& state, const QString& current) {
    // A value written while the placeholder shows must not be wiped by the next focus-in.
    if (state.showing && current != state.text)
        state.showing = false;
}

bool PlaceholderColourApplies(const PlaceholderState& state, bool focused) {
    return state.enabled && state.showing && !focused;
}

EditBorder SelectEditBorder(bool enabled, bool focused, bool hover) {
    if (!enabled)
        return EditBorder::Disabled;
    if (focused)
        return EditBorder::Focus;
    return hover ? EditBorder::Hover : EditBorder::Normal;
}

ArrowState SelectArrowState(bool enabled, bool dropped, bool hover) {
    if (!enabled)
        return ArrowState::Disabled;
    if (dropped)
        return ArrowState::Dropped;
    return hover ? ArrowState::Hover : ArrowState::Normal;
}

DropItemLook SelectDropItemLook(bool item_enabled, bool hot, bool current) {
    DropItemLook look{};
    look.highlight_background = item_enabled && (hot || current);
    if (!item_enabled)
        look.text = DropItemLook::DisabledText;
    else if (hot || current)
        look.text = DropItemLook::HighlightText;
    else
        look.text = DropItemLook::NormalText;
    look.tick = current;
    return look;
}

int DropItemTextWidth(int row_width, bool has_picture, int icon_width, bool current) {
    int width = row_width - (has_picture ? icon_width + 22 : 16);
    if (current)
        width -= icon_width + 8;
    return std::max(width, 0);
}

int DropListItems::AddItem(const QString& text, int value) {
    items.push_back(DropListItem{text, -1, value, true});
    Renumber();
    return Count() - 1;
}

bool DropListItems::RemoveItem(int index) {
    if (!IsValid(index))
        return false;
    items.erase(items.begin() + index);
    if (current == index)
        current = -1;
    else if (current > index)
        --current;
    Renumber();
    return true;
}

void DropListItems::ResetItems() {
    items.clear();
    current = -1;
}

QString DropListItems::GetItemText(int index) const {
    return IsValid(index) ? Item(index).text : QString();
}

QString DropListItems::GetSelectedText() const {
    return GetItemText(current);
}

bool DropListItems::SetItemEnabled(int index, bool enabled) {
    if (!IsValid(index))
        return false;
    items[static_cast<size_t>(index)].enabled = enabled;
    return true;
}

bool DropListItems::SetItemPicture(int index, int picture) {
    if (!IsValid(index))
        return false;
    items[static_cast<size_t>(index)].picture = picture;
    return true;
}

bool DropListItems::SetCurrentIndex(int index) {
    if (index != -1 && !IsValid(index))
        return false;
    current = index;
    return true;
}

int DropListItems::NextSelectable(int from, int step) const {
    if (step == 0 || Count() == 0)
        return -1;
    int i = from;
    if (i < 0)
        i = step > 0 ? -1 : Count();
    for (i += step; IsValid(i); i += step) {
        if (Item(i).enabled)
            return i;
    }
    return -1;
}

void DropListItems::Renumber() {
    for (size_t i = 0; i < items.size(); ++i)
        items[i].value = static_cast<int>(i);
}

}  // namespace provix
