#include "devices/CSqlManagement.h"

#include "TempFolder.h"
#include "devices/DiagnosticLog.h"
#include "language/Translation.h"
#include "ui/AppSettings.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace provix {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// A second connection that looks at the file the way the store left it.
class RawDatabase {
public:
    explicit RawDatabase(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path;
    }
    ~RawDatabase() { sqlite3_close_v2(db); }

    // A column of the MAC's row; nullopt for NULL. A missing row is a test failure.
    std::optional<std::string> Column(const std::string& mac, const std::string& column)
    {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "select " + column + " from ap_info where mac=?";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, mac.data(), static_cast<int>(mac.size()), SQLITE_TRANSIENT);
        std::optional<std::string> value;
        if (sqlite3_step(stmt) != SQLITE_ROW)
            ADD_FAILURE() << "no row for " << mac;
        else if (sqlite3_column_type(stmt, 0) != SQLITE_NULL)
            value = std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        sqlite3_finalize(stmt);
        return value;
    }

    std::vector<std::string> ColumnNames()
    {
        std::vector<std::string> names;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA table_info(ap_info)", -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        sqlite3_finalize(stmt);
        return names;
    }

    bool Execute(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

private:
    sqlite3* db = nullptr;
};

ap_discover_stu Device(const std::string& mac, const std::string& tag = "a")
{
    return {mac, "2024-03-06 10:00:0" + tag.substr(0, 1), "ssid2-" + tag, "ssid5-" + tag, "key2-" + tag, "key5-" + tag};
}

ap_info_stu Row(const ap_discover_stu& device, int para = 0, int logo = 0, int antitheft = 0)
{
    return {device.mac, device.date, para, logo, antitheft, device.ssid2, device.ssid5, device.wpakey2, device.wpakey5};
}

std::vector<std::string> Macs(const std::vector<ap_info_stu>& rows)
{
    std::vector<std::string> macs;
    for (const auto& row : rows)
        macs.push_back(row.mac);
    return macs;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { SetDiagnosticLogPath(folder / "provix.log"); }
    void TearDown() override
    {
        CSqlManagement::SetOpenFailureHandler(nullptr);
        SetDiagnosticLogPath(std::string());
    }

    std::vector<ap_info_stu> Query(CSqlManagement& store, bool ascending, int column)
    {
        std::vector<ap_info_stu> rows;
        int count = -1, successes = 0, failures = 0;
        EXPECT_TRUE(store.QueryDevices(rows, count, successes, failures, ascending, column));
        EXPECT_EQ(count, static_cast<int>(rows.size()));
        return rows;
    }

    TempFolder folder;
    std::string db = folder / "data.db";
};

const std::vector<std::string> kColumns = {
    "ID",           "result",         "mac",           "ap_para_status",      "ap_para_status_str",
    "ap_logo_status", "ap_logo_status_str", "ap_antitheft_status", "ap_antitheft_status_str", "ap_date",
    "ap_ssid2",     "ap_ssid5",       "ap_wpakey2",    "ap_wpakey5"};

TEST_F(StoreTest, LeftoverOfAnEarlierRunIsReplacedAndFileLivesOnlyWithTheStore)
{
    const struct {
        const char* name;
        void (*make)(const std::string& path);
    } leftovers[] = {
        {"no file", [](const std::string&) {}},
        {"garbage bytes", [](const std::string& path) { WriteFile(path, "this is not a database\n"); }},
        {"old table with rows",
         [](const std::string& path) {
             RawDatabase old(path);
             old.Execute("CREATE TABLE ap_info(mac char(18), extra int)");
             old.Execute("INSERT INTO ap_info VALUES('AA:AA:AA:AA:AA:AA', 1)");
         }},
    };
    for (const auto& leftover : leftovers) {
        SCOPED_TRACE(leftover.name);
        leftover.make(db);
        {
            CSqlManagement store(db);
            ASSERT_TRUE(store.IsOpen());
            EXPECT_EQ(store.DeviceCount(), 0);
            EXPECT_TRUE(std::filesystem::exists(db));
            EXPECT_EQ(RawDatabase(db).ColumnNames(), kColumns);
            EXPECT_TRUE(store.SaveDevice(Device("00:11:22:33:44:55")));
        }
        EXPECT_FALSE(std::filesystem::exists(db));
    }
}

