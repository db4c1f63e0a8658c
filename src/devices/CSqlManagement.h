#pragma once

#include "devices/OperateStatus.h"
#include "devices/ap_discover_stu.h"
#include "devices/ap_info_stu.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace provix {

// Widths of the text columns of ap_info, in characters.
constexpr size_t kMacColumnWidth = 18;
constexpr size_t kDateColumnWidth = 33;
constexpr size_t kStatusTextColumnWidth = 33;
constexpr size_t kSsidColumnWidth = 33;
// A discovery answer carries keys of up to 65 characters; a narrower column would keep such a
// device out of the store altogether.
constexpr size_t kKeyColumnWidth = 65;

// Sort columns of QueryDevices (the devices grid's column numbers).
constexpr int kSortByMac = 2;
constexpr int kSortByResult = 3;

// The results of the current run: one row per discovered device with its three payload statuses.
// The database file is scratch data: it is deleted when the store is created and when it is
// destroyed. Every operation runs under one lock, so the store may be called from any thread.
// Database errors never escape: they end the operation with its empty result and a diagnostic line.
class CSqlManagement {
public:
    // The process-wide store on "data.db" beside the executable, created on first use.
    static CSqlManagement& GetInstance();

    // A store on its own database file (the headless companion and tests).
    explicit CSqlManagement(std::string database_path);
    virtual ~CSqlManagement();
    CSqlManagement(const CSqlManagement&) = delete;
    CSqlManagement& operator=(const CSqlManagement&) = delete;

    // Told (once per store) when the database cannot be created or opened; the desktop shows the
    // text in a message box. Without a handler only the diagnostic log records it.
    static void SetOpenFailureHandler(std::function<void(const std::string&)> handler);

    bool IsOpen() const;
    const std::string& DatabasePath() const { return database_path; }

    // Creates the device's row, or overwrites it when the MAC is known: texts replaced, the three
    // statuses back to WaitOperate, result untouched. False when the store is unavailable, the
    // write failed, or a text does not fit its column (nothing is written then).
    bool SaveDevice(ap_discover_stu device);

    // Appends every row to list in the order asked for (sort_column kSortByResult orders by the
    // result text, anything else by MAC; ties keep discovery order), sets count to the row count and
    // adds each row's computed success or failure to successes and failures. On failure neither
    // list nor counters change, except count, which becomes 0.
    bool QueryDevices(std::vector<ap_info_stu>& list, int& count, int& successes, int& failures, bool ascending,
                      int sort_column);

    // Clears info, then fills mac, ssid2, ssid5, wpakey2 and wpakey5 from the MAC's row if there is
    // one. True when the query ran, row or not.
    bool GetDeviceInfo(ap_info_stu& info, const std::string& mac);

    // Writes a status and its translated text. True only when the MAC's row exists and was updated;
    // a MAC without a row is left alone.
    bool SetParaStatus(const std::string& mac, OperateStatus status);
    bool SetLogoStatus(const std::string& mac, OperateStatus status);
    bool SetAntiTheftStatus(const std::string& mac, OperateStatus status);

    // Writes result as decimal text. False for a value outside DeviceResult or a MAC without a row.
    bool SetResult(const std::string& mac, DeviceResult result);

    // ComputeResult of the MAC's three statuses; ResultNone for an unknown MAC.
    DeviceResult GetDeviceResult(const std::string& mac);

    // Every status back to WaitOperate with empty texts, every result emptied.
    bool ResetAllStatuses();
    // Removes every row.
    bool DeleteAllDevices();

    // Number of rows; 0 when the store is unavailable.
    int DeviceCount();

    static DeviceResult ComputeResult(int para, int logo, int antitheft);

private:
    bool Open();
    bool ExecuteWithRetry(const std::string& sql);
    bool SetStatusColumn(const char* status_column, const char* text_column, const std::string& mac, int status);

    std::string database_path;
    sqlite3* connection = nullptr;
    mutable std::mutex lock;
};

}  // namespace provix
