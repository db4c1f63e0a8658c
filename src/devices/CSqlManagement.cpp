#include "devices/CSqlManagement.h"

#include "devices/DiagnosticLog.h"
#include "language/Translation.h"
#include "ui/AppSettings.h"

#include <climits>
#include <cstdio>
#include <filesystem>

#include <sqlite3.h>

namespace provix {
namespace {

// Same columns, in the same order, as the table has always had; the MAC compares without case as
// the lookups always have.
constexpr const char* kCreateTable =
    "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY AUTOINCREMENT,result char(4),mac char(18) COLLATE NOCASE,"
    "ap_para_status int,ap_para_status_str char(33),ap_logo_status int,ap_logo_status_str char(33),"
    "ap_antitheft_status int,ap_antitheft_status_str char(33),ap_date char(33),ap_ssid2 char(33),"
    "ap_ssid5 char(33),ap_wpakey2 char(65),ap_wpakey5 char(65))";

constexpr const char* kResetStatuses =
    "UPDATE ap_info SET ap_antitheft_status = 0,ap_antitheft_status_str = '',ap_logo_status = 0,"
    "ap_logo_status_str = '',ap_para_status = 0,ap_para_status_str = '',result = ''";

constexpr int kAttempts = 3;
// A reader outside the program (a database browser) may hold the file briefly.
constexpr int kBusyTimeoutMs = 200;

std::mutex handler_mutex;
std::function<void(const std::string&)> open_failure_handler;

// Characters of a UTF-8 text: every byte that does not continue a sequence starts one.
size_t TextLength(const std::string& text)
{
    size_t length = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++length;
    return length;
}

// The first width characters of text, never splitting a UTF-8 sequence.
std::string CutText(const std::string& text, size_t width)
{
    size_t length = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && length++ == width)
            return text.substr(0, i);
    }
    return text;
}

// A MAC longer than its column can have no row, and must not reach a statement unbounded.
bool FitsMacColumn(const std::string& mac) { return TextLength(mac) <= kMacColumnWidth; }

// Removes a leftover database file; never a folder or anything else that happens to have the name.
void RemoveLeftover(const std::string& path)
{
    namespace fs = std::filesystem;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::error_code error;
        const fs::path file(path + suffix);
        const fs::file_status status = fs::symlink_status(file, error);
        if (!error && (fs::is_regular_file(status) || fs::is_symlink(status)))
            fs::remove(file, error);
    }
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt != nullptr; }
    bool Bind(int index, const std::string& text)
    {
        return text.size() <= INT_MAX &&
               sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
                   SQLITE_OK;
    }
    bool Bind(int index, int value) { return sqlite3_bind_int(stmt, index, value) == SQLITE_OK; }
    int Step() { return sqlite3_step(stmt); }
    std::string Text(int column)
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
    }
    int Int(int column) { return sqlite3_column_int(stmt, column); }

private:
    sqlite3_stmt* stmt = nullptr;
};

}  // namespace

CSqlManagement& CSqlManagement::GetInstance()
{
    static CSqlManagement instance(ExecutableFolder() + "data.db");
    return instance;
}

CSqlManagement::CSqlManagement(std::string path) : database_path(std::move(path))
{
    RemoveLeftover(database_path);
    if (!Open()) {
        PROVIX_LOG_ERROR("cannot open the results database %s", database_path.c_str());
        std::function<void(const std::string&)> handler;
        {
            std::lock_guard guard(handler_mutex);
            handler = open_failure_handler;
        }
        if (handler)
            handler(TranslateText("Failed to open database, unable to get data."));
    }
}

CSqlManagement::~CSqlManagement()
{
    {
        std::lock_guard guard(lock);
        if (connection) {
            sqlite3_close_v2(connection);
            connection = nullptr;
        }
    }
    RemoveLeftover(database_path);
}

void CSqlManagement::SetOpenFailureHandler(std::function<void(const std::string&)> handler)
{
    std::lock_guard guard(handler_mutex);
    open_failure_handler = std::move(handler);
}

bool CSqlManagement::IsOpen() const
{
    std::lock_guard guard(lock);
    return connection != nullptr;
}