TEST_F(StoreTest, UnopenableDatabaseReportsOnceAndEveryOperationYieldsItsEmptyValue)
{
    const struct {
        const char* name;
        std::string path;
        void (*make)(const std::string& path);
    } cases[] = {
        {"a folder", folder / "folder.db", [](const std::string& path) { std::filesystem::create_directory(path); }},
        {"missing parent", folder / "no/such/data.db", [](const std::string&) {}},
        {"file as parent", folder / "plain/data.db", [](const std::string& path) {
             WriteFile(path.substr(0, path.rfind('/')), "x");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.make(c.path);
        std::vector<std::string> messages;
        CSqlManagement::SetOpenFailureHandler([&](const std::string& text) { messages.push_back(text); });
        {
            CSqlManagement store(c.path);
            EXPECT_FALSE(store.IsOpen());
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], "Failed to open database, unable to get data.");

            const std::string mac = "00:11:22:33:44:55";
            EXPECT_FALSE(store.SaveDevice(Device(mac)));
            EXPECT_FALSE(store.SetParaStatus(mac, OperateSuccess));
            EXPECT_FALSE(store.SetLogoStatus(mac, OperateSuccess));
            EXPECT_FALSE(store.SetAntiTheftStatus(mac, OperateSuccess));
            EXPECT_FALSE(store.SetResult(mac, ResultSuccess));
            EXPECT_EQ(store.GetDeviceResult(mac), ResultNone);
            EXPECT_FALSE(store.ResetAllStatuses());
            EXPECT_FALSE(store.DeleteAllDevices());
            EXPECT_EQ(store.DeviceCount(), 0);

            std::vector<ap_info_stu> rows(1);
            int count = 5, successes = 0, failures = 0;
            EXPECT_FALSE(store.QueryDevices(rows, count, successes, failures, true, kSortByMac));
            EXPECT_EQ(rows.size(), 1u);
            EXPECT_EQ(count, 0);
            EXPECT_EQ(successes + failures, 0);

            ap_info_stu info = Row(Device(mac), 2, 2, 2);
            EXPECT_FALSE(store.GetDeviceInfo(info, mac));
            EXPECT_EQ(info, ap_info_stu());
        }
        EXPECT_EQ(messages.size(), 1u);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.db")) << "a folder in the way must never be removed";
    EXPECT_NE(ReadFile(folder / "provix.log").find("[ERROR]"), std::string::npos);
}

TEST_F(StoreTest, ProcessWideStoreLivesBesideTheExecutable)
{
    CSqlManagement& store = CSqlManagement::GetInstance();
    EXPECT_EQ(&store, &CSqlManagement::GetInstance());
    EXPECT_EQ(store.DatabasePath(), ExecutableFolder() + "data.db");
    EXPECT_TRUE(store.IsOpen());
}

TEST_F(StoreTest, NewDeviceGetsWaitStatusesAndNoResult)
{
    CSqlManagement store(db);
    const auto device = Device("C8:3A:35:A1:B2:C3");
    ASSERT_TRUE(store.SaveDevice(device));

    EXPECT_EQ(Query(store, true, kSortByMac), std::vector{Row(device)});
    RawDatabase raw(db);
    for (const char* column : {"ap_para_status_str", "ap_logo_status_str", "ap_antitheft_status_str"})
        EXPECT_EQ(raw.Column(device.mac, column), "Wait operate") << column;
    EXPECT_EQ(raw.Column(device.mac, "result"), std::nullopt);

    // The sheet export reads only the MAC and the radio texts.
    ap_info_stu info;
    info.date = "stale";
    info.para_status = 9;
    ASSERT_TRUE(store.GetDeviceInfo(info, device.mac));
    EXPECT_EQ(info, (ap_info_stu{device.mac, "", 0, 0, 0, device.ssid2, device.ssid5, device.wpakey2, device.wpakey5}));

    info = Row(device, 1, 1, 1);
    EXPECT_TRUE(store.GetDeviceInfo(info, "00:00:00:00:00:01")) << "the query ran even without a row";
    EXPECT_EQ(info, ap_info_stu());
}

TEST_F(StoreTest, RepeatedDiscoveryOverwritesTextsAndStatusesButKeepsResult)
{
    CSqlManagement store(db);
    const std::string mac = "C8:3A:35:A1:B2:C3";
    ASSERT_TRUE(store.SaveDevice(Device(mac, "1")));
    ASSERT_TRUE(store.SaveDevice(Device("C8:3A:35:00:00:01", "x")));
    ASSERT_TRUE(store.SetParaStatus(mac, OperateSuccess));
    ASSERT_TRUE(store.SetLogoStatus(mac, OperateFail));
    ASSERT_TRUE(store.SetAntiTheftStatus(mac, LockcodeMismatch));
    ASSERT_TRUE(store.SetResult(mac, ResultFailed));

    const auto again = Device(mac, "2");
    ASSERT_TRUE(store.SaveDevice(again));
    EXPECT_EQ(store.DeviceCount(), 2);
    const auto rows = Query(store, false, kSortByMac);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Row(again));
    RawDatabase raw(db);
    EXPECT_EQ(raw.Column(mac, "ap_logo_status_str"), "Wait operate");
    EXPECT_EQ(raw.Column(mac, "result"), "1");
}

