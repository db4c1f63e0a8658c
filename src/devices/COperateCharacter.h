#pragma once

#include <mutex>
#include <string>

namespace provix {

// Appends lines to text files. Each line is one open-write-close, so the files can be read or
// copied while the program runs; the object's lock keeps lines from different threads whole.
class COperateCharacter {
public:
    COperateCharacter() = default;
    virtual ~COperateCharacter() = default;
    COperateCharacter(const COperateCharacter&) = delete;
    COperateCharacter& operator=(const COperateCharacter&) = delete;

    // Appends text followed by CR LF, creating the file if needed. False when text is empty
    // (nothing written) or the file cannot be opened.
    bool AppendLine(const std::string& text, const std::string& path);

    // The same, but a file that is new or empty first receives header followed by CR LF. The check
    // and both lines happen under the lock, so racing writers never write the header twice.
    bool AppendLine(const std::string& text, const std::string& path, const std::string& header);

private:
    std::mutex lock;
};

}  // namespace provix
