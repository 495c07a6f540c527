// kestrel-inst as users run it: copied beside an installer named "setup".
#include "tests/platform/store/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>

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

    // Runs the copied launcher from `elsewhere`, without a display, with its
    // settings in the temporary directory; returns its exit code.
    int RunLauncher()
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
        if (spawned != 0)
            return -1;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    kestrel::testing::TemporaryDirectory directory;
    std::filesystem::path installDir = directory.Path() / "install media";
    std::filesystem::path elsewhere = directory.Path() / "elsewhere";
    std::filesystem::path errors = directory.Path() / "stderr.txt";
};

TEST_F(LauncherProgramTest, RunsTheSetupBesideItInItsDirectoryAndWaitsForIt)
{
    // The installer is still writing when a launcher that did not wait would be gone.
    WriteSetup(installDir, "#!/bin/sh\necho \"$# $(pwd)\" > ran.tmp\nmv ran.tmp ran\nexit 3\n");
    WriteSetup(elsewhere, "#!/bin/sh\ntouch wrong-setup-ran\n");
    EXPECT_EQ(RunLauncher(), 0) << "the installer's exit code is not passed on";
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
