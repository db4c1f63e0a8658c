#pragma once

#include <string>

namespace provix {

// Status of one payload (configuration, logo or anti-theft command) on one device.
// The numbers are stored in the results store and must not change.
enum OperateStatus : int {
    WaitOperate = 0,
    Operating = 1,
    OperateSuccess = 2,
    OperateFail = 3,
    TransmitFinish = 4,
    TransmitFail = 5,
    DeviceRespondTimeout = 6,
    LockcodeMismatch = 7,
};

// Overall result of a device, derived from its three statuses.
enum DeviceResult : int {
    ResultSuccess = 0,
    ResultFailed = 1,
    ResultInProgress = 2,
    ResultNone = 3,
};

// Translated text of a status; empty for a value outside the enum. Safe from any thread.
std::string OperateStatusText(int status);

// Enum names ("OperateSuccess", "ResultFailed"), for machine-readable output.
const char* OperateStatusName(int status);
const char* DeviceResultName(int result);

}  // namespace provix
