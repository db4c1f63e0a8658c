#include "devices/OperateStatus.h"

#include "language/Translation.h"

namespace provix {
namespace {

struct StatusEntry {
    const char* name;
    const char* english;
};

constexpr StatusEntry kStatuses[] = {
    {"WaitOperate", "Wait operate"},
    {"Operating", "Operating"},
    {"OperateSuccess", "Operate success"},
    {"OperateFail", "Operate fail"},
    {"TransmitFinish", "Transmit finish"},
    {"TransmitFail", "Transmit fail"},
    {"DeviceRespondTimeout", "Device respond timeout"},
    {"LockcodeMismatch", "Lockcode mismatch"},
};

constexpr const char* kResultNames[] = {"ResultSuccess", "ResultFailed", "ResultInProgress", "ResultNone"};

bool IsStatus(int status) { return status >= 0 && status < static_cast<int>(std::size(kStatuses)); }

}  // namespace

std::string OperateStatusText(int status)
{
    return IsStatus(status) ? TranslateText(kStatuses[status].english) : std::string();
}

const char* OperateStatusName(int status) { return IsStatus(status) ? kStatuses[status].name : ""; }

const char* DeviceResultName(int result)
{
    return result >= 0 && result < static_cast<int>(std::size(kResultNames)) ? kResultNames[result] : "";
}

}  // namespace provix
