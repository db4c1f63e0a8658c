#include "cli/CtlOutput.h"

#include "ui/Utf8Text.h"

#include <cstdint>
#include <cstdio>

namespace provix {
namespace {

const char* StatusName(int status) {
    const char* name = OperateStatusName(status);
    return name && *name ? name : "Unknown";
}

const char* ResultName(DeviceResult result) {
    const char* name = DeviceResultName(result);
    return name && *name ? name : "Unknown";
}

}  // namespace

std::string TsvField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) {
            line += '\t';
        }
        line += TsvField(fields[i]);
    }
    line += '\n';
    return line;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\uFFFD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string FormatAdapters(const std::vector<AdapterRow>& rows, bool json) {
    std::string out;
    if (!json) {
        for (const AdapterRow& row : rows) {
            out += TsvLine({std::to_string(row.index), row.display, row.name});
        }
        return out;
    }
    out = "{\"adapters\":[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const AdapterRow& row = rows[i];
        out += i ? "," : "";
        out += "{\"index\":" + std::to_string(row.index) + ",\"display\":" + JsonString(row.display) +
               ",\"name\":" + JsonString(row.name) + "}";
    }
    out += "]}\n";
    return out;
}

std::string FormatScan(const std::string& adapter_display, const std::vector<ap_info_stu>& rows, bool json) {
    std::string out;
    if (!json) {
        for (const ap_info_stu& row : rows) {
            out += TsvLine({row.mac, row.date, row.ssid2, row.ssid5, row.wpakey2, row.wpakey5});
        }
        return out;
    }
    out = "{\"adapter\":" + JsonString(adapter_display) + ",\"devices\":[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ap_info_stu& row = rows[i];
        out += i ? "," : "";
        out += "{\"mac\":" + JsonString(row.mac) + ",\"date\":" + JsonString(row.date) +
               ",\"ssid2\":" + JsonString(row.ssid2) + ",\"ssid5\":" + JsonString(row.ssid5) +
               ",\"key2\":" + JsonString(row.wpakey2) + ",\"key5\":" + JsonString(row.wpakey5) + "}";
    }
    out += "]}\n";
    return out;
}

std::string FormatOperation(const std::string& adapter_display, const std::vector<OperationRow>& rows,
                            bool json) {
    std::string out;
    if (!json) {
        for (const OperationRow& row : rows) {
            out += TsvLine({row.mac, StatusName(row.para), StatusName(row.logo), StatusName(row.antitheft),
                            ResultName(row.result)});
        }
        return out;
    }
    int successes = 0;
    int failures = 0;
    out = "{\"adapter\":" + JsonString(adapter_display) + ",\"devices\":[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const OperationRow& row = rows[i];
        successes += row.result == ResultSuccess;
        failures += row.result == ResultFailed;
        out += i ? "," : "";
        out += "{\"mac\":" + JsonString(row.mac) + ",\"para\":" + JsonString(StatusName(row.para)) +
               ",\"logo\":" + JsonString(StatusName(row.logo)) +
               ",\"antitheft\":" + JsonString(StatusName(row.antitheft)) +
               ",\"result\":" + JsonString(ResultName(row.result)) + "}";
    }
    out += "],\"success\":" + std::to_string(successes) + ",\"failed\":" + std::to_string(failures) + "}\n";
    return out;
}

}  // namespace provix