TEST_F(StoreTest, EmptyMacIsNotStored)
{
    CSqlManagement store(db);
    EXPECT_FALSE(store.SaveDevice(Device("")));
    EXPECT_EQ(store.DeviceCount(), 0);
}

TEST_F(StoreTest, MacLookupIgnoresCase)
{
    CSqlManagement store(db);
    ASSERT_TRUE(store.SaveDevice(Device("C8:3A:35:A1:B2:C3")));
    EXPECT_TRUE(store.SetParaStatus("c8:3a:35:a1:b2:c3", OperateSuccess));
    EXPECT_EQ(store.GetDeviceResult("c8:3a:35:a1:b2:c3"), ResultSuccess);
    ASSERT_TRUE(store.SaveDevice(Device("c8:3a:35:a1:b2:c3", "b")));
    EXPECT_EQ(store.DeviceCount(), 1);
}

using StatusSetter = bool (CSqlManagement::*)(const std::string&, OperateStatus);

TEST_F(StoreTest, EachStatusWriterChangesOnlyItsOwnColumnsOfAnExistingRow)
{
    const struct {
        const char* column;
        StatusSetter set;
    } writers[] = {
        {"ap_para_status", &CSqlManagement::SetParaStatus},
        {"ap_logo_status", &CSqlManagement::SetLogoStatus},
        {"ap_antitheft_status", &CSqlManagement::SetAntiTheftStatus},
    };
    const std::string target = "00:00:00:00:00:0A";
    const std::string other = "00:00:00:00:00:0B";
    for (const auto& writer : writers) {
        SCOPED_TRACE(writer.column);
        CSqlManagement store(db);
        ASSERT_TRUE(store.SaveDevice(Device(target)));
        ASSERT_TRUE(store.SaveDevice(Device(other)));

        EXPECT_TRUE((store.*writer.set)(target, TransmitFinish));
        {
            RawDatabase raw(db);
            for (const auto& each : writers) {
                const bool own = each.column == writer.column;
                EXPECT_EQ(raw.Column(target, each.column), own ? "4" : "0") << each.column;
                EXPECT_EQ(raw.Column(target, std::string(each.column) + "_str"),
                          own ? "Transmit finish" : "Wait operate");
                EXPECT_EQ(raw.Column(other, each.column), "0");
            }
        }
        EXPECT_FALSE((store.*writer.set)("00:00:00:00:00:0C", OperateSuccess)) << "no row, no write";
        EXPECT_EQ(store.DeviceCount(), 2);

        // A value outside the enum is kept as it is, with no text.
        EXPECT_TRUE((store.*writer.set)(target, static_cast<OperateStatus>(8)));
        RawDatabase raw(db);
        EXPECT_EQ(raw.Column(target, writer.column), "8");
        EXPECT_EQ(raw.Column(target, std::string(writer.column) + "_str"), "");
    }
}

