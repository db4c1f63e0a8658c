#include "devices/DiagnosticLog.h"

#include "TempFolder.h"

#include <cctype>

#include <gtest/gtest.h>
#include <unistd.h>

namespace provix {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute, int second,
                                                int millis)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t)) + std::chrono::milliseconds(millis);
}

// "0" stands for any digit.
const std::string kStampPattern = "[0000-00-00 00:00:00:0000]";

bool IsStamp(const std::string& text)
{
    if (text.size() != kStampPattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (kStampPattern[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != kStampPattern[i])
            return false;
    return true;
}

TEST(DiagnosticLogTest, LineCarriesTimeLevelThreadPlaceAndMessage)
{
    const struct {
        int level;
        int millis;
        const char* expected;
    } cases[] = {
        {1, 7, "[2024-03-06 09:05:07:0007][ERROR][ThreadID: 4242][bool Init():115]create fail\r\n"},
        {2, 999, "[2024-03-06 09:05:07:0999][INFO][ThreadID: 4242][bool Init():115]create fail\r\n"},
        {0, 0, "[2024-03-06 09:05:07:0000][INFO][ThreadID: 4242][bool Init():115]create fail\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDiagnostic(c.level, LocalTime(2024, 3, 6, 9, 5, 7, c.millis), 4242, "bool Init()", 115,
                                   "create fail"),
                  c.expected);
}

TEST(DiagnosticLogTest, WritesFormattedLinesToTheChosenFileAndFailsSilently)
{
    TempFolder folder;
    const std::string path = folder / "provix.log";
    SetDiagnosticLogPath(path);
    EXPECT_EQ(DiagnosticLogPath(), path);

    WriteDiagnostic(kDiagnosticError, "bool __thiscall AcTransmitManage::Init(void)", 123, "create %s fail (%d)",
                    "thread_recv_discover", 11);
    const std::string function = __PRETTY_FUNCTION__;
    const int line = __LINE__ + 1;
    PROVIX_LOG_INFO("%s", "100% literal");

    const std::string content = ReadFile(path);
    const std::string thread = "[ThreadID: " + std::to_string(gettid()) + "]";
    const std::string lines[] = {
        "[ERROR]" + thread + "[bool __thiscall AcTransmitManage::Init(void):123]create thread_recv_discover fail (11)\r\n",
        "[INFO]" + thread + "[" + function + ":" + std::to_string(line) + "]100% literal\r\n",
    };
    size_t at = 0;
    for (const auto& expected : lines) {
        ASSERT_TRUE(IsStamp(content.substr(at, kStampPattern.size()))) << content;
        at += kStampPattern.size();
        ASSERT_EQ(content.substr(at, expected.size()), expected);
        at += expected.size();
    }
    EXPECT_EQ(at, content.size());

    // Nowhere to write: nothing breaks, nothing appears.
    SetDiagnosticLogPath(folder / "missing/provix.log");
    WriteDiagnostic(kDiagnosticError, "f", 1, "lost");
    SetDiagnosticLogPath(std::string());
    WriteDiagnostic(kDiagnosticError, "f", 1, "lost");
    EXPECT_EQ(ReadFile(path), content);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

}  // namespace
}  // namespace provix
