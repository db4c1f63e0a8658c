#pragma once

#include <string>

namespace provix {

// Name of the per-user lock that keeps one desktop program per user.
inline constexpr const char* kSingleInstanceName = "Olvar_Provix";

// Where a user's lock file lives: in the runtime folder when $XDG_RUNTIME_DIR names an absolute
// path, else in "/tmp/provix-<uid>", a folder of the shared /tmp that must be checked before use.
struct LockLocation {
    std::string path;
    bool in_shared_tmp = false;
};
LockLocation SingleInstanceLockLocation(const char* runtime_dir, unsigned uid);

// An exclusive flock on the lock file, held until the object goes (or the process ends, so a
// crashed instance never blocks the next start).
class SingleInstanceLock {
public:
    enum class Result {
        Acquired,
        HeldElsewhere,  // another instance of the same user runs
        Unavailable,    // the lock file cannot be made or locked; see Error()
    };

    // With private_folder the lock's folder is created if missing and must be a folder of this
    // user that nobody else can write to (another user could otherwise plant the lock file).
    SingleInstanceLock(std::string path, bool private_folder);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Result Acquire();
    const std::string& Path() const { return path; }
    const std::string& Error() const { return error; }

private:
    std::string path;
    std::string error;
    bool private_folder;
    int fd = -1;
};

}  // namespace provix
