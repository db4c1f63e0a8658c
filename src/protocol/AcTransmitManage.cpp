#include "protocol/AcTransmitManage.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <system_error>

#include "devices/DiagnosticLog.h"
#include "devices/OperationLog.h"
#include "protocol/AdapterList.h"
#include "protocol/PcapFrameChannel.h"

#include <poll.h>

namespace provix {
namespace {

constexpr int kThreadStartAttempts = 5;
// Discovery answers waiting for the processing thread; a flood beyond this is dropped rather than
// allowed to eat memory (each device answers again on the next request).
constexpr std::size_t kMaxQueuedAnswers = 65536;
// Frames handled per wake of the receive thread before it looks at its stop signal again.
constexpr int kReceiveBurst = 256;
// Pause after a read error (for example an adapter that went away) so the loop does not spin.
constexpr std::chrono::milliseconds kReceiveErrorBackoff{100};
constexpr int kReceiveSnaplen = 1518;
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;
constexpr const char* kInitFunction = "bool __thiscall AcTransmitManage::Init(void)";

bool SetModuleStatus(CSqlManagement& store, std::uint16_t module, const std::string& mac,
                     OperateStatus status) {
    switch (module) {
        case MODULE_PARA:
            return store.SetParaStatus(mac, status);
        case MODULE_LOGO:
            return store.SetLogoStatus(mac, status);
        case MODULE_JSON:
            return store.SetAntiTheftStatus(mac, status);
        default:
            return false;
    }
}

std::vector<std::uint16_t> ModulesOf(std::int32_t kind) {
    switch (kind) {
        case KIND_LOGO:
            return {MODULE_LOGO};
        case KIND_PARA:
            return {MODULE_PARA};
        case KIND_LOGO_PARA:
            return {MODULE_LOGO, MODULE_PARA};
        case KIND_JSON:
            return {MODULE_JSON};
        default:
            return {};
    }
}

struct ReportMeaning {
    bool success;
    OperateStatus status;
};

std::optional<ReportMeaning> MeaningOfReport(std::uint16_t module, std::uint16_t msg) {
    if (!IsResultReport(module, msg)) {
        return std::nullopt;
    }
    switch (msg) {
        case MSG_PARA_SUCCESS:
        case MSG_LOGO_SUCCESS:
        case MSG_JSON_SUCCESS:
            return ReportMeaning{true, OperateSuccess};
        case MSG_LOCKCODE_MISMATCH:
            return ReportMeaning{false, LockcodeMismatch};
        default:
            return ReportMeaning{false, OperateFail};
    }
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace

// Records a worker's TransmitFinish or TransmitFail unless the device already reported its own verdict
// for the same payload while the transfer ran: the device's word is the better one.
class AcTransmitManage::GuardedSink : public TransferStatusSink {
public:
    explicit GuardedSink(std::shared_ptr<TransferShared> shared) : shared(std::move(shared)) {}

    void RecordTransmitStatus(const std::string& mac, std::uint16_t module, OperateStatus status) override {
        std::lock_guard guard(shared->lock);
        if (!shared->store) {
            return;
        }
        auto it = shared->active.find(TransferKey{mac, module});
        if (it != shared->active.end() && it->second.verdict) {
            return;
        }
        SetModuleStatus(*shared->store, module, mac, status);
    }

private:
    std::shared_ptr<TransferShared> shared;
};

AcTransmitManage& AcTransmitManage::GetInstance() {
    static AcTransmitManage instance(CSqlManagement::GetInstance());
    return instance;
}

AcTransmitManage::AcTransmitManage(CSqlManagement& store, std::string log_root)
    : results_store(store),
      log_root(std::move(log_root)),
      transfer_shared(std::make_shared<TransferShared>()),
      transfer_stop(std::make_shared<StopSignal>()) {
    transfer_shared->store = &results_store;
}

AcTransmitManage::~AcTransmitManage() {
    StopDiscoveryThreads();
    StopTransfers();
    std::lock_guard guard(transfer_shared->lock);
    transfer_shared->store = nullptr;
}

void AcTransmitManage::SetAdapter(const MacAddress& mac, const std::string& capture_device) {
    std::lock_guard guard(cs_adapter_choice);
    adapter_mac = mac;
    adapter_name = capture_device;
}

bool AcTransmitManage::ChooseAdapter(const local_adapter_stu& adapter, std::string* list_error) {
    std::string name = AdapterName();
    const bool found = FindCaptureDevice(name, adapter, list_error);
    SetAdapter(adapter.mac, name);
    return found;
}

MacAddress AcTransmitManage::AdapterMac() const {
    std::lock_guard guard(cs_adapter_choice);
    return adapter_mac;
}

std::string AcTransmitManage::AdapterName() const {
    std::lock_guard guard(cs_adapter_choice);
    return adapter_name;
}

CaptureError AcTransmitManage::LastCaptureError() const {
    std::lock_guard guard(cs_adapter_choice);
    return capture_error;
}

void AcTransmitManage::StopDiscoveryThreads() {
    // Ask first, then wait: both threads block only where these requests wake them.
    if (stop_recv_discover) {
        stop_recv_discover->Raise();
    }
    stop_manage_discover = true;
    if (event_manage_discover) {
        event_manage_discover->Set();
    }
    if (thread_recv_discover.joinable()) {
        thread_recv_discover.join();
    }
    if (thread_manage_discover.joinable()) {
        thread_manage_discover.join();
    }
}

bool AcTransmitManage::Init() {
    StopDiscoveryThreads();
    event_manage_discover = std::make_unique<AutoResetEvent>();
    stop_recv_discover = std::make_unique<StopSignal>();
    stop_manage_discover = false;

    const std::string name = AdapterName();
    const MacAddress mac = AdapterMac();
    // Opened here rather than on the thread, so a failure (no permission, adapter gone) reaches the
    // caller instead of ending the thread unnoticed. Non-blocking with immediate mode: the thread
    // sleeps in poll() until a frame or its stop request arrives. Immediate mode gives every frame a
    // ring slot of the snapshot length, so the snapshot is cut to a frame and the ring sized for a
    // burst of a few thousand discovery answers.
    CaptureSettings settings = SettingsFor(CaptureUser::ReceiveThread);
    settings.immediate = true;
    settings.nonblocking = true;
    settings.snaplen = kReceiveSnaplen;
    settings.buffer_bytes = kReceiveBufferBytes;
    CaptureHandle handle;
    const bool opened = handle.Open(name, settings);
    {
        std::lock_guard guard(cs_adapter_choice);
        capture_error = opened ? CaptureError{} : handle.LastError();
    }
    if (!opened) {
        return false;
    }
    handle.SetFilter(ReceiveFilterText(mac));  // the loop checks the destination itself as well

    for (int attempt = 0; attempt < kThreadStartAttempts && !thread_recv_discover.joinable(); ++attempt) {
        try {
            thread_recv_discover = std::thread(&AcTransmitManage::ReceiveLoop, this, std::move(handle),
                                               std::cref(*stop_recv_discover));
        } catch (const std::system_error&) {
        }
    }
    if (!thread_recv_discover.joinable()) {
        WriteDiagnostic(kDiagnosticError, kInitFunction, 123, "create thread_recv_discover fail");
        return false;
    }
    for (int attempt = 0; attempt < kThreadStartAttempts && !thread_manage_discover.joinable(); ++attempt) {
        try {
            thread_manage_discover = std::thread(&AcTransmitManage::ManageLoop, this);
        } catch (const std::system_error&) {
        }
    }
    if (!thread_manage_discover.joinable()) {
        WriteDiagnostic(kDiagnosticError, kInitFunction, 131, "create thread_manage_discover fail");
        return false;
    }
    return true;
}

bool AcTransmitManage::SendDiscover() {
    CaptureHandle handle;
    const bool opened = handle.Open(AdapterName(), CaptureUser::DiscoverySender);
    {
        std::lock_guard guard(cs_adapter_choice);
        capture_error = opened ? CaptureError{} : handle.LastError();
    }
    return opened && handle.Send(BuildDiscoverRequest(AdapterMac()));
}

void AcTransmitManage::ReceiveLoop(CaptureHandle handle, const StopSignal& stop) {
    const MacAddress adapter = AdapterMac();
    AutoResetEvent& event = *event_manage_discover;
    ether_frame_stu frame;
    while (!stop.Raised()) {
        bool read_error = false;
        int handled = 0;
        for (; handled < kReceiveBurst; ++handled) {
            const CaptureHandle::Read r = handle.Next(frame);
            if (r != CaptureHandle::Read::Frame) {
                read_error = r == CaptureHandle::Read::Error;
                break;
            }
            if (frame.EtherType() != kEtherType || frame.DstMac() != adapter) {
                continue;
            }
            if (frame.Module() == MODULE_DISCOVER && frame.Msg() == MSG_REPLY) {
                // Only queued here: a burst of answers must not wait for database work.
                {
                    std::lock_guard guard(cs_discover_queue);
                    if (discover_queue.size() < kMaxQueuedAnswers) {
                        discover_queue.push_back(frame);
                    }
                }
                event.Set();
            } else {
                HandleReport(frame);
            }
        }
        if (handled == kReceiveBurst) {
            continue;
        }
        if (read_error) {
            stop.WaitFor(kReceiveErrorBackoff);
            continue;
        }
        pollfd fds[2] = {{handle.SelectableFd(), POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
        if (fds[0].fd < 0 || fds[1].fd < 0) {
            stop.WaitFor(std::chrono::milliseconds(1));
            continue;
        }
        ::poll(fds, 2, 1000);
    }
}

void AcTransmitManage::HandleReport(const ether_frame_stu& frame) {
    const std::optional<ReportMeaning> meaning = MeaningOfReport(frame.Module(), frame.Msg());
    if (!meaning) {
        return;  // acknowledgements belong to the workers; anything else is not ours
    }
    const std::string mac = FormatMacUpper(frame.SrcMac());
    WriteOperationLog(frame.Module(), log_writer, mac, meaning->success, {}, log_root);
    std::lock_guard guard(transfer_shared->lock);
    auto it = transfer_shared->active.find(TransferKey{mac, frame.Module()});
    if (it != transfer_shared->active.end()) {
        it->second.verdict = true;
    }
    if (transfer_shared->store) {
        SetModuleStatus(*transfer_shared->store, frame.Module(), mac, meaning->status);
    }
}

void AcTransmitManage::ManageLoop() {
    AutoResetEvent& event = *event_manage_discover;
    std::deque<ether_frame_stu> answers;
    for (;;) {
        event.Wait();
        if (stop_manage_discover) {
            return;
        }
        {
            std::lock_guard guard(cs_discover_queue);
            answers.swap(discover_queue);
        }
        for (const ether_frame_stu& answer : answers) {
            ProcessDiscover(answer);
        }
        answers.clear();
    }
}

void AcTransmitManage::ClearDevices() {
    std::lock_guard guard(cs_device_table);
    device_table.clear();
}

std::vector<ap_discover_stu> AcTransmitManage::Devices() const {
    std::lock_guard guard(cs_device_table);
    return device_table;
}

void AcTransmitManage::ProcessDiscover(const ether_frame_stu& answer) {
    ap_discover_stu device;
    device.date = LocalTimeText();
    device.mac = FormatMacUpper(answer.SrcMac());
    const DeviceInfoTexts info = ReadDeviceInfo(answer);
    device.ssid2 = info.ssid24;
    device.ssid5 = info.ssid5;
    device.wpakey2 = info.key24;
    device.wpakey5 = info.key5;

    // Held across the store call so a concurrent ClearDevices cannot slip between table and store.
    std::lock_guard guard(cs_device_table);
    for (const ap_discover_stu& known : device_table) {
        if (known.mac == device.mac) {
            return;
        }
    }
    device_table.push_back(device);
    results_store.SaveDevice(device);
}

transmit_param_stu AcTransmitManage::MakeRequest(const MacAddress& device, std::int32_t kind) const {
    transmit_param_stu param;
    param.dst_mac = device;
    param.src_mac = AdapterMac();
    param.kind = kind;
    return param;
}

void AcTransmitManage::ReapFinishedWorkers() {
    std::lock_guard guard(cs_workers);
    std::erase_if(workers, [](Worker& w) {
        if (!w.done->load()) {
            return false;
        }
        w.thread.join();
        return true;
    });
}

void AcTransmitManage::CountTransfer(TransferShared& shared, const std::string& mac,
                                     const std::vector<std::uint16_t>& modules, int delta) {
    for (std::uint16_t module : modules) {
        auto it = shared.active.try_emplace(TransferKey{mac, module}).first;
        it->second.workers += delta;
        if (it->second.workers <= 0) {
            shared.active.erase(it);
        }
    }
    shared.running = delta > 0 ? shared.running + 1 : shared.running - 1;
}

bool AcTransmitManage::StartTransmit(const transmit_param_stu& param) {
    ReapFinishedWorkers();
    const std::vector<std::uint16_t> modules = ModulesOf(param.kind);
    const std::string mac = FormatMacUpper(param.dst_mac);
    const std::string name = AdapterName();
    std::shared_ptr<TransferShared> shared = transfer_shared;
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        // Counted before the thread runs, so a report that overtakes the worker is already seen.
        std::lock_guard guard(shared->lock);
        CountTransfer(*shared, mac, modules, +1);
    }

    std::lock_guard guard(cs_workers);
    std::shared_ptr<StopSignal> stop = transfer_stop;
    auto body = [param, name, shared, stop, done, modules, mac]() {
        {
            PcapChannelOpener opener(name, *stop);
            SteadyTransferClock clock(*stop);
            TransferContext ctx{opener, clock};
            GuardedSink sink(shared);
            TransmitThread(param, ctx, sink);
        }
        std::lock_guard finish(shared->lock);
        CountTransfer(*shared, mac, modules, -1);
        done->store(true);
        shared->finished.notify_all();
    };
    workers.reserve(workers.size() + 1);  // a started thread must find its place
    for (int attempt = 0; attempt < kThreadStartAttempts; ++attempt) {
        try {
            workers.push_back(Worker{std::thread(body), done});
            return true;
        } catch (const std::system_error&) {
        }
    }
    std::lock_guard rollback(shared->lock);
    CountTransfer(*shared, mac, modules, -1);
    return false;
}

void AcTransmitManage::StopTransfers(std::chrono::milliseconds limit) {
    std::vector<Worker> stopping;
    {
        std::lock_guard guard(cs_workers);
        transfer_stop->Raise();
        transfer_stop = std::make_shared<StopSignal>();
        stopping.swap(workers);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    {
        std::unique_lock guard(transfer_shared->lock);
        transfer_shared->finished.wait_until(guard, deadline, [&stopping] {
            for (const Worker& w : stopping) {
                if (!w.done->load()) {
                    return false;
                }
            }
            return true;
        });
    }
    for (Worker& w : stopping) {
        // A worker still busy past the limit holds only shared state and records nothing once the
        // store is detached, so letting it finish on its own is safe.
        if (w.done->load()) {
            w.thread.join();
        } else {
            w.thread.detach();
        }
    }
}

std::size_t AcTransmitManage::RunningTransfers() const {
    std::lock_guard guard(transfer_shared->lock);
    return transfer_shared->running;
}

}  // namespace provix
