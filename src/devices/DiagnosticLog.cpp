#include "devices/DiagnosticLog.h"

#include "ui/AppSettings.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include <unistd.h>

namespace provix {
namespace {

std::mutex log_mutex;
bool path_set = false;
std::string log_path;

#ifdef NDEBUG
bool debug_enabled = false;
#else
bool debug_enabled = true;
#endif
std::mutex debug_mutex;

std::string VFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(size));
    return text;
}

// Caller holds log_mutex.
const std::string& CurrentPath()
{
    if (!path_set) {
        log_path = ExecutableFolder() + "provix.log";
        path_set = true;
    }
    return log_path;
}

}  // namespace

std::string FormatDiagnostic(int level, std::chrono::system_clock::time_point when, unsigned thread_id,
                             const char* function, int line, const std::string& message)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char head[160];
    std::snprintf(head, sizeof head, "[%04d-%02d-%02d %02d:%02d:%02d:%04d]%s[ThreadID: %u]", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis), level == kDiagnosticError ? "[ERROR]" : "[INFO]",
                  thread_id);
    std::string text(head);
    text += '[';
    text += function ? function : "";
    text += ':';
    text += std::to_string(line);
    text += ']';
    text += message;
    text += "\r\n";
    return text;
}

void WriteDiagnostic(int level, const char* function, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string message = format ? VFormat(format, args) : std::string();
    va_end(args);
    const std::string text = FormatDiagnostic(level, std::chrono::system_clock::now(),
                                              static_cast<unsigned>(gettid()), function, line, message);

    std::lock_guard lock(log_mutex);
    const std::string& path = CurrentPath();
    if (path.empty())
        return;
    if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

void SetDiagnosticLogPath(const std::string& path)
{
    std::lock_guard lock(log_mutex);
    log_path = path;
    path_set = true;
}

std::string DiagnosticLogPath()
{
    std::lock_guard lock(log_mutex);
    return CurrentPath();
}

void DebugOutput(const std::string& text)
{
    std::lock_guard lock(debug_mutex);
    if (debug_enabled)
        std::fwrite(text.data(), 1, text.size(), stderr);
}

void SetDebugOutputEnabled(bool enabled)
{
    std::lock_guard lock(debug_mutex);
    debug_enabled = enabled;
}

}  // namespace provix
