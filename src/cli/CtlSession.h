#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CtlCommandLine.h"
#include "cli/CtlOutput.h"
#include "protocol/TransmitThread.h"
#include "protocol/local_adapter_stu.h"

namespace provix {

class AcTransmitManage;
class CSqlManagement;

// Exit statuses of provixctl.
inline constexpr int kCtlSuccess = 0;
inline constexpr int kCtlDeviceFailed = 1;
inline constexpr int kCtlUsage = 2;

// One run of provixctl: the engine on a private results store in a temporary folder (removed when
// the session ends, never the desktop program's "data.db"), device reports logged below the working
// directory as the desktop logs them.
class CtlSession {
public:
    // Sleeps for the given time; false when the run was interrupted (then the session winds down).
    using Waiter = std::function<bool(std::chrono::milliseconds)>;

    CtlSession(std::ostream& out, std::ostream& err, Waiter wait);
    ~CtlSession();
    CtlSession(const CtlSession&) = delete;
    CtlSession& operator=(const CtlSession&) = delete;

    // Runs the parsed command and returns the exit status.
    int Run(const CtlOptions& options);

    // Following an operation: statuses are read every second for at most this long.
    static constexpr std::chrono::seconds kFollowLimit{15};

private:
    int ListAdapters(const CtlOptions& options);
    int Scan(const CtlOptions& options);
    int Operate(const CtlOptions& options, std::int32_t kind, const std::string& command);

    // Resolves the adapter, opens the scratch store and runs a scan to its end. Returns kCtlSuccess or
    // the exit status of the failure, already reported on err.
    int OpenAndScan(const CtlOptions& options);
    bool OpenScratchStore();
    void CloseScratchStore();
    // Sleeps until `when`; false when interrupted.
    bool SleepUntil(std::chrono::steady_clock::time_point when);
    std::vector<ap_info_stu> StoredDevices();

    std::ostream& out;
    std::ostream& err;
    Waiter wait;

    std::string scratch_folder;
    std::unique_ptr<CSqlManagement> store;
    std::unique_ptr<AcTransmitManage> manager;
    local_adapter_stu adapter;
    std::string adapter_display;
    bool interrupted = false;
};

// The transfer kind of a customization: the logo, the configuration file or both; 0 for neither.
std::int32_t CustomizeKind(bool logo, bool config);

}  // namespace provix
