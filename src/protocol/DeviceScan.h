#pragma once

#include <chrono>
#include <string>

#include "devices/CSqlManagement.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/CaptureHandle.h"
#include "protocol/local_adapter_stu.h"

namespace provix {

struct ScanStart {
    bool adapter_used = false;     // an adapter was taken (else the engine kept its previous one)
    std::string adapter_text;      // its display text
    std::string list_error;        // set when the capture library could not list its devices
    bool threads_running = false;  // the discovery threads run on the adapter
    bool request_sent = false;     // the discovery request went out
    CaptureError capture_error;    // why the adapter could not be opened, when it could not
};

// The steps that start a scan, shared by the adapter screen and the headless companion: take the
// adapter (its MAC, its capture device, the program-wide adapter text) and restart the discovery
// threads on it; then empty the device table and the store's rows and broadcast one request. A null
// adapter keeps the engine's previous adapter and threads.
ScanStart BeginScan(AcTransmitManage& manager, CSqlManagement& store, const local_adapter_stu* adapter);

// The same for the adapter at `selected` of a freshly read adapter list (the list may have changed
// since the operator chose); a position past its end keeps the previous adapter.
ScanStart BeginScan(AcTransmitManage& manager, CSqlManagement& store, int selected);

struct ScanSummary {
    ScanStart start;
    int ticks = 0;
    int devices = 0;   // rows in the store when the scan ended
    int requests = 0;  // discovery requests sent, the first included
};

// A whole scan without an event loop: BeginScan, then a tick every `tick` until the scan rule ends it.
ScanSummary RunScan(AcTransmitManage& manager, CSqlManagement& store, const local_adapter_stu* adapter,
                    std::chrono::milliseconds tick = std::chrono::milliseconds(1000));

}  // namespace provix
