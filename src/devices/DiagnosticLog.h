#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace provix {

// Levels of a diagnostic line: 1 writes "[ERROR]", anything else "[INFO]".
constexpr int kDiagnosticError = 1;
constexpr int kDiagnosticInfo = 2;

// Appends one line to the diagnostic log:
// "[YYYY-MM-DD hh:mm:ss:mmmm][ERROR][ThreadID: n][function:line]message\r\n".
// Failures to write are silent. Safe from any thread.
void WriteDiagnostic(int level, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// The line as it would be written, without touching the file (the composition is shared with tests).
std::string FormatDiagnostic(int level, std::chrono::system_clock::time_point when, unsigned thread_id,
                             const char* function, int line, const std::string& message);

// The log file; "provix.log" beside the executable unless set. An empty path disables the log.
void SetDiagnosticLogPath(const std::string& path);
std::string DiagnosticLogPath();

// Chatter that the desktop shows only in debug builds (stderr); silent when NDEBUG is defined,
// unless enabled explicitly.
void DebugOutput(const std::string& text);
void SetDebugOutputEnabled(bool enabled);

}  // namespace provix

#define PROVIX_LOG_ERROR(...) ::provix::WriteDiagnostic(::provix::kDiagnosticError, __PRETTY_FUNCTION__, __LINE__, __VA_ARGS__)
#define PROVIX_LOG_INFO(...) ::provix::WriteDiagnostic(::provix::kDiagnosticInfo, __PRETTY_FUNCTION__, __LINE__, __VA_ARGS__)