bool CSqlManagement::Open()
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(database_path.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        PROVIX_LOG_ERROR("sqlite3_open_v2: %s", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    {
        std::lock_guard guard(lock);
        connection = db;
    }
    // SQLite opens lazily: a folder or an unwritable file shows only when the first statement runs,
    // so the store counts as open only once its table exists and can be read.
    const bool ready = ExecuteWithRetry("PRAGMA synchronous=OFF") && ExecuteWithRetry("PRAGMA journal_mode=MEMORY") &&
                       ExecuteWithRetry("DROP TABLE IF EXISTS ap_info") && ExecuteWithRetry(kCreateTable) &&
                       ExecuteWithRetry("CREATE INDEX ap_info_mac ON ap_info(mac)") &&
                       ExecuteWithRetry("SELECT count(*) FROM ap_info");
    if (!ready) {
        std::lock_guard guard(lock);
        sqlite3_close_v2(connection);
        connection = nullptr;
    }
    return ready;
}

bool CSqlManagement::ExecuteWithRetry(const std::string& sql)
{
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        std::lock_guard guard(lock);
        if (!connection)
            return false;
        char* error = nullptr;
        if (sqlite3_exec(connection, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
            return true;
        PROVIX_LOG_ERROR("attempt %d of %d of \"%s\": %s", attempt, kAttempts, sql.c_str(),
                         error ? error : sqlite3_errmsg(connection));
        sqlite3_free(error);
    }
    return false;
}

bool CSqlManagement::SaveDevice(ap_discover_stu device)
{
    const struct {
        const char* column;
        const std::string& text;
        size_t width;
    } texts[] = {
        {"mac", device.mac, kMacColumnWidth},           {"ap_date", device.date, kDateColumnWidth},
        {"ap_ssid2", device.ssid2, kSsidColumnWidth},   {"ap_ssid5", device.ssid5, kSsidColumnWidth},
        {"ap_wpakey2", device.wpakey2, kKeyColumnWidth}, {"ap_wpakey5", device.wpakey5, kKeyColumnWidth},
    };
    if (device.mac.empty()) {
        PROVIX_LOG_ERROR("device without a MAC not stored");
        return false;
    }
    // A device's own texts go back into its configuration later, so a cut one would be wrong there:
    // refuse the record instead of storing part of it.
    for (const auto& entry : texts) {
        const size_t length = TextLength(entry.text);
        if (length > entry.width) {
            PROVIX_LOG_ERROR("device %s not stored: %s has %zu characters, the column holds %zu",
                             CutText(device.mac, kMacColumnWidth).c_str(), entry.column, length, entry.width);
            return false;
        }
    }
    const std::string wait_text = CutText(OperateStatusText(WaitOperate), kStatusTextColumnWidth);

    std::lock_guard guard(lock);
    if (!connection)
        return false;

    Statement find(connection, "select ID from ap_info where mac=? order by ID limit 1");
    if (!find.Ok() || !find.Bind(1, device.mac)) {
        PROVIX_LOG_ERROR("lookup of %s: %s", device.mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    const int found = find.Step();
    if (found != SQLITE_ROW && found != SQLITE_DONE) {
        PROVIX_LOG_ERROR("lookup of %s: %s", device.mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    const bool exists = found == SQLITE_ROW;
    const int id = exists ? find.Int(0) : 0;

    Statement write(connection,
                    exists ? "UPDATE ap_info SET mac=?1,ap_para_status=0,ap_para_status_str=?2,ap_logo_status=0,"
                             "ap_logo_status_str=?2,ap_antitheft_status=0,ap_antitheft_status_str=?2,ap_date=?3,"
                             "ap_ssid2=?4,ap_ssid5=?5,ap_wpakey2=?6,ap_wpakey5=?7 WHERE ID=?8"
                           : "INSERT INTO ap_info(mac,ap_para_status,ap_para_status_str,ap_logo_status,"
                             "ap_logo_status_str,ap_antitheft_status,ap_antitheft_status_str,ap_date,ap_ssid2,"
                             "ap_ssid5,ap_wpakey2,ap_wpakey5) VALUES(?1,0,?2,0,?2,0,?2,?3,?4,?5,?6,?7)");
    const bool bound = write.Ok() && write.Bind(1, device.mac) && write.Bind(2, wait_text) &&
                       write.Bind(3, device.date) && write.Bind(4, device.ssid2) && write.Bind(5, device.ssid5) &&
                       write.Bind(6, device.wpakey2) && write.Bind(7, device.wpakey5) && (!exists || write.Bind(8, id));
    if (!bound || write.Step() != SQLITE_DONE) {
        PROVIX_LOG_ERROR("write of %s: %s", device.mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    return true;
}

bool CSqlManagement::QueryDevices(std::vector<ap_info_stu>& list, int& count, int& successes, int& failures,
                                  bool ascending, int sort_column)
{
    count = 0;
    std::string sql =
        "select mac,ap_date,ap_para_status,ap_logo_status,ap_antitheft_status,ap_ssid2,ap_ssid5,ap_wpakey2,"
        "ap_wpakey5 from ap_info order by ";
    sql += sort_column == kSortByResult ? "ap_info.result" : "ap_info.mac";
    sql += ascending ? " asc" : " desc";
    // Rows with equal keys (every result is empty after a scan) keep the order they were found in.
    sql += ",ap_info.ID asc";

    std::lock_guard guard(lock);
    if (!connection)
        return false;
    Statement query(connection, sql.c_str());
    if (!query.Ok()) {
        PROVIX_LOG_ERROR("device query: %s", sqlite3_errmsg(connection));
        return false;
    }
    std::vector<ap_info_stu> rows;
    int row_successes = 0;
    int row_failures = 0;
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW) {
        ap_info_stu info;
        info.mac = query.Text(0);
        info.date = query.Text(1);
        info.para_status = query.Int(2);
        info.logo_status = query.Int(3);
        info.antitheft_status = query.Int(4);
        info.ssid2 = query.Text(5);
        info.ssid5 = query.Text(6);
        info.wpakey2 = query.Text(7);
        info.wpakey5 = query.Text(8);
        const DeviceResult result = ComputeResult(info.para_status, info.logo_status, info.antitheft_status);
        row_successes += result == ResultSuccess;
        row_failures += result == ResultFailed;
        rows.push_back(std::move(info));
    }
    if (rc != SQLITE_DONE) {
        PROVIX_LOG_ERROR("device query: %s", sqlite3_errmsg(connection));
        return false;
    }
    count = static_cast<int>(rows.size());
    successes += row_successes;
    failures += row_failures;
    list.insert(list.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return true;
}

bool CSqlManagement::GetDeviceInfo(ap_info_stu& info, const std::string& mac)
{
    info = ap_info_stu();
    std::lock_guard guard(lock);
    if (!connection)
        return false;
    if (!FitsMacColumn(mac))
        return true;  // the query could find nothing
    Statement query(connection,
                    "select mac,ap_ssid2,ap_ssid5,ap_wpakey2,ap_wpakey5 from ap_info where mac=? order by ID limit 1");
    if (!query.Ok() || !query.Bind(1, mac)) {
        PROVIX_LOG_ERROR("lookup of %s: %s", mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    const int rc = query.Step();
    if (rc == SQLITE_ROW) {
        info.mac = query.Text(0);
        info.ssid2 = query.Text(1);
        info.ssid5 = query.Text(2);
        info.wpakey2 = query.Text(3);
        info.wpakey5 = query.Text(4);
        return true;
    }
    if (rc != SQLITE_DONE) {
        PROVIX_LOG_ERROR("lookup of %s: %s", mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    return true;
}

bool CSqlManagement::SetStatusColumn(const char* status_column, const char* text_column, const std::string& mac,
                                     int status)
{
    if (!FitsMacColumn(mac))
        return false;
    // A long translation only shortens what the grid could show; the status itself must not be lost.
    const std::string text = CutText(OperateStatusText(status), kStatusTextColumnWidth);
    std::string sql = "UPDATE ap_info SET ";
    sql += status_column;
    sql += "=?1,";
    sql += text_column;
    sql += "=?2 WHERE mac=?3";

    std::lock_guard guard(lock);
    if (!connection)
        return false;
    Statement update(connection, sql.c_str());
    if (!update.Ok() || !update.Bind(1, status) || !update.Bind(2, text) || !update.Bind(3, mac) ||
        update.Step() != SQLITE_DONE) {
        PROVIX_LOG_ERROR("%s of %s: %s", status_column, mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    return sqlite3_changes(connection) > 0;
}

bool CSqlManagement::SetParaStatus(const std::string& mac, OperateStatus status)
{
    return SetStatusColumn("ap_para_status", "ap_para_status_str", mac, status);
}

bool CSqlManagement::SetLogoStatus(const std::string& mac, OperateStatus status)
{
    return SetStatusColumn("ap_logo_status", "ap_logo_status_str", mac, status);
}

bool CSqlManagement::SetAntiTheftStatus(const std::string& mac, OperateStatus status)
{
    return SetStatusColumn("ap_antitheft_status", "ap_antitheft_status_str", mac, status);
}

bool CSqlManagement::SetResult(const std::string& mac, DeviceResult result)
{
    if (result < ResultSuccess || result > ResultNone || !FitsMacColumn(mac))
        return false;
    std::lock_guard guard(lock);
    if (!connection)
        return false;
    Statement update(connection, "UPDATE ap_info SET result=?1 WHERE mac=?2");
    if (!update.Ok() || !update.Bind(1, std::to_string(static_cast<int>(result))) || !update.Bind(2, mac) ||
        update.Step() != SQLITE_DONE) {
        PROVIX_LOG_ERROR("result of %s: %s", mac.c_str(), sqlite3_errmsg(connection));
        return false;
    }
    return sqlite3_changes(connection) > 0;
}

DeviceResult CSqlManagement::GetDeviceResult(const std::string& mac)
{
    int para = 0, logo = 0, antitheft = 0;
    {
        std::lock_guard guard(lock);
        if (!connection || !FitsMacColumn(mac))
            return ResultNone;
        Statement query(connection,
                        "select ap_para_status,ap_logo_status,ap_antitheft_status from ap_info where mac=? "
                        "order by ID limit 1");
        if (!query.Ok() || !query.Bind(1, mac)) {
            PROVIX_LOG_ERROR("lookup of %s: %s", mac.c_str(), sqlite3_errmsg(connection));
            return ResultNone;
        }
        const int rc = query.Step();
        if (rc == SQLITE_ROW) {
            para = query.Int(0);
            logo = query.Int(1);
            antitheft = query.Int(2);
        } else if (rc != SQLITE_DONE) {
            PROVIX_LOG_ERROR("lookup of %s: %s", mac.c_str(), sqlite3_errmsg(connection));
        }
    }
    return ComputeResult(para, logo, antitheft);
}

bool CSqlManagement::ResetAllStatuses() { return ExecuteWithRetry(kResetStatuses); }

bool CSqlManagement::DeleteAllDevices() { return ExecuteWithRetry("DELETE FROM ap_info"); }

int CSqlManagement::DeviceCount()
{
    std::lock_guard guard(lock);
    if (!connection)
        return 0;
    Statement query(connection, "SELECT count(*) FROM ap_info");
    if (!query.Ok() || query.Step() != SQLITE_ROW) {
        PROVIX_LOG_ERROR("row count: %s", sqlite3_errmsg(connection));
        return 0;
    }
    return query.Int(0);
}

DeviceResult CSqlManagement::ComputeResult(int para, int logo, int antitheft)
{
    const auto classify = [](int status) {
        switch (status) {
        case OperateFail:
        case TransmitFail:
        case DeviceRespondTimeout:
        case LockcodeMismatch:
            return ResultFailed;
        case OperateSuccess:
            return ResultSuccess;
        case Operating:
        case TransmitFinish:
            return ResultInProgress;
        default:
            return ResultNone;
        }
    };
    const DeviceResult p = classify(para);
    const DeviceResult l = classify(logo);
    const DeviceResult a = classify(antitheft);

    char line[160];
    std::snprintf(line, sizeof line, "\r\n--------------------para:%d,logo:%d,anti:%d\r\n", para, logo, antitheft);
    DebugOutput(line);
    std::snprintf(line, sizeof line, "\r\n--------------------rea:%d,reogo:%d,reanti:%d\r\n", static_cast<int>(p),
                  static_cast<int>(l), static_cast<int>(a));
    DebugOutput(line);

    // Customization succeeds when every part of it that was sent succeeded; a successful anti-theft
    // command makes the device a success whatever else happened.
    if ((p == ResultSuccess && (l == ResultSuccess || l == ResultNone)) || (p == ResultNone && l == ResultSuccess) ||
        a == ResultSuccess)
        return ResultSuccess;
    if (p == ResultFailed || l == ResultFailed || a == ResultFailed)
        return ResultFailed;
    if (p == ResultInProgress || l == ResultInProgress || a == ResultInProgress)
        return ResultInProgress;
    return ResultNone;
}

}  // namespace provix
