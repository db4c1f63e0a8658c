#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace provix {

// Posted to the devices screen by an operation screen once the operator confirmed, before the
// transfers start; the devices screen then monitors the operation.
inline const QEvent::Type WM_ANTITHEFT_START = static_cast<QEvent::Type>(QEvent::User + 100);
inline const QEvent::Type WM_CUSTOMIZE_START = static_cast<QEvent::Type>(QEvent::User + 101);

class OperationStartEvent : public QEvent {
public:
    OperationStartEvent(QEvent::Type type, QObject* sender) : QEvent(type), sender_screen(sender) {}

    // The screen that posted the event; a null sender means no operation and is ignored.
    QObject* sender_screen;
};

// Posts a start event; the receiver takes ownership of it.
inline void PostOperationStart(QObject* devices_screen, QEvent::Type type, QObject* sender) {
    if (devices_screen != nullptr)
        QCoreApplication::postEvent(devices_screen, new OperationStartEvent(type, sender));
}

}  // namespace provix
