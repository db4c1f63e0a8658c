#include "devices/COperateCharacter.h"

#include <cstdio>

namespace provix {

bool COperateCharacter::AppendLine(const std::string& text, const std::string& path)
{
    return AppendLine(text, path, std::string());
}

bool COperateCharacter::AppendLine(const std::string& text, const std::string& path, const std::string& header)
{
    if (text.empty())
        return false;
    std::string line = text + "\r\n";

    std::lock_guard guard(lock);
    std::FILE* file = std::fopen(path.c_str(), "ab+");
    if (!file)
        return false;
    if (!header.empty() && std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == 0)
        line.insert(0, header + "\r\n");
    // One write per call keeps the line whole even against another process appending to the file.
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace provix