TEST_F(StoreTest, SetResultWritesDecimalTextForKnownResultsOnly)
{
    CSqlManagement store(db);
    const std::string mac = "00:00:00:00:00:0A";
    ASSERT_TRUE(store.SaveDevice(Device(mac)));
    for (DeviceResult result : {ResultSuccess, ResultFailed, ResultInProgress, ResultNone}) {
        EXPECT_TRUE(store.SetResult(mac, result));
        EXPECT_EQ(RawDatabase(db).Column(mac, "result"), std::to_string(result));
    }
    for (int bad : {-1, 4, 12345}) {
        EXPECT_FALSE(store.SetResult(mac, static_cast<DeviceResult>(bad))) << bad;
        EXPECT_EQ(RawDatabase(db).Column(mac, "result"), "3");
    }
    EXPECT_FALSE(store.SetResult("00:00:00:00:00:0B", ResultFailed));
    EXPECT_EQ(store.DeviceCount(), 1);
}

TEST(ComputeResultTest, ClassifiesTheThreeStatuses)
{
    const struct {
        int para, logo, antitheft;
        DeviceResult expected;
    } cases[] = {
        {2, 0, 0, ResultSuccess},    // configuration alone, applied
        {0, 2, 0, ResultSuccess},    // logo alone, applied
        {2, 2, 0, ResultSuccess},    // both applied
        {0, 0, 2, ResultSuccess},    // anti-theft applied
        {2, 2, 7, ResultSuccess},    // a successful part wins over a rejected lock code
        {3, 3, 2, ResultSuccess},    // anti-theft success wins over failed customization
        {2, 3, 0, ResultFailed},     // logo failed although the configuration applied
        {3, 2, 0, ResultFailed},
        {5, 0, 0, ResultFailed},     // transfer failed
        {6, 0, 0, ResultFailed},     // device never answered
        {0, 0, 7, ResultFailed},     // lock code mismatch
        {0, 0, 3, ResultFailed},
        {0, 5, 4, ResultFailed},     // a failure outranks a running transfer
        {4, 0, 0, ResultInProgress}, // sent, no verdict yet
        {1, 0, 0, ResultInProgress},
        {2, 4, 0, ResultInProgress}, // logo still on its way
        {0, 0, 1, ResultInProgress},
        {0, 0, 0, ResultNone},
        {8, 0, 0, ResultNone},       // outside the enum counts as nothing done
        {-1, 0, 99, ResultNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSqlManagement::ComputeResult(c.para, c.logo, c.antitheft), c.expected)
            << "(" << c.para << ", " << c.logo << ", " << c.antitheft << ")";
}

TEST_F(StoreTest, DeviceResultComesFromTheStoredStatuses)
{
    CSqlManagement store(db);
    const struct {
        const char* mac;
        OperateStatus para, logo, antitheft;
        DeviceResult expected;
    } cases[] = {
        {"00:00:00:00:00:01", OperateSuccess, WaitOperate, WaitOperate, ResultSuccess},
        {"00:00:00:00:00:02", OperateSuccess, OperateFail, WaitOperate, ResultFailed},
        {"00:00:00:00:00:03", TransmitFinish, WaitOperate, WaitOperate, ResultInProgress},
        {"00:00:00:00:00:04", WaitOperate, WaitOperate, WaitOperate, ResultNone},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.SaveDevice(Device(c.mac)));
        ASSERT_TRUE(store.SetParaStatus(c.mac, c.para));
        ASSERT_TRUE(store.SetLogoStatus(c.mac, c.logo));
        ASSERT_TRUE(store.SetAntiTheftStatus(c.mac, c.antitheft));
    }
    for (const auto& c : cases)
        EXPECT_EQ(store.GetDeviceResult(c.mac), c.expected) << c.mac;
    EXPECT_EQ(store.GetDeviceResult("00:00:00:00:00:05"), ResultNone);
}

