#include "protocol/DeviceScan.h"

#include <thread>
#include <vector>

#include "protocol/AdapterList.h"
#include "protocol/CurrentAdapter.h"
#include "protocol/ScanRule.h"

namespace provix {

ScanStart BeginScan(AcTransmitManage& manager, CSqlManagement& store, const local_adapter_stu* adapter) {
    ScanStart start;
    if (adapter) {
        start.adapter_used = true;
        start.adapter_text = AdapterDisplayText(*adapter);
        SetCurrentAdapterText(start.adapter_text);
        manager.ChooseAdapter(*adapter, &start.list_error);
        start.threads_running = manager.Init();
        if (!start.threads_running) {
            start.capture_error = manager.LastCaptureError();
        }
    }
    manager.ClearDevices();
    store.DeleteAllDevices();
    start.request_sent = manager.SendDiscover();
    if (!start.request_sent && start.capture_error.text.empty()) {
        start.capture_error = manager.LastCaptureError();
    }
    return start;
}

ScanStart BeginScan(AcTransmitManage& manager, CSqlManagement& store, int selected) {
    std::vector<local_adapter_stu> adapters;
    GetAdapterList(adapters);
    const bool exists = selected >= 0 && static_cast<std::size_t>(selected) < adapters.size();
    return BeginScan(manager, store, exists ? &adapters[static_cast<std::size_t>(selected)] : nullptr);
}

ScanSummary RunScan(AcTransmitManage& manager, CSqlManagement& store, const local_adapter_stu* adapter,
                    std::chrono::milliseconds tick) {
    ScanSummary summary;
    ScanRule rule;
    rule.Start();
    summary.start = BeginScan(manager, store, adapter);
    summary.requests = summary.start.request_sent ? 1 : 0;
    for (;;) {
        std::this_thread::sleep_for(tick);
        const int count = store.DeviceCount();
        ++summary.ticks;
        const ScanRule::Action action = rule.Tick(count);
        if (action == ScanRule::Action::End) {
            summary.devices = count;
            return summary;
        }
        if (action == ScanRule::Action::SendDiscover && manager.SendDiscover()) {
            ++summary.requests;
        }
    }
}

}  // namespace provix
