#include "ui/CColorLine.h"

#include <QPainter>

namespace provix {

void CColorLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, height() / 2, width(), 1), color);
}

}  // namespace provix