TEST_F(StoreTest, QuerySortsByMacOrResultTextKeepingDiscoveryOrderForTies)
{
    CSqlManagement store(db);
    for (const char* mac : {"0C:00:00:00:00:00", "AA:00:00:00:00:00", "01:00:00:00:00:00", "FF:00:00:00:00:00",
                            "5B:00:00:00:00:00"})
        ASSERT_TRUE(store.SaveDevice(Device(mac)));
    ASSERT_TRUE(store.SetResult("FF:00:00:00:00:00", ResultFailed));
    ASSERT_TRUE(store.SetResult("01:00:00:00:00:00", ResultSuccess));
    ASSERT_TRUE(store.SetResult("AA:00:00:00:00:00", ResultNone));

    using V = std::vector<std::string>;
    const struct {
        bool ascending;
        int column;
        V expected;
    } cases[] = {
        {true, kSortByMac, {"01:00:00:00:00:00", "0C:00:00:00:00:00", "5B:00:00:00:00:00", "AA:00:00:00:00:00",
                            "FF:00:00:00:00:00"}},
        {false, kSortByMac, {"FF:00:00:00:00:00", "AA:00:00:00:00:00", "5B:00:00:00:00:00", "0C:00:00:00:00:00",
                             "01:00:00:00:00:00"}},
        // Rows without a result come first; among them the order of discovery.
        {true, kSortByResult, {"0C:00:00:00:00:00", "5B:00:00:00:00:00", "01:00:00:00:00:00", "FF:00:00:00:00:00",
                               "AA:00:00:00:00:00"}},
        {false, kSortByResult, {"AA:00:00:00:00:00", "FF:00:00:00:00:00", "01:00:00:00:00:00",
                                "0C:00:00:00:00:00", "5B:00:00:00:00:00"}},
        // Columns without a sort key of their own fall back to the MAC.
        {true, 0, {"01:00:00:00:00:00", "0C:00:00:00:00:00", "5B:00:00:00:00:00", "AA:00:00:00:00:00",
                   "FF:00:00:00:00:00"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Macs(Query(store, c.ascending, c.column)), c.expected)
            << (c.ascending ? "asc " : "desc ") << c.column;

    // After a reset every result is the empty text: all ties, discovery order.
    ASSERT_TRUE(store.ResetAllStatuses());
    ASSERT_TRUE(store.SetResult("0C:00:00:00:00:00", ResultInProgress));
    EXPECT_EQ(Macs(Query(store, true, kSortByResult)),
              (V{"AA:00:00:00:00:00", "01:00:00:00:00:00", "FF:00:00:00:00:00", "5B:00:00:00:00:00",
                 "0C:00:00:00:00:00"}));
}

TEST_F(StoreTest, QueryAppendsRowsAndAddsToTheCountersFromCurrentStatuses)
{
    CSqlManagement store(db);
    const struct {
        const char* mac;
        OperateStatus para, antitheft;
    } rows[] = {
        {"00:00:00:00:00:01", OperateSuccess, WaitOperate},     // success
        {"00:00:00:00:00:02", WaitOperate, OperateSuccess},     // success
        {"00:00:00:00:00:03", TransmitFail, WaitOperate},       // failure
        {"00:00:00:00:00:04", Operating, WaitOperate},          // neither
        {"00:00:00:00:00:05", WaitOperate, WaitOperate},        // neither
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(store.SaveDevice(Device(row.mac)));
        ASSERT_TRUE(store.SetParaStatus(row.mac, row.para));
        ASSERT_TRUE(store.SetAntiTheftStatus(row.mac, row.antitheft));
    }
    ASSERT_TRUE(store.SetResult("00:00:00:00:00:04", ResultFailed)) << "the result column must not be counted";

    std::vector<ap_info_stu> list(1);
    list[0].mac = "kept";
    int count = 99, successes = 10, failures = 20;
    ASSERT_TRUE(store.QueryDevices(list, count, successes, failures, true, kSortByMac));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(successes, 12);
    EXPECT_EQ(failures, 21);
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[0].mac, "kept");
    EXPECT_EQ(list[3], Row(Device("00:00:00:00:00:03"), TransmitFail, 0, 0));
}

TEST_F(StoreTest, ResetLeavesEmptyTextsAndNothingToCount)
{
    CSqlManagement store(db);
    for (const char* mac : {"00:00:00:00:00:01", "00:00:00:00:00:02"}) {
        ASSERT_TRUE(store.SaveDevice(Device(mac)));
        ASSERT_TRUE(store.SetParaStatus(mac, OperateSuccess));
        ASSERT_TRUE(store.SetLogoStatus(mac, OperateFail));
        ASSERT_TRUE(store.SetAntiTheftStatus(mac, LockcodeMismatch));
        ASSERT_TRUE(store.SetResult(mac, ResultFailed));
    }
    ASSERT_TRUE(store.ResetAllStatuses());

    RawDatabase raw(db);
    for (const char* mac : {"00:00:00:00:00:01", "00:00:00:00:00:02"}) {
        for (const char* column : {"ap_para_status", "ap_logo_status", "ap_antitheft_status"}) {
            EXPECT_EQ(raw.Column(mac, column), "0");
            EXPECT_EQ(raw.Column(mac, std::string(column) + "_str"), "") << "empty text, not NULL";
        }
        EXPECT_EQ(raw.Column(mac, "result"), "");
        EXPECT_EQ(store.GetDeviceResult(mac), ResultNone);
    }
    std::vector<ap_info_stu> list;
    int count = 0, successes = 0, failures = 0;
    ASSERT_TRUE(store.QueryDevices(list, count, successes, failures, true, kSortByMac));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failures, 0);
}

