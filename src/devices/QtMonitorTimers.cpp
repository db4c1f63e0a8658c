#include "devices/QtMonitorTimers.h"

#include <QTimer>

namespace provix {

QtMonitorTimers::QtMonitorTimers(QObject* parent) : QObject(parent) {}

void QtMonitorTimers::Start(int id, int period_ms) {
    QTimer*& timer = timers[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] {
            if (fire)
                fire(id);
        });
    }
    timer->start(period_ms);
}

void QtMonitorTimers::Kill(int id) {
    const auto found = timers.find(id);
    if (found != timers.end())
        found->second->stop();
}

}  // namespace provix
