#pragma once

#include "ui/SkinnedControlRules.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

namespace provix {

class CDropListWnd;

// Drop-down list drawn entirely by itself: a rounded field with an arrow picture and a
// drop-down frame listing the items.
class CCustomComboBox : public QWidget {
    Q_OBJECT

public:
    explicit CCustomComboBox(QWidget* parent = nullptr);
    ~CCustomComboBox() override;

    int AddItem(const QString& text, int value = 0);
    bool RemoveItem(int index);
    void ResetItems();
    QString GetItemText(int index) const { return items.GetItemText(index); }
    QString GetSelectedText() const { return items.GetSelectedText(); }
    const DropListItems& Items() const { return items; }
    bool SetItemEnabled(int index, bool enabled);
    // Item pictures are indexes into item_pictures.
    bool SetItemPicture(int index, int picture);

    int CurrentIndex() const { return items.CurrentIndex(); }
    // -1 clears the selection. Emits currentIndexChanged when it changes.
    bool SetCurrentIndex(int index);

    // The normal picture is required (false and nothing changes without it); the others fall
    // back to the normal one.
    bool SetArrowImages(const QString& normal, const QString& hover = QString(),
                        const QString& dropped = QString(), const QString& disabled = QString());
    // The arrow picture for a state, or a null image when the fallback triangle is drawn.
    QImage ArrowImage(ArrowState state) const;
    ArrowState CurrentArrowState() const;
    QRect ArrowRect() const;

    void ShowDropList();
    void HideDropList();
    bool IsDropped() const { return dropped; }
    bool IsHovered() const { return hover; }
    CDropListWnd* DropList() const { return drop_list; }

    QSize sizeHint() const override;

    int field_height = 30;
    int item_height = 32;
    QSize icon_size{18, 18};
    int corner_radius = 5;
    int arrow_width = 24;
    int text_inset = 8;
    int max_visible_items = 10;
    QColor list_background{255, 255, 255};
    QColor highlight_background{235, 244, 255};
    QColor highlight_text{20, 80, 200};
    QColor normal_text{50, 50, 50};
    QColor disabled_text{180, 180, 180};
    QColor field_background{255, 255, 255};
    QColor border_normal{200, 200, 200};
    QColor border_active{255, 128, 31};
    QColor hint_text_color{190, 190, 190};
    QColor separator_color{235, 235, 235};
    QString hint_text;
    std::vector<QImage> item_pictures;
    QFont item_font;

signals:
    void currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class CDropListWnd;
    void OnDropListHidden();
    void DrawArrow(QPainter& painter) const;

    DropListItems items;
    std::array<QImage, 4> arrow_images;
    bool dropped = false;
    bool hover = false;
    CDropListWnd* drop_list = nullptr;
};

}  // namespace provix
