#include "ui/COperateFileIni.h"

#include "ui/Utf8Text.h"

#include <algorithm>
#include <fstream>

namespace provix {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Fold(std::string_view name) {
    return Utf8ToLower(Trim(name));
}

// One pair of matching quotes around a value is not part of it.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The file bytes as UTF-8 text without byte-order mark or NUL bytes.
std::string Decode(std::string_view bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text = Utf16ToUtf8(bytes.substr(2), false);
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        text = Utf16ToUtf8(bytes.substr(2), true);
    } else {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        text.assign(bytes);
    }
    // A NUL would end the text for every C-string consumer downstream; drop it instead.
    std::erase(text, '\0');
    return text;
}

}  // namespace

bool COperateFileIni::Load(const std::string& path) {
    sections.clear();
    section_index.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string bytes;
    char chunk[64 * 1024];
    while (bytes.size() < kMaxFileBytes) {
        in.read(chunk, static_cast<std::streamsize>(std::min(sizeof chunk, kMaxFileBytes - bytes.size())));
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    // A directory opens but cannot be read.
    if (in.bad() || (bytes.empty() && !in.eof()))
        return false;
    LoadFromBytes(bytes);
    return true;
}

void COperateFileIni::LoadFromBytes(std::string_view bytes) {
    sections.clear();
    section_index.clear();
    const std::string text = Decode(bytes.substr(0, kMaxFileBytes));
    Section* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (IsValidUtf8(line)) {
            ParseLine(line, current);
        } else {
            const std::string converted = Cp1252ToUtf8(line);
            ParseLine(converted, current);
        }
        start = end + 1;
    }
}

void COperateFileIni::ParseLine(std::string_view line, Section*& current) {
    line = Trim(line);
    if (line.empty())
        return;
    if (line.front() == '[') {
        const std::size_t close = line.rfind(']');
        if (close != std::string_view::npos) {
            std::string name = Fold(line.substr(1, close - 1));
            // A repeated section is unreachable: lookups stop at the first one of that name.
            const auto [it, added] = section_index.try_emplace(std::move(name), sections.size());
            if (added) {
                sections.emplace_back();
                current = &sections.back();
            } else {
                current = nullptr;
            }
            return;
        }
    }
    if (current == nullptr)
        return;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    std::string key = Fold(line.substr(0, eq));
    if (key.empty())
        return;
    current->values.try_emplace(std::move(key), Unquote(Trim(line.substr(eq + 1))));
}

std::string COperateFileIni::GetString(std::string_view section, std::string_view key,
                                       std::string_view default_value, std::size_t max_chars) const {
    const auto sit = section_index.find(Fold(section));
    if (sit != section_index.end()) {
        const auto& values = sections[sit->second].values;
        const auto kit = values.find(Fold(key));
        if (kit != values.end())
            return Utf8Left(kit->second, max_chars);
    }
    return Utf8Left(default_value, max_chars);
}

bool COperateFileIni::HasSection(std::string_view section) const {
    return section_index.count(Fold(section)) != 0;
}

std::string COperateFileIni::ReadString(const std::string& path, std::string_view section,
                                        std::string_view key, std::string_view default_value,
                                        std::size_t max_chars) {
    COperateFileIni ini;
    ini.Load(path);
    return ini.GetString(section, key, default_value, max_chars);
}

}  // namespace provix
