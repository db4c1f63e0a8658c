#include "devices/OperationLog.h"

#include "TempFolder.h"
#include "devices/COperateCharacter.h"

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

constexpr const char* kHeaderLine = "MAC\t\t\tType\t\tDate\n\r\n";

std::tm At(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

LogClock Fixed(std::tm t)
{
    return [t] { return t; };
}

TEST(OperationLogTest, EachReportGoesToItsDayFileWithHeaderOnceAndLfCrLfEnds)
{
    const struct {
        int type;
        bool success;
        const char* file;
        const char* label;
    } reports[] = {
        {kLogTypePara, true, "Success.txt", "PARA_DATA"},     {kLogTypePara, false, "Fail.txt", "PARA_DATA"},
        {kLogTypeLogo, true, "Success.txt", "LOG_DATA"},      {kLogTypeLogo, false, "Fail.txt", "LOG_DATA"},
        {kLogTypeJson, true, "Success.txt", "JSON_CMD_DATA"}, {kLogTypeJson, false, "Fail.txt", "JSON_CMD_DATA"},
    };
    for (const auto& report : reports) {
        SCOPED_TRACE(std::string(report.label) + " " + report.file);
        TempFolder root;
        COperateCharacter writer;
        ASSERT_TRUE(WriteOperationLog(report.type, writer, "C8:3A:35:A1:B2:C3", report.success,
                                      Fixed(At(2024, 3, 6, 9, 5, 7)), root.Path()));
        ASSERT_TRUE(WriteOperationLog(report.type, writer, "C8:3A:35:A1:B2:C4", report.success,
                                      Fixed(At(2024, 3, 6, 9, 5, 8)), root.Path()));
        const std::string expected = std::string(kHeaderLine) + "C8:3A:35:A1:B2:C3\t" + report.label +
                                     "\t2024-03-06 09:05:07\n\r\n" + "C8:3A:35:A1:B2:C4\t" + report.label +
                                     "\t2024-03-06 09:05:08\n\r\n";
        EXPECT_EQ(ReadFile(root / (std::string("Log/2024-03-06/") + report.file)), expected);
        const char* other = report.success ? "Log/2024-03-06/Fail.txt" : "Log/2024-03-06/Success.txt";
        EXPECT_FALSE(std::filesystem::exists(root / other));
    }
}

TEST(OperationLogTest, ReportAfterMidnightOpensTheNewDay)
{
    const struct {
        std::tm before, after;
        const char* old_day;
        const char* new_day;
    } crossings[] = {
        {At(2024, 3, 6, 23, 59, 59), At(2024, 3, 7, 0, 0, 0), "2024-03-06", "2024-03-07"},
        {At(2023, 12, 31, 23, 59, 59), At(2024, 1, 1, 0, 0, 1), "2023-12-31", "2024-01-01"},
        {At(2024, 2, 28, 23, 59, 59), At(2024, 2, 29, 0, 0, 0), "2024-02-28", "2024-02-29"},
    };
    for (const auto& crossing : crossings) {
        SCOPED_TRACE(crossing.new_day);
        TempFolder root;
        COperateCharacter writer;
        std::tm now = crossing.before;
        const LogClock clock = [&now] { return now; };
        ASSERT_TRUE(WriteOperationLog(kLogTypeLogo, writer, "00:00:00:00:00:01", true, clock, root.Path()));
        now = crossing.after;
        ASSERT_TRUE(WriteOperationLog(kLogTypeLogo, writer, "00:00:00:00:00:01", true, clock, root.Path()));

        const std::string old_file = ReadFile(root / (std::string("Log/") + crossing.old_day + "/Success.txt"));
        const std::string new_file = ReadFile(root / (std::string("Log/") + crossing.new_day + "/Success.txt"));
        EXPECT_EQ(old_file.rfind(kHeaderLine, 0), 0u);
        EXPECT_EQ(new_file.rfind(kHeaderLine, 0), 0u) << "the new day's file starts with its own header";
        EXPECT_NE(old_file.find(std::string("\t") + crossing.old_day + " 23:59:59\n\r\n"), std::string::npos);
        EXPECT_NE(new_file.find(std::string("\t") + crossing.new_day + " 00:00:0"), std::string::npos);
        EXPECT_EQ(new_file.find(crossing.old_day), std::string::npos);
    }
}

TEST(OperationLogTest, UnknownTypeAndUnwritablePlacesWriteNothingAndSaySo)
{
    TempFolder root;
    COperateCharacter writer;
    const LogClock clock = Fixed(At(2024, 3, 6, 12, 0, 0));
    EXPECT_FALSE(WriteOperationLog(4, writer, "00:00:00:00:00:01", true, clock, root.Path()));
    EXPECT_FALSE(WriteOperationLog(0, writer, "00:00:00:00:00:01", false, clock, root.Path()));
    EXPECT_FALSE(std::filesystem::exists(root / "Log")) << "an unknown type creates nothing";

    // A plain file where the log folder belongs: the day folder cannot be made, even by root.
    WriteFile(root / "blocked", "x");
    EXPECT_FALSE(WriteOperationLog(kLogTypePara, writer, "00:00:00:00:00:01", true, clock, root / "blocked/"));
    // A folder where the day's file belongs.
    std::filesystem::create_directories(root / "Log/2024-03-06/Fail.txt");
    EXPECT_FALSE(WriteOperationLog(kLogTypePara, writer, "00:00:00:00:00:01", false, clock, root.Path()));
    EXPECT_TRUE(WriteOperationLog(kLogTypePara, writer, "00:00:00:00:00:01", true, clock, root.Path()))
        << "the other file of the day still works";
}

TEST(COperateCharacterTest, AppendsTextWithCrLfAndRefusesEmptyText)
{
    TempFolder folder;
    COperateCharacter writer;
    const std::string path = folder / "lines.txt";

    EXPECT_FALSE(writer.AppendLine("", path));
    EXPECT_FALSE(std::filesystem::exists(path)) << "an empty text does not even create the file";

    const std::string long_text(1000, 'L');  // far beyond any fixed line buffer
    EXPECT_TRUE(writer.AppendLine("first", path));
    EXPECT_TRUE(writer.AppendLine(long_text, path));
    EXPECT_EQ(ReadFile(path), "first\r\n" + long_text + "\r\n");

    EXPECT_FALSE(writer.AppendLine("x", folder / "missing/lines.txt"));
}

TEST(COperateCharacterTest, HeaderGoesOnlyIntoAnEmptyFile)
{
    TempFolder folder;
    COperateCharacter writer;
    const struct {
        const char* name;
        const char* existing;  // nullptr: no file yet
        const char* expected;
    } cases[] = {
        {"new", nullptr, "H\r\nline\r\n"},
        {"empty", "", "H\r\nline\r\n"},
        {"with lines", "old\r\n", "old\r\nline\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder / c.name;
        if (c.existing)
            WriteFile(path, c.existing);
        EXPECT_TRUE(writer.AppendLine("line", path, "H"));
        EXPECT_EQ(ReadFile(path), c.expected);
    }
}

TEST(OperationLogTest, ConcurrentReportsKeepLinesWholeAndOneHeader)
{
    TempFolder root;
    COperateCharacter writer;
    constexpr int kThreads = 6;
    constexpr int kReports = 150;
    const LogClock clock = Fixed(At(2024, 3, 6, 12, 0, 0));
    std::atomic<int> failures{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            char mac[18];
            for (int i = 0; i < kReports; ++i) {
                std::snprintf(mac, sizeof mac, "00:00:00:00:%02X:%02X", t, i);
                if (!WriteOperationLog(kLogTypeJson, writer, mac, false, clock, root.Path()))
                    ++failures;
            }
        });
    go = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);

    std::istringstream content(ReadFile(root / "Log/2024-03-06/Fail.txt"));
    std::string first;
    std::getline(content, first);
    EXPECT_EQ(first, "MAC\t\t\tType\t\tDate");
    std::vector<int> seen(kThreads * kReports, 0);
    int lines = 0;
    for (std::string line; std::getline(content, line);) {
        if (line == "\r")
            continue;  // the CR LF after each record's LF
        ++lines;
        unsigned t = 0, i = 0;
        char tail[64] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "00:00:00:00:%2X:%2X\tJSON_CMD_DATA\t%63[^\n]", &t, &i, tail), 3) << line;
        EXPECT_STREQ(tail, "2024-03-06 12:00:00");
        ASSERT_LT(t * kReports + i, seen.size());
        ++seen[t * kReports + i];
    }
    EXPECT_EQ(lines, kThreads * kReports);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
}

}  // namespace
}  // namespace provix
