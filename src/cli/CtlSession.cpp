#include "cli/CtlSession.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "antitheft/AntiTheftCommand.h"
#include "cli/AdapterChoice.h"
#include "devices/CSqlManagement.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/AdapterList.h"
#include "protocol/CaptureHandle.h"
#include "protocol/DeviceScan.h"
#include "protocol/ScanRule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provix {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kTick{1};

std::string ExecutablePath() {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("provixctl") : path.string();
}

std::string OptionOf(AntiTheftField field) {
    switch (field) {
        case AntiTheftField::LockCode:
            return "--lockcode: ";
        case AntiTheftField::ConfirmLockCode:
            return "--confirm: ";
        case AntiTheftField::AcName:
            return "--acname: ";
        case AntiTheftField::PrimaryDns:
            return "--dns1: ";
        case AntiTheftField::SecondaryDns:
            return "--dns2: ";
        case AntiTheftField::None:
            break;
    }
    return {};
}

// A payload is read again by each device's worker; a path that is no readable file would only
// fail every transfer, so it is refused before anything is sent.
bool ReadableFile(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot read " + path + ": " + std::generic_category().message(errno);
        return false;
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        why = path + " is not a regular file";
    }
    return regular;
}

bool HasVerdict(DeviceResult result) {
    return result == ResultSuccess || result == ResultFailed;
}

}  // namespace

std::int32_t CustomizeKind(bool logo, bool config) {
    if (logo && config) {
        return KIND_LOGO_PARA;
    }
    if (logo) {
        return KIND_LOGO;
    }
    return config ? KIND_PARA : 0;
}

CtlSession::CtlSession(std::ostream& out, std::ostream& err, Waiter wait)
    : out(out), err(err), wait(std::move(wait)) {}

CtlSession::~CtlSession() {
    CloseScratchStore();
}

int CtlSession::Run(const CtlOptions& options) {
    for (const std::string& warning : options.warnings) {
        err << "provixctl: " << warning << "\n";
    }
    switch (options.command) {
        case CtlCommand::Help:
            out << CtlUsageText();
            return kCtlSuccess;
        case CtlCommand::Adapters:
            return ListAdapters(options);
        case CtlCommand::Scan:
            return Scan(options);
        case CtlCommand::AntiTheft: {
            AntiTheftInput input;
            input.lock_code = options.lock_code;
            input.confirm_lock_code = options.confirm.value_or(options.lock_code);
            input.switch_on = !options.switch_off;
            input.ac_name = options.ac_name.value_or("");
            input.primary_dns = options.dns1.value_or(kDnsPlaceholder);
            input.secondary_dns = options.dns2.value_or(kDnsPlaceholder);
            // Checked before the scan: a typing error should not cost a scan, nor reach any device.
            AntiTheftCheck check = ValidateAntiTheftInput(input);
            std::string command;
            if (check.Passed()) {
                check = BuildAntiTheftCommand(input, command);
            }
            if (!check.Passed()) {
                err << "provixctl: " << OptionOf(check.focus) << check.message << "\n";
                return kCtlUsage;
            }
            return Operate(options, KIND_JSON, command);
        }
        case CtlCommand::Customize: {
            for (const std::string* path : {&options.logo_path, &options.config_path}) {
                std::string why;
                if (!path->empty() && !ReadableFile(*path, why)) {
                    err << "provixctl: " << why << "\n";
                    return kCtlUsage;
                }
            }
            return Operate(options, CustomizeKind(!options.logo_path.empty(), !options.config_path.empty()),
                           {});
        }
    }
    return kCtlUsage;
}

int CtlSession::ListAdapters(const CtlOptions& options) {
    std::vector<local_adapter_stu> adapters;
    GetAdapterList(adapters);
    std::vector<AdapterRow> rows;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        rows.push_back({static_cast<int>(i), AdapterDisplayText(adapters[i]), adapters[i].name});
    }
    out << FormatAdapters(rows, options.json);
    if (adapters.empty()) {
        err << "provixctl: no adapter found; ensure the computer's NIC is enabled\n";
    }
    return kCtlSuccess;
}

bool CtlSession::OpenScratchStore() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        base = "/tmp";
    }
    std::string pattern = (base / "provixctl-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        err << "provixctl: cannot create a temporary folder in " << base.string() << ": "
            << std::generic_category().message(errno) << "\n";
        return false;
    }
    scratch_folder = pattern;
    store = std::make_unique<CSqlManagement>(scratch_folder + "/data.db");
    if (!store->IsOpen()) {
        err << "provixctl: cannot open the results store in " << scratch_folder << "\n";
        return false;
    }
    manager = std::make_unique<AcTransmitManage>(*store);
    return true;
}

void CtlSession::CloseScratchStore() {
    // The engine first: its workers and threads write to the store until they are stopped.
    manager.reset();
    store.reset();
    if (!scratch_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(scratch_folder, ec);
        scratch_folder.clear();
    }
}

bool CtlSession::SleepUntil(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
    if (left.count() > 0 && !wait(left)) {
        interrupted = true;
    }
    return !interrupted;
}

std::vector<ap_info_stu> CtlSession::StoredDevices() {
    std::vector<ap_info_stu> rows;
    int count = 0;
    int successes = 0;
    int failures = 0;
    store->QueryDevices(rows, count, successes, failures, true, kSortByMac);
    return rows;
}

