#include "app/CApplicationApp.h"
#include "app/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace provix {
namespace {

// Records the steps instead of running them.
class RecordingApp : public CApplicationApp {
public:
    explicit RecordingApp(SingleInstanceLock::Result lock) : lock(lock) {}
    std::vector<std::string> steps;
    std::string folder;

protected:
    void InitWindowFramework(int&, char**) override { steps.push_back("window framework"); }
    void InitGraphics() override { steps.push_back("graphics"); }
    SingleInstanceLock::Result CreateInstanceLock() override {
        steps.push_back("instance lock");
        return lock;
    }
    void InitTranslation(const std::string& f) override {
        steps.push_back("translation");
        folder = f;
    }
    void ReadSettings() override { steps.push_back("settings"); }
    void ComposeSkinPaths() override { steps.push_back("skin paths"); }
    void ObtainTransmitManager() override { steps.push_back("transmit manager"); }
    void ObtainResultsStore() override { steps.push_back("results store"); }
    int RunMainWindow() override {
        steps.push_back("main window");
        return 0;
    }
    std::string ProgramFolder() override { return "/opt/Tools/App/"; }

private:
    SingleInstanceLock::Result lock;
};

TEST(Startup, StepsRunInOrderAndASecondInstanceStopsAtTheLock) {
    const std::vector<std::string> all = {"window framework", "graphics",      "instance lock",
                                          "translation",      "settings",      "skin paths",
                                          "transmit manager", "results store", "main window"};
    const struct {
        SingleInstanceLock::Result lock;
        std::size_t steps_run;
    } cases[] = {
        {SingleInstanceLock::Result::Acquired, all.size()},
        {SingleInstanceLock::Result::Unavailable, all.size()},
        {SingleInstanceLock::Result::HeldElsewhere, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.lock));
        RecordingApp app(c.lock);
        int argc = 1;
        char name[] = "provix";
        char* argv[] = {name, nullptr};
        EXPECT_EQ(app.InitInstance(argc, argv), 0);
        EXPECT_EQ(app.steps, std::vector<std::string>(all.begin(), all.begin() + c.steps_run));
        if (c.steps_run > 3) {
            EXPECT_EQ(app.folder, "/opt/Tools/App/");
        }
    }
}

// A folder below /tmp, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        char path[] = "/tmp/provix-lock-XXXXXX";
        if (mkdtemp(path) != nullptr)
            root = path;
    }
    ~TempFolder() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

TEST(SingleInstance, LockLocation) {
    const struct {
        const char* runtime_dir;
        const char* path;
        bool in_shared_tmp;
    } cases[] = {
        {"/run/user/1000", "/run/user/1000/Olvar_Provix", false},
        {nullptr, "/tmp/provix-1000/Olvar_Provix", true},
        {"", "/tmp/provix-1000/Olvar_Provix", true},
        {"relative/dir", "/tmp/provix-1000/Olvar_Provix", true},
    };
    for (const auto& c : cases) {
        const LockLocation where = SingleInstanceLockLocation(c.runtime_dir, 1000);
        EXPECT_EQ(where.path, c.path);
        EXPECT_EQ(where.in_shared_tmp, c.in_shared_tmp);
    }
}

TEST(SingleInstance, OneHolderAtATimeAndTheLockGoesWithItsHolder) {
    TempFolder folder;
    const std::string path = (folder.root / "Olvar_Provix").string();
    {
        SingleInstanceLock first(path, false);
        ASSERT_EQ(first.Acquire(), SingleInstanceLock::Result::Acquired);
        SingleInstanceLock second(path, false);
        EXPECT_EQ(second.Acquire(), SingleInstanceLock::Result::HeldElsewhere);
    }
    SingleInstanceLock third(path, false);
    EXPECT_EQ(third.Acquire(), SingleInstanceLock::Result::Acquired);
}

TEST(SingleInstance, SharedTmpFolderMustBePrivate) {
    TempFolder base;
    const struct {
        const char* name;
        std::function<std::filesystem::path(const std::filesystem::path&)> make;
        SingleInstanceLock::Result result;
    } cases[] = {
        {"missing, made private", [](const auto& b) { return b / "new"; },
         SingleInstanceLock::Result::Acquired},
        {"private already",
         [](const auto& b) {
             mkdir((b / "own").c_str(), 0700);
             return b / "own";
         },
         SingleInstanceLock::Result::Acquired},
        {"writable by others",
         [](const auto& b) {
             mkdir((b / "open").c_str(), 0700);
             chmod((b / "open").c_str(), 0777);
             return b / "open";
         },
         SingleInstanceLock::Result::Unavailable},
        {"a symlink planted in its place",
         [](const auto& b) {
             mkdir((b / "target").c_str(), 0700);
             std::filesystem::create_directory_symlink(b / "target", b / "link");
             return b / "link";
         },
         SingleInstanceLock::Result::Unavailable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path folder = c.make(base.root);
        SingleInstanceLock lock((folder / "Olvar_Provix").string(), true);
        EXPECT_EQ(lock.Acquire(), c.result) << lock.Error();
        if (c.result == SingleInstanceLock::Result::Acquired) {
            struct stat info {};
            ASSERT_EQ(stat(folder.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        }
    }
}

// The real program started while the lock is held ends at once, with 0, having made nothing.
TEST(SingleInstance, SecondProgramEndsSilently) {
    TempFolder runtime;
    SingleInstanceLock held((runtime.root / "Olvar_Provix").string(), false);
    ASSERT_EQ(held.Acquire(), SingleInstanceLock::Result::Acquired);

    const std::string program = PROVIX_STAGE_DIR "/provix";
    const std::string database = PROVIX_STAGE_DIR "/data.db";
    const bool database_before = std::filesystem::exists(database);
    const std::string output = (runtime.root / "output.txt").string();

    std::vector<std::string> env_text = {"XDG_RUNTIME_DIR=" + runtime.root.string(),
                                         "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin",
                                         // Under the sanitizer build, the libraries' leftovers at exit
                                         // are not what this test is about.
                                         "ASAN_OPTIONS=detect_leaks=0"};
    std::vector<char*> env;
    for (std::string& e : env_text)
        env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    // A program that opened its window would wait for the operator; give up on it instead of
    // hanging the suite.
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 600 && (done = waitpid(pid, &status, WNOHANG)) == 0; ++i)
        usleep(100 * 1000);
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the second instance did not end";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::file_size(output), 0u) << "no message of any kind";
    if (!database_before) {
        EXPECT_FALSE(std::filesystem::exists(database)) << "the results store must not be created";
    }
}

}  // namespace
}  // namespace provix
