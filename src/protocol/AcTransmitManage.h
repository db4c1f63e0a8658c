#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devices/COperateCharacter.h"
#include "devices/CSqlManagement.h"
#include "devices/ap_discover_stu.h"
#include "protocol/AutoResetEvent.h"
#include "protocol/CaptureHandle.h"
#include "protocol/EtherFrame.h"
#include "protocol/StopSignal.h"
#include "protocol/TransmitThread.h"
#include "protocol/local_adapter_stu.h"

namespace provix {

// The link-layer engine: the chosen adapter, the receive and discovery-processing threads, the
// table of devices found by the current scan, the routing of device reports to the results store
// and the operation logs, and the transfer workers.
class AcTransmitManage {
public:
    // The process-wide engine on the process-wide results store, created on first use.
    static AcTransmitManage& GetInstance();

    // An engine on its own store (the headless companion and tests). Device reports are logged
    // below log_root ("" for the working directory, else a folder ending in "/").
    explicit AcTransmitManage(CSqlManagement& store, std::string log_root = {});
    // Stops the discovery threads and the transfer workers before anything they use goes away.
    ~AcTransmitManage();
    AcTransmitManage(const AcTransmitManage&) = delete;
    AcTransmitManage& operator=(const AcTransmitManage&) = delete;

    // The adapter every later Init, SendDiscover and transfer uses.
    void SetAdapter(const MacAddress& mac, const std::string& capture_device);
    // Takes the adapter's MAC and finds its capture device. When none matches, the previous capture
    // device stays (and false is returned); list_error tells a library failure apart.
    bool ChooseAdapter(const local_adapter_stu& adapter, std::string* list_error = nullptr);
    MacAddress AdapterMac() const;
    std::string AdapterName() const;

    // Replaces the running pair of discovery threads by a new pair on the current adapter. False when
    // the adapter cannot be captured on (see LastCaptureError) or a thread cannot be started.
    bool Init();

    // Broadcasts one discovery request. False when the adapter cannot be opened.
    bool SendDiscover();

    // Why the last Init or SendDiscover could not open the adapter; empty text when it could.
    CaptureError LastCaptureError() const;

    void ClearDevices();
    std::vector<ap_discover_stu> Devices() const;

    // Turns one discovery answer into a device: the first answer per MAC since ClearDevices is
    // recorded in the table and written to the store with all statuses WaitOperate.
    void ProcessDiscover(const ether_frame_stu& answer);

    // A request to `device` with the adapter's current MAC as its source.
    transmit_param_stu MakeRequest(const MacAddress& device, std::int32_t kind) const;

    // Starts a transfer worker for the request (up to 5 attempts to start its thread). False when no
    // thread could be started; the device then keeps the status its caller set.
    bool StartTransmit(const transmit_param_stu& param);

    // Tells every running worker to stop and waits for them, at most `limit` in all. Workers that
    // stopped record nothing more.
    void StopTransfers(std::chrono::milliseconds limit = std::chrono::milliseconds(3000));

    // Workers started and not yet finished.
    std::size_t RunningTransfers() const;

private:
    struct TransferKey {
        std::string mac;
        std::uint16_t module;
        auto operator<=>(const TransferKey&) const = default;
    };
    struct ActiveTransfer {
        int workers = 0;
        bool verdict = false;  // the device reported a result while a transfer was running
    };
    // What workers share with the engine. Held by each worker, so a worker that outlives the
    // bounded wait at exit touches nothing that is gone; `store` is cleared before the store goes.
    struct TransferShared {
        std::mutex lock;
        std::condition_variable finished;
        CSqlManagement* store = nullptr;
        std::map<TransferKey, ActiveTransfer> active;
        std::size_t running = 0;
    };
    class GuardedSink;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Adds (delta +1) or removes (-1) one worker's transfers; under shared.lock.
    static void CountTransfer(TransferShared& shared, const std::string& mac,
                              const std::vector<std::uint16_t>& modules, int delta);
    void StopDiscoveryThreads();
    void ReceiveLoop(CaptureHandle handle, const StopSignal& stop);
    void ManageLoop();
    void HandleReport(const ether_frame_stu& frame);
    void ReapFinishedWorkers();

    CSqlManagement& results_store;
    const std::string log_root;
    COperateCharacter log_writer;

    mutable std::mutex cs_adapter_choice;  // adapter_name and adapter_mac: the UI writes, workers read
    std::string adapter_name;
    MacAddress adapter_mac{};
    CaptureError capture_error;

    std::thread thread_recv_discover;
    std::thread thread_manage_discover;
    std::unique_ptr<AutoResetEvent> event_manage_discover;
    std::unique_ptr<StopSignal> stop_recv_discover;
    std::atomic<bool> stop_manage_discover{false};

    std::mutex cs_discover_queue;
    std::deque<ether_frame_stu> discover_queue;

    mutable std::mutex cs_device_table;
    std::vector<ap_discover_stu> device_table;

    std::shared_ptr<TransferShared> transfer_shared;
    mutable std::mutex cs_workers;
    std::vector<Worker> workers;
    std::shared_ptr<StopSignal> transfer_stop;
};

}  // namespace provix