TEST_F(StoreTest, DeleteEmptiesTheTableForTheNextScan)
{
    CSqlManagement store(db);
    ASSERT_TRUE(store.SaveDevice(Device("00:00:00:00:00:01")));
    ASSERT_TRUE(store.SaveDevice(Device("00:00:00:00:00:02")));
    ASSERT_TRUE(store.DeleteAllDevices());
    EXPECT_EQ(store.DeviceCount(), 0);
    EXPECT_TRUE(Query(store, true, kSortByMac).empty());
    EXPECT_FALSE(store.SetParaStatus("00:00:00:00:00:01", OperateSuccess));
    EXPECT_TRUE(store.DeleteAllDevices()) << "deleting nothing still succeeds";
    ASSERT_TRUE(store.SaveDevice(Device("00:00:00:00:00:01")));
    EXPECT_EQ(store.DeviceCount(), 1);
}

std::string Repeat(const std::string& unit, size_t times)
{
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += unit;
    return text;
}

TEST_F(StoreTest, DeviceTextsThatDoNotFitTheirColumnRefuseTheRecord)
{
    const struct {
        const char* column;
        std::string ap_discover_stu::*field;
        size_t width;
    } fields[] = {
        {"mac", &ap_discover_stu::mac, kMacColumnWidth},
        {"ap_date", &ap_discover_stu::date, kDateColumnWidth},
        {"ap_ssid2", &ap_discover_stu::ssid2, kSsidColumnWidth},
        {"ap_ssid5", &ap_discover_stu::ssid5, kSsidColumnWidth},
        {"ap_wpakey2", &ap_discover_stu::wpakey2, kKeyColumnWidth},
        {"ap_wpakey5", &ap_discover_stu::wpakey5, kKeyColumnWidth},
    };
    CSqlManagement store(db);
    int rows = 0;
    for (const auto& f : fields) {
        // Widths count characters: a full column of two-byte characters fits, one more does not.
        for (const std::string unit : {"k", "\xC3\xA9"}) {
            SCOPED_TRACE(std::string(f.column) + " of " + unit);
            auto fits = Device("00:00:00:00:" + std::to_string(10 + rows) + ":00");
            fits.*f.field = Repeat(unit, f.width);
            ASSERT_TRUE(store.SaveDevice(fits));
            ++rows;
            const auto all = Query(store, true, kSortByMac);
            EXPECT_NE(std::find(all.begin(), all.end(), Row(fits)), all.end()) << "stored whole";

            auto too_long = Device("00:00:00:00:00:FF");
            too_long.*f.field = fits.*f.field + unit;
            EXPECT_FALSE(store.SaveDevice(too_long));
            EXPECT_EQ(store.DeviceCount(), rows) << "nothing of a refused record is written";
        }
    }
    EXPECT_NE(ReadFile(folder / "provix.log").find("ap_wpakey5 has 66 characters"), std::string::npos);
}

class TranslatedStoreTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        std::filesystem::create_directory(folder / "Languages");
        WriteFile(folder / "Languages/Long.lng", "[ProgramOutStr]\nwait operate=" + Repeat("\xE7\x8A\xB6", 40) +
                                                     "\noperate success=\xE6\x88\x90\xE5\x8A\x9F\n");
        InitLanguage(folder.Path());
        LoadLanguage("Long");
    }
    void TearDown() override
    {
        InitLanguage(std::string());
        LoadLanguage("English");
        StoreTest::TearDown();
    }
};

TEST_F(TranslatedStoreTest, StatusTextsAreTranslatedAndCutToTheColumnNeverTheStatus)
{
    CSqlManagement store(db);
    const std::string mac = "00:00:00:00:00:01";
    ASSERT_TRUE(store.SaveDevice(Device(mac)));
    RawDatabase raw(db);
    // 33 whole three-byte characters: the cut never splits one.
    EXPECT_EQ(raw.Column(mac, "ap_logo_status_str"), Repeat("\xE7\x8A\xB6", kStatusTextColumnWidth));
    EXPECT_EQ(raw.Column(mac, "ap_logo_status"), "0");

    ASSERT_TRUE(store.SetParaStatus(mac, OperateSuccess));
    EXPECT_EQ(raw.Column(mac, "ap_para_status_str"), "\xE6\x88\x90\xE5\x8A\x9F");
    EXPECT_EQ(store.GetDeviceResult(mac), ResultSuccess);
}

TEST_F(StoreTest, HostileTextsRoundTripExactlyAndTouchNoOtherRow)
{
    const std::vector<std::string> texts = {
        "O'Brien",
        "\"quoted\"",
        "'; DROP TABLE ap_info; --",
        "x' OR '1'='1",
        "%s%n%d%%",
        "back\\slash\\",
        "tab\tnew\nline\rcr",
        "\xFF\xFE not UTF-8",
        "  spaces  ",
        "",
        "\xE4\xB8\xAD\xE6\x96\x87\xE7\xBD\x91\xE7\xBB\x9C",
        "_%*?[]",
    };
    CSqlManagement store(db);
    const auto bystander = Device("00:00:00:00:00:00");
    ASSERT_TRUE(store.SaveDevice(bystander));

    std::vector<ap_info_stu> expected = {Row(bystander)};
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(i);
        // Hostile texts as the lookup key too: a key that leaks into the statement would hit other rows.
        const std::string mac = texts[i].empty() ? "EMPTY" : texts[i].substr(0, kMacColumnWidth);
        const ap_discover_stu device{mac, texts[i], texts[i], texts[i], texts[i], texts[i] + "!"};
        ASSERT_TRUE(store.SaveDevice(device));
        ASSERT_TRUE(store.SetAntiTheftStatus(mac, LockcodeMismatch));
        ASSERT_TRUE(store.SetResult(mac, ResultFailed));
        expected.push_back(Row(device, 0, 0, LockcodeMismatch));

        ap_info_stu info;
        ASSERT_TRUE(store.GetDeviceInfo(info, mac));
        EXPECT_EQ(info.ssid2, texts[i]);
        EXPECT_EQ(info.wpakey5, texts[i] + "!");
        EXPECT_EQ(store.GetDeviceResult(mac), ResultFailed);
    }
    auto rows = Query(store, true, kSortByResult);
    EXPECT_EQ(rows.front(), Row(bystander)) << "untouched and still without a result";
    std::vector<ap_info_stu> in_order = expected;
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.mac < b.mac; });
    std::sort(in_order.begin(), in_order.end(), [](const auto& a, const auto& b) { return a.mac < b.mac; });
    EXPECT_EQ(rows, in_order);
    EXPECT_EQ(RawDatabase(db).ColumnNames(), kColumns);
}

