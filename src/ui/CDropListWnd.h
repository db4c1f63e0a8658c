#pragma once

#include <QColor>
#include <QWidget>

class QScrollArea;

namespace provix {

class CCustomComboBox;
class CDropListBoxWnd;

// The drop-down frame of a skinned drop-down list: a rounded border around the list rows.
class CDropListWnd : public QWidget {
    Q_OBJECT

public:
    explicit CDropListWnd(CCustomComboBox* combo);

    CDropListBoxWnd* ListBox() const { return list_box; }
    // Sizes and places the frame under (or, without room, above) the field and shows it.
    void Popup();

    QColor border_color{80, 140, 220};
    QColor fill_color{255, 255, 255};
    int corner_radius = 6;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void MoveHot(int step);
    void Activate(int index);

    CCustomComboBox* combo;
    QScrollArea* scroll_area;
    CDropListBoxWnd* list_box;
};

}  // namespace provix
