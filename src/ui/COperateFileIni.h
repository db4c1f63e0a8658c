#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace provix {

// Read-only image of a profile (INI) file, answering lookups the way Windows profile reads do:
// section and key names match without regard to case, values lose the blanks around them and one
// pair of enclosing quotes, the first matching section and the first matching key win, and what
// is missing yields the caller's default. The file is read once; lookups never touch the disk,
// so one loaded object may be read from several threads at once.
//
// Accepted encodings: UTF-8 (with or without byte-order mark), UTF-16 with a byte-order mark, and
// single-byte Windows-1252 text (any line that is not valid UTF-8 is read as such).
class COperateFileIni {
public:
    // Larger files are read only up to this size, which keeps a hostile file from exhausting memory.
    static constexpr std::size_t kMaxFileBytes = 8u << 20;

    COperateFileIni() = default;

    // Replaces the content with the file at path. False (and no content) when the file cannot be
    // read; an empty file is a successful load of nothing.
    bool Load(const std::string& path);

    // Replaces the content with the given file bytes.
    void LoadFromBytes(std::string_view bytes);

    // The value of key in section, at most max_chars characters, or default_value (cut to the same
    // length) when the section or the key is missing. A key with nothing after "=" is present and
    // yields the empty text.
    std::string GetString(std::string_view section, std::string_view key, std::string_view default_value,
                          std::size_t max_chars) const;

    bool HasSection(std::string_view section) const;
    std::size_t SectionCount() const { return sections.size(); }

    // One-shot read of a single value, as GetPrivateProfileString does it.
    static std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                                  std::string_view default_value, std::size_t max_chars);

private:
    struct Section {
        // Folded key -> value of the first line with that key.
        std::unordered_map<std::string, std::string> values;
    };

    void ParseLine(std::string_view line, Section*& current);

    std::vector<Section> sections;
    std::unordered_map<std::string, std::size_t> section_index;  // folded name -> first section
};

}  // namespace provix
