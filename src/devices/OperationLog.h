#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace provix {

class COperateCharacter;

// Payload types of a device report, as the frame's module numbers give them.
constexpr int kLogTypePara = 1;
constexpr int kLogTypeLogo = 2;
constexpr int kLogTypeJson = 3;

// "PARA_DATA", "LOG_DATA", "JSON_CMD_DATA"; empty for any other type.
const char* OperationLogLabel(int type);

// Reads the local time; tests replace it to cross midnight.
using LogClock = std::function<std::tm()>;
std::tm LocalTimeNow();

// Appends one device report to "Log/YYYY-MM-DD/Success.txt" or ".../Fail.txt" below root (the
// working directory when root is empty; otherwise root ends in "/"), creating the day folder and
// the file's header line as needed. Lines end in LF CR LF. Nothing is ever shown to the operator;
// the result says whether the line reached the file. An unknown type writes nothing.
bool WriteOperationLog(int type, COperateCharacter& writer, const std::string& mac, bool success,
                       const LogClock& clock = {}, const std::string& root = {});

}  // namespace provix
