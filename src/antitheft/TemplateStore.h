#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace provix {

// Keys of one template mapped to their values. std::string compares like memcmp (bytes as
// unsigned), so listings and the written file come out in plain byte order.
using TemplateSection = std::map<std::string, std::string>;

// In-memory image of the anti-theft template file ("IniTemplate/Config.ini"): one section per
// template. Names, keys and values are UTF-8 byte strings. Not thread-safe; each dialog owns one.
class TemplateStore {
public:
    // Replaces the store with the file's sections. When the file cannot be opened the store keeps
    // what it had; on a duplicate section header or a read error it is left empty.
    bool Load(const std::string& path);

    // Writes the whole store. The text goes to a temporary file beside the target that then
    // replaces it, so a failed save leaves the previous file whole. False when nothing was replaced.
    bool Save(const std::string& path) const;

    void Clear();

    std::vector<std::string> SectionNames() const;
    std::string GetValue(const std::string& section, const std::string& key,
                         const std::string& fallback) const;

    // Creates the section and the key when missing. Refuses (false, nothing changed) a text that
    // would not read back as itself from the file: a line break anywhere, an empty section name
    // (keys under "[]" are not read back), or a key that is empty, holds "=", has blanks at either
    // end or starts with ";", "#" or "[". A value's blanks at either end are trimmed when the file
    // is read back, as with any hand-written line.
    bool SetValue(const std::string& section, const std::string& key, const std::string& value);

    bool HasSection(const std::string& name) const;
    void RemoveSection(const std::string& name);

    const std::map<std::string, TemplateSection>& Sections() const { return sections; }
    // Text of the last failed Load; empty after a load that opened its file.
    const std::string& LastError() const { return lastError; }

    // The whole store as it is written to the file.
    std::string Serialize() const;

private:
    bool ParseLine(std::string_view line, std::size_t line_number,
                   std::map<std::string, TemplateSection>::iterator& current);

    std::map<std::string, TemplateSection> sections;
    std::string lastError;
};

}  // namespace provix
