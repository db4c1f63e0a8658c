#include "app/SingleInstanceLock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provix {

namespace {

std::string ParentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A folder in the shared /tmp must be our own private folder, not something another user planted
// (a symlink or a folder others can write to).
bool PreparePrivateFolder(const std::string& folder, std::string& error) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        error = "cannot inspect " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

}  // namespace

LockLocation SingleInstanceLockLocation(const char* runtime_dir, unsigned uid) {
    if (runtime_dir != nullptr && runtime_dir[0] == '/')
        return {std::string(runtime_dir) + "/" + kSingleInstanceName, false};
    return {"/tmp/provix-" + std::to_string(uid) + "/" + kSingleInstanceName, true};
}

SingleInstanceLock::SingleInstanceLock(std::string lock_path, bool private_folder_required)
    : path(std::move(lock_path)), private_folder(private_folder_required) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd >= 0)
        close(fd);
}

SingleInstanceLock::Result SingleInstanceLock::Acquire() {
    if (fd >= 0)
        return Result::Acquired;
    const std::string folder = ParentFolder(path);
    if (private_folder && !PreparePrivateFolder(folder, error))
        return Result::Unavailable;

    // Close-on-exec: a program started from here (the sheet editor) must not keep the lock alive
    // after Provix has ended.
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Result::Acquired;
    const int reason = errno;
    close(fd);
    fd = -1;
    if (reason == EWOULDBLOCK)
        return Result::HeldElsewhere;
    error = "cannot lock " + path + ": " + std::strerror(reason);
    return Result::Unavailable;
}

}  // namespace provix
