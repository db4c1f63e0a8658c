#include "devices/OperationLog.h"

#include "devices/COperateCharacter.h"

#include <cstdio>
#include <filesystem>

namespace provix {
namespace {

constexpr const char* kHeader = "MAC\t\t\tType\t\tDate\n";

}  // namespace

const char* OperationLogLabel(int type)
{
    switch (type) {
    case kLogTypePara:
        return "PARA_DATA";
    case kLogTypeLogo:
        return "LOG_DATA";
    case kLogTypeJson:
        return "JSON_CMD_DATA";
    default:
        return "";
    }
}

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool WriteOperationLog(int type, COperateCharacter& writer, const std::string& mac, bool success,
                       const LogClock& clock, const std::string& root)
{
    const std::string label = OperationLogLabel(type);
    if (label.empty())
        return false;

    // One reading names both the folder and the line, so a report at midnight cannot land in the
    // old day's file with the new day's date.
    const std::tm now = clock ? clock() : LocalTimeNow();
    char day[32];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    char time_text[48];
    std::snprintf(time_text, sizeof time_text, "%s %02d:%02d:%02d", day, now.tm_hour, now.tm_min, now.tm_sec);

    const std::string folder = root + "Log/" + day + "/";
    std::error_code error;
    std::filesystem::create_directories(folder, error);  // a failure shows as a failed open below
    const std::string path = folder + (success ? "Success.txt" : "Fail.txt");
    const std::string line = mac + "\t" + label + "\t" + time_text + "\n";
    return writer.AppendLine(line, path, kHeader);
}

}  // namespace provix
