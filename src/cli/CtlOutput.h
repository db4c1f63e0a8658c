#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devices/OperateStatus.h"
#include "devices/ap_info_stu.h"

namespace provix {

// Device texts (SSIDs, keys) come off the wire and may hold anything, so every field is escaped: a
// tab or line break inside one must not shift the columns of a script reading the output.

// One tab-separated field: backslash, tab, newline and carriage return become \\, \t, \n and \r.
std::string TsvField(std::string_view text);
// The fields escaped, joined by tabs, ended by a newline.
std::string TsvLine(const std::vector<std::string>& fields);

// A JSON string literal. Control characters are escaped; bytes that are not UTF-8 become U+FFFD,
// since a JSON document must be valid UTF-8.
std::string JsonString(std::string_view text);

struct AdapterRow {
    int index = 0;
    std::string display;
    std::string name;
};

// The final state of one operated device.
struct OperationRow {
    std::string mac;
    int para = WaitOperate;
    int logo = WaitOperate;
    int antitheft = WaitOperate;
    DeviceResult result = ResultNone;
};

std::string FormatAdapters(const std::vector<AdapterRow>& rows, bool json);
std::string FormatScan(const std::string& adapter_display, const std::vector<ap_info_stu>& rows, bool json);
std::string FormatOperation(const std::string& adapter_display, const std::vector<OperationRow>& rows,
                            bool json);

}  // namespace provix