TEST_F(StoreTest, StatementsBlockedByAnotherHolderFailAfterThreeAttempts)
{
    CSqlManagement store(db);
    ASSERT_TRUE(store.SaveDevice(Device("00:00:00:00:00:01")));
    RawDatabase other(db);
    ASSERT_TRUE(other.Execute("BEGIN EXCLUSIVE"));

    EXPECT_FALSE(store.DeleteAllDevices());
    EXPECT_FALSE(store.ResetAllStatuses());
    EXPECT_FALSE(store.SetParaStatus("00:00:00:00:00:01", OperateSuccess));
    EXPECT_EQ(store.GetDeviceResult("00:00:00:00:00:01"), ResultNone);
    const std::string log = ReadFile(folder / "provix.log");
    for (const char* attempt : {"attempt 1 of 3 of \"DELETE", "attempt 2 of 3 of \"DELETE", "attempt 3 of 3 of \"DELETE",
                                "attempt 3 of 3 of \"UPDATE"})
        EXPECT_NE(log.find(attempt), std::string::npos) << attempt;
    EXPECT_EQ(log.find("attempt 4"), std::string::npos);

    ASSERT_TRUE(other.Execute("COMMIT"));
    EXPECT_EQ(store.DeviceCount(), 1) << "the failed delete removed nothing";
    EXPECT_TRUE(store.DeleteAllDevices());
    EXPECT_EQ(store.DeviceCount(), 0);
}

TEST_F(StoreTest, ConcurrentDiscoveryStatusWritesAndQueriesStayConsistent)
{
    CSqlManagement store(db);
    constexpr int kDevices = 60;
    const auto mac_of = [](int i) {
        char text[18];
        std::snprintf(text, sizeof text, "C8:3A:35:00:%02X:%02X", i / 256, i % 256);
        return std::string(text);
    };
    std::atomic<int> bad_queries{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    // Discovery threads overlap: every device is seen by two of them.
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int j = 0; j < kDevices / 2; ++j)
                store.SaveDevice(Device(mac_of((t * kDevices / 4 + j) % kDevices), std::to_string(t)));
        });
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t)
        writers.emplace_back([&, t] {
            for (int j = 0; j < 150; ++j) {
                const std::string mac = mac_of((j * 7 + t) % kDevices);
                const auto status = static_cast<OperateStatus>(j % 8);
                store.SetParaStatus(mac, status);
                store.SetLogoStatus(mac, status);
                store.SetAntiTheftStatus(mac, status);
                store.SetResult(mac, store.GetDeviceResult(mac));
                if (j % 50 == 49)
                    store.ResetAllStatuses();
            }
        });
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t)
        readers.emplace_back([&] {
            int last = 0;
            while (writing) {
                std::vector<ap_info_stu> rows;
                int count = 0, successes = 0, failures = 0;
                if (!store.QueryDevices(rows, count, successes, failures, true, kSortByResult) ||
                    count != static_cast<int>(rows.size()) || count < last || successes + failures > count ||
                    count > kDevices)
                    ++bad_queries;
                last = count;
                ap_info_stu info;
                if (!store.GetDeviceInfo(info, mac_of(count % kDevices)))
                    ++bad_queries;
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (auto& thread : writers)
        thread.join();
    writing = false;
    for (auto& thread : readers)
        thread.join();

    EXPECT_EQ(bad_queries.load(), 0);
    const auto rows = Query(store, true, kSortByMac);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kDevices)) << "one row per device, no duplicates";
    for (int i = 0; i < kDevices; ++i)
        EXPECT_EQ(rows[i].mac, mac_of(i));
}

}  // namespace
}  // namespace provix
