#include "antitheft/TemplateStore.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provix {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool KeyReadsBack(std::string_view key) {
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos)
        return false;
    if (TrimBlanks(key).size() != key.size())
        return false;
    return key.front() != ';' && key.front() != '#' && key.front() != '[';
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd; }
    // Closing reports the last deferred write error on some file systems, so it is checked.
    bool Close() {
        const int result = ::close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The file that Save really replaces: a symbolic link keeps pointing at the updated file.
std::filesystem::path ReplaceTarget(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        auto resolved = std::filesystem::canonical(path, error);
        if (!error)
            return resolved;
    }
    return path;
}

int CreateTemporaryBeside(const std::filesystem::path& target, std::string& temp_path) {
    static std::atomic<unsigned> counter{0};
    auto folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter++);
        temp_path = (folder / name).string();
        // 0666 lets the umask decide, as for any new file; an existing file's mode is copied below.
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

bool TemplateStore::Load(const std::string& path) {
    const int raw_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    // Only a regular file: a directory would read as empty and a device or pipe might never end.
    if (raw_fd < 0 || ::fstat(raw_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (raw_fd >= 0)
            ::close(raw_fd);
        lastError = "Cannot open file: " + path;
        return false;
    }
    FileDescriptor fd(raw_fd);

    sections.clear();
    lastError.clear();
    auto current = sections.end();
    std::size_t line_number = 0;
    std::string pending;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t count = ::read(fd.Get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            // A store holding only the head of the file would drop the rest on the next save.
            sections.clear();
            lastError = "Cannot open file: " + path;
            return false;
        }
        if (count == 0)
            break;
        std::string_view chunk(buffer.data(), static_cast<std::size_t>(count));
        for (auto end = chunk.find('\n'); end != std::string_view::npos; end = chunk.find('\n')) {
            std::string_view line = chunk.substr(0, end);
            if (!pending.empty()) {
                pending.append(line);
                line = pending;
            }
            // Files written on Windows end their lines with CR LF.
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (!ParseLine(line, ++line_number, current))
                return false;
            pending.clear();
            chunk.remove_prefix(end + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty() && !ParseLine(pending, ++line_number, current))
        return false;
    return true;
}

bool TemplateStore::ParseLine(std::string_view line, std::size_t line_number,
                              std::map<std::string, TemplateSection>::iterator& current) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() == ';' || line.front() == '#')
        return true;

    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        auto [it, inserted] = sections.try_emplace(std::string(line.substr(1, line.size() - 2)));
        if (!inserted) {
            lastError =
                "Duplicate section \"" + it->first + "\" found at line " + std::to_string(line_number);
            sections.clear();
            return false;
        }
        // Lines under "[]" have no template to belong to.
        current = it->first.empty() ? sections.end() : it;
        return true;
    }

    if (current == sections.end())
        return true;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return true;
    const auto key = TrimBlanks(line.substr(0, equals));
    if (key.empty())
        return true;
    current->second.insert_or_assign(std::string(key), std::string(TrimBlanks(line.substr(equals + 1))));
    return true;
}

std::string TemplateStore::Serialize() const {
    std::string text;
    for (const auto& [name, keys] : sections) {
        text.append("[").append(name).append("]\r\n");
        for (const auto& [key, value] : keys)
            text.append(key).append("=").append(value).append("\r\n");
        text.append("\r\n");
    }
    return text;
}

bool TemplateStore::Save(const std::string& path) const {
    const auto target = ReplaceTarget(path);
    std::string temp_path;
    const int raw_fd = CreateTemporaryBeside(target, temp_path);
    if (raw_fd < 0)
        return false;
    FileDescriptor fd(raw_fd);

    struct stat info {};
    bool ok = true;
    if (::stat(target.c_str(), &info) == 0)
        ok = ::fchmod(fd.Get(), info.st_mode & 07777) == 0;
    // fsync before rename, or a crash could leave the new name pointing at empty blocks.
    ok = ok && WriteAll(fd.Get(), Serialize()) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp_path.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temp_path.c_str());
    return ok;
}

void TemplateStore::Clear() {
    sections.clear();
    lastError.clear();
}

std::vector<std::string> TemplateStore::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(sections.size());
    for (const auto& entry : sections)
        names.push_back(entry.first);
    return names;
}

std::string TemplateStore::GetValue(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
    const auto found_section = sections.find(section);
    if (found_section == sections.end())
        return fallback;
    const auto found_key = found_section->second.find(key);
    return found_key == found_section->second.end() ? fallback : found_key->second;
}

bool TemplateStore::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty() || HasLineBreak(section) || !KeyReadsBack(key) || HasLineBreak(value))
        return false;
    sections[section].insert_or_assign(key, value);
    return true;
}

bool TemplateStore::HasSection(const std::string& name) const {
    return sections.count(name) != 0;
}

void TemplateStore::RemoveSection(const std::string& name) {
    sections.erase(name);
}

}  // namespace provix
