#pragma once

#include <QColor>
#include <QWidget>

namespace provix {

// One-pixel horizontal separator across the middle of its rectangle.
class CColorLine : public QWidget {
    Q_OBJECT

public:
    explicit CColorLine(QWidget* parent = nullptr) : QWidget(parent) {}

    QColor color{128, 128, 128};

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace provix
