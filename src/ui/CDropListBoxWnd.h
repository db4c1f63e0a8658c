#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

namespace provix {

class CCustomComboBox;

// The rows of a skinned drop-down list: highlight of the item under the mouse and of the
// current one, a tick on the current one, and a tooltip for texts that do not fit.
class CDropListBoxWnd : public QWidget {
    Q_OBJECT

public:
    CDropListBoxWnd(CCustomComboBox* combo, QWidget* parent);

    int HotIndex() const { return hot_index; }
    void SetHotIndex(int index);
    int ItemAt(QPoint pos) const;
    QRect ItemRect(int index) const;
    // Whether an item's whole text fits in its row.
    bool ItemTextFits(int index) const;
    // The full text of the hot item when it needs a tooltip, else empty.
    QString TooltipText() const { return tooltip_text; }
    int ContentHeight() const;

signals:
    void itemActivated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ShowTooltip();

    CCustomComboBox* combo;
    int hot_index = -1;
    QString tooltip_text;
    QTimer tooltip_timer;
};

}  // namespace provix