int CtlSession::OpenAndScan(const CtlOptions& options) {
    std::vector<local_adapter_stu> adapters;
    GetAdapterList(adapters);
    const AdapterChoice choice = ChooseAdapterNamed(adapters, options.adapter);
    if (!choice.index) {
        err << "provixctl: " << choice.error << "\n";
        return kCtlUsage;
    }
    adapter = adapters[*choice.index];
    adapter_display = AdapterDisplayText(adapter);
    if (!OpenScratchStore()) {
        return kCtlUsage;
    }

    ScanRule rule;
    rule.Start();
    const ScanStart start = BeginScan(*manager, *store, &adapter);
    if (!start.list_error.empty()) {
        err << "provixctl: " << start.list_error << "\n";
    }
    if (!start.threads_running || !start.request_sent) {
        const std::string why =
            start.capture_error.text.empty() ? "it could not be captured on" : start.capture_error.text;
        err << "provixctl: cannot open adapter " << adapter.name << ": " << why << "\n";
        if (start.capture_error.permission) {
            err << "provixctl: raw frames need capture rights; grant them (as root) with:\n"
                << PermissionFixCommand(ExecutablePath()) << "\n";
        }
        return kCtlUsage;
    }

    const Clock::time_point begun = Clock::now();
    for (int tick = 1;; ++tick) {
        if (!SleepUntil(begun + kTick * tick)) {
            err << "provixctl: interrupted\n";
            return kCtlDeviceFailed;
        }
        const ScanRule::Action action = rule.Tick(store->DeviceCount());
        if (action == ScanRule::Action::End) {
            return kCtlSuccess;
        }
        if (action == ScanRule::Action::SendDiscover) {
            manager->SendDiscover();
        }
    }
}

int CtlSession::Scan(const CtlOptions& options) {
    const int status = OpenAndScan(options);
    if (status != kCtlSuccess) {
        return status;
    }
    out << FormatScan(adapter_display, StoredDevices(), options.json);
    return kCtlSuccess;
}

int CtlSession::Operate(const CtlOptions& options, std::int32_t kind, const std::string& command) {
    const int status = OpenAndScan(options);
    if (status != kCtlSuccess) {
        return status;
    }

    std::vector<std::string> chosen;
    const std::vector<ap_info_stu> found = StoredDevices();
    if (options.devices.empty()) {
        for (const ap_info_stu& row : found) {
            chosen.push_back(row.mac);
        }
        if (chosen.empty()) {
            err << "provixctl: no device answered the scan; nothing was sent\n";
            return kCtlDeviceFailed;
        }
    } else {
        for (const MacAddress& mac : options.devices) {
            const std::string text = FormatMacUpper(mac);
            const bool known = std::any_of(found.begin(), found.end(),
                                           [&text](const ap_info_stu& row) { return row.mac == text; });
            if (!known) {
                err << "provixctl: device " << text << " did not answer the scan; nothing was sent\n";
                return kCtlUsage;
            }
            chosen.push_back(text);
        }
    }

    store->ResetAllStatuses();
    for (const std::string& mac : chosen) {
        if (kind == KIND_JSON) {
            store->SetAntiTheftStatus(mac, Operating);
        }
        if (kind == KIND_LOGO || kind == KIND_LOGO_PARA) {
            store->SetLogoStatus(mac, Operating);
        }
        if (kind == KIND_PARA || kind == KIND_LOGO_PARA) {
            store->SetParaStatus(mac, Operating);
        }
        transmit_param_stu request = manager->MakeRequest(*ParseMac(mac), kind);
        request.command = command;
        request.logo_path = options.logo_path;
        request.para_path = options.config_path;
        if (!manager->StartTransmit(request)) {
            err << "provixctl: no transfer could be started for " << mac << "\n";
        }
    }

    // Followed as the devices screen does: every second, until each device has its verdict (and no
    // transfer still runs, so the statuses shown are final) or the time is up.
    const Clock::time_point begun = Clock::now();
    for (int tick = 1; tick <= kFollowLimit / kTick; ++tick) {
        if (!SleepUntil(begun + kTick * tick)) {
            err << "provixctl: interrupted; the statuses so far:\n";
            break;
        }
        bool all_decided = true;
        for (const std::string& mac : chosen) {
            const DeviceResult result = store->GetDeviceResult(mac);
            store->SetResult(mac, result);
            all_decided = all_decided && HasVerdict(result);
        }
        if (all_decided && manager->RunningTransfers() == 0) {
            break;
        }
    }

    std::map<std::string, ap_info_stu> rows;
    for (ap_info_stu& row : StoredDevices()) {
        rows[row.mac] = std::move(row);
    }
    std::vector<OperationRow> report;
    bool all_success = true;
    for (const std::string& mac : chosen) {
        const ap_info_stu& row = rows[mac];
        const DeviceResult result =
            CSqlManagement::ComputeResult(row.para_status, row.logo_status, row.antitheft_status);
        report.push_back({mac, row.para_status, row.logo_status, row.antitheft_status, result});
        all_success = all_success && result == ResultSuccess;
    }
    out << FormatOperation(adapter_display, report, options.json);
    return all_success && !interrupted ? kCtlSuccess : kCtlDeviceFailed;
}

}  // namespace provix
