#pragma once

#include "devices/mac_stu.h"

namespace provix {

// An operation screen that the devices screen hands its ticked devices to before showing it.
// The screen receives its own copy; it sends one payload per element.
class DeviceSelectionReceiver {
public:
    virtual ~DeviceSelectionReceiver() = default;
    virtual void SetDevices(SelectionQueue selection_queue) = 0;
};

}  // namespace provix
