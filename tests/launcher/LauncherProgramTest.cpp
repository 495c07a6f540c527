// kestrel-inst as users run it: copied beside an installer named "setup".
#include "platform/UniqueFd.h"
#include "tests/platform/store/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LauncherProgramTest : public ::testing::Test {
protected:
    LauncherProgramTest()
    {
        std::filesystem::create_directories(installDir);
        std::filesystem::create_directories(elsewhere);
        std::filesystem::copy_file(KESTREL_INST_PATH, installDir / "kestrel-inst");
    }

    void WriteSetup(const std::filesystem::path &directory, const std::string &script)
    {
        const auto path = directory / "setup";
        std::ofstream(path) << script;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    // Starts the copied launcher from `elsewhere`, without a display, with
    // its settings in the temporary directory; -1 when it cannot start.
    pid_t StartLauncher()
    {
        const std::string program = (installDir / "kestrel-inst").string();
        const std::string config = "XDG_CONFIG_HOME=" + (directory.Path() / "config").string();
        const std::string home = "HOME=" + directory.Path().string();
        char *const argv[] = {const_cast<char *>(program.c_str()), nullptr};
        char *const envp[] = {const_cast<char *>(config.c_str()), const_cast<char *>(home.c_str()),
                              const_cast<char *>("PATH=/usr/bin:/bin"), const_cast<char *>("LANG=C"), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, elsewhere.c_str());
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }

    static int WaitForExit(pid_t pid)
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int RunLauncher()
    {
        const pid_t pid = StartLauncher();
        return pid < 0 ? -1 : WaitForExit(pid);
    }

    kestrel::testing::TemporaryDirectory directory;
    std::filesystem::path installDir = directory.Path() / "install media";
    std::filesystem::path elsewhere = directory.Path() / "elsewhere";
    std::filesystem::path errors = directory.Path() / "stderr.txt";
};

// Opens a FIFO for reading and writing: neither end's open then waits.
kestrel::platform::UniqueFd OpenFifo(const std::filesystem::path &path)
{
    if (mkfifo(path.c_str(), 0600) != 0)
        return {};
    return kestrel::platform::UniqueFd(open(path.c_str(), O_RDWR | O_CLOEXEC));
}

TEST_F(LauncherProgramTest, RunsTheSetupBesideItInItsDirectoryAndWaitsForIt)
{
    // This process adopts whatever the launcher leaves behind: a launcher
    // that waited has reaped its setup, one that did not leaves it to us.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // The installer says it runs, then holds on until the test lets it go.
    const auto started = OpenFifo(installDir / "started");
    const auto release = OpenFifo(installDir / "release");
    ASSERT_TRUE(started && release);
    WriteSetup(installDir, "#!/bin/sh\necho \"$# $(pwd)\" > ran.tmp\necho up > started\n"
                           "read line < release\nmv ran.tmp ran\nexit 3\n");
    WriteSetup(elsewhere, "#!/bin/sh\ntouch wrong-setup-ran\n");
    const pid_t launcher = StartLauncher();
    ASSERT_GT(launcher, 0);
    pollfd running{started.Get(), POLLIN, 0};
    const bool setupRuns = poll(&running, 1, 10000) == 1;
    if (setupRuns) {
        siginfo_t info{};
        ASSERT_EQ(waitid(P_PID, static_cast<id_t>(launcher), &info, WEXITED | WNOHANG | WNOWAIT), 0);
        EXPECT_EQ(info.si_pid, 0) << "the launcher ended while its installer was still running";
    }
    ASSERT_EQ(write(release.Get(), "go\n", 3), 3);
    ASSERT_TRUE(setupRuns) << "the installer did not start";
    EXPECT_EQ(WaitForExit(launcher), 0) << "the installer's exit code is not passed on";
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the launcher left its installer unwaited for";
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(ReadText(installDir / "ran"), "0 " + installDir.string() + "\n")
        << "setup runs with no arguments in the launcher's own directory";
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "wrong-setup-ran"));
}

TEST_F(LauncherProgramTest, MissingSetupIsReportedOnStandardErrorWithoutADisplay)
{
    EXPECT_EQ(RunLauncher(), 0);
    EXPECT_EQ(ReadText(errors), "Error: Can not load ORVA Kestrel Setup program\n");
}

} // namespace
