#include "language/WindowTranslation.h"

#include "language/Translation.h"
#include "ui/CCustomComboBox.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <QWidget>

#include <vector>

namespace provix {

namespace {

// Marks a widget as translated. A property dies with its widget, so a new widget that happens to
// get a freed address is still translated.
constexpr const char* kTranslatedProperty = "provixTranslated";

// Same limits as the texts the language files are written for.
constexpr qsizetype kMaxCaption = 2047;
constexpr qsizetype kMaxControlText = 1023;

QString Translate(const QString& text) {
    return QString::fromStdString(TranslateText(text.toStdString()));
}

bool MarkTranslated(QObject* object) {
    if (object->property(kTranslatedProperty).toBool())
        return false;
    object->setProperty(kTranslatedProperty, true);
    return true;
}

// What the operator types and what lists data is never translated.
bool IsInputOrDataView(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QProgressBar*>(widget) != nullptr;
}

bool Translatable(const QString& text, qsizetype limit) {
    return !text.isEmpty() && text != QLatin1String("...") && text.size() <= limit;
}

void TranslateControl(QWidget* widget) {
    if (auto* label = qobject_cast<CTStaticGdiplus*>(widget)) {
        if (Translatable(label->Text(), kMaxControlText)) {
            const QString t = Translate(label->Text());
            if (!t.isEmpty())
                label->SetText(t);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (Translatable(button->text(), kMaxControlText)) {
            const QString t = Translate(button->text());
            if (!t.isEmpty())
                button->setText(t);
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (Translatable(label->text(), kMaxControlText)) {
            const QString t = Translate(label->text());
            if (!t.isEmpty())
                label->setText(t);
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (Translatable(group->title(), kMaxControlText)) {
            const QString t = Translate(group->title());
            if (!t.isEmpty())
                group->setTitle(t);
        }
    }
}

}  // namespace

void TranslateWindow(QWidget* dialog) {
    if (dialog == nullptr || !MarkTranslated(dialog))
        return;

    const QString caption = dialog->windowTitle().left(kMaxCaption);
    if (!caption.isEmpty()) {
        const QString t = Translate(caption);
        if (!t.isEmpty() && t != caption)
            dialog->setWindowTitle(t);
    }

    const QList<QWidget*> descendants = dialog->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        if (!MarkTranslated(widget) || IsInputOrDataView(widget))
            continue;
        if (auto* combo = qobject_cast<CCustomComboBox*>(widget)) {
            TranslateComboItems(combo);
            continue;
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            TranslateComboItems(combo);
            continue;
        }
        TranslateControl(widget);
    }
}

void TranslateComboItems(CCustomComboBox* combo) {
    if (combo == nullptr)
        return;
    const int selected = combo->CurrentIndex();
    const int count = combo->Items().Count();
    std::vector<DropListItem> saved;
    saved.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        saved.push_back(combo->Items().Item(i));
    // Rebuilt in order, each item keeping its picture and enabled state; the selection is put
    // back by position.
    const QSignalBlocker quiet(combo);
    combo->ResetItems();
    for (const DropListItem& item : saved) {
        const int index = combo->AddItem(Translate(item.text), item.value);
        if (index < 0)
            continue;
        combo->SetItemPicture(index, item.picture);
        combo->SetItemEnabled(index, item.enabled);
    }
    if (selected >= 0 && selected < count)
        combo->SetCurrentIndex(selected);
}

void TranslateComboItems(QComboBox* combo) {
    if (combo == nullptr)
        return;
    const int selected = combo->currentIndex();
    const QSignalBlocker quiet(combo);
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemText(i, Translate(combo->itemText(i)));
    if (selected >= 0 && selected < combo->count())
        combo->setCurrentIndex(selected);
}

void TranslateMenu(QMenu* menu) {
    if (menu == nullptr)
        return;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const QString text = action->text().left(kMaxCaption);
        if (!text.isEmpty()) {
            const QString t = Translate(text);
            if (!t.isEmpty() && t != text)
                action->setText(t);
        }
        if (QMenu* submenu = action->menu())
            TranslateMenu(submenu);
    }
}

}  // namespace provix
