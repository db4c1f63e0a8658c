#pragma once

#include "devices/MonitorTimers.h"

#include <QObject>

#include <functional>
#include <map>

class QTimer;

namespace provix {

// MonitorTimers on the event loop of the interface thread.
class QtMonitorTimers : public QObject, public MonitorTimers {
    Q_OBJECT

public:
    explicit QtMonitorTimers(QObject* parent = nullptr);

    // Receives each expiry.
    std::function<void(int id)> fire;

    void Start(int id, int period_ms) override;
    void Kill(int id) override;

private:
    std::map<int, QTimer*> timers;
};

}  // namespace provix
