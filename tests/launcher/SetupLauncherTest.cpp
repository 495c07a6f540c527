#include "launcher/LauncherCommandLine.h"
#include "launcher/SetupLauncher.h"
#include "platform/store/MemoryProfileStore.h"
#include "platform/ui/RecordingMessageBox.h"
#include "platform/ui/Translation.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel::launcher;
using kestrel::platform::MemoryProfileStore;
using kestrel::platform::ProfileValue;
using kestrel::platform::RecordingMessageBox;

namespace {

const std::string kProfileKey = "Software\\ORVA\\Kestrel";

// Every platform call of the launcher, recorded in the order made.
class FakeSystem : public IWorkingDirectory, public IOsVersionSource, public IProcessRunner, public IRestartPrompt {
public:
    bool Change(const std::string &directory) override
    {
        calls.push_back("chdir " + directory);
        return directoryExists;
    }
    OsVersion Read() override { return version; }
    bool RunAndWait(const std::string &program) override
    {
        calls.push_back("run " + program);
        return installerStarts;
    }
    void Prompt() override { calls.push_back("restart prompt"); }

    OsVersion version{OsFamily::Linux, 6, 1};
    bool directoryExists = true;
    bool installerStarts = true;
    std::vector<std::string> calls;
};

class SetupLauncherTest : public ::testing::Test {
protected:
    int Run(std::string_view commandLine = "/opt/kestrel/kestrel-inst")
    {
        return RunSetupLauncher(commandLine, {system, system, system, system, messages, store});
    }
    void RequestRestart(ProfileValue value)
    {
        ASSERT_TRUE(store.CreateKey(kProfileKey));
        ASSERT_TRUE(store.WriteValue(kProfileKey, "Win2KInstall", value));
    }

    FakeSystem system;
    RecordingMessageBox messages;
    MemoryProfileStore store;
};

using Calls = std::vector<std::string>;

TEST_F(SetupLauncherTest, InstallerRunsInTheLaunchersDirectoryAndNothingFollowsOffWindows2000)
{
    RequestRestart(ProfileValue(1u));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(system.calls, (Calls{"chdir /opt/kestrel/", "run setup"}));
    EXPECT_EQ(store.ReadValue(kProfileKey, "Win2KInstall"), ProfileValue(1u));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SetupLauncherTest, LinuxKernelFiveZeroIsNotWindows2000)
{
    system.version = {OsFamily::Linux, 5, 0};
    RequestRestart(ProfileValue(1u));
    Run();
    EXPECT_EQ(system.calls.back(), "run setup");
}

TEST_F(SetupLauncherTest, RestartRequestOnWindows2000IsClearedAndPromptedOnce)
{
    system.version = {OsFamily::WindowsNT, 5, 0};
    RequestRestart(ProfileValue(1u));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(system.calls, (Calls{"chdir /opt/kestrel/", "run setup", "restart prompt"}));
    EXPECT_EQ(store.ReadValue("software\\orva\\kestrel", "Win2KInstall"), ProfileValue(0u));
}

TEST_F(SetupLauncherTest, OnWindows2000AnyOtherRequestOrNoneDoesNothing)
{
    system.version = {OsFamily::WindowsNT, 5, 0};
    Run();
    EXPECT_FALSE(store.KeyExists(kProfileKey)) << "the key is opened without creating it";
    for (const ProfileValue &value : {ProfileValue(2u), ProfileValue(0u), ProfileValue(std::string("1"))}) {
        RequestRestart(value);
        system.calls.clear();
        Run();
        EXPECT_EQ(system.calls.back(), "run setup");
        EXPECT_EQ(store.ReadValue(kProfileKey, "Win2KInstall"), value);
    }
    system.version = {OsFamily::WindowsNT, 5, 1};
    RequestRestart(ProfileValue(1u));
    system.calls.clear();
    Run();
    EXPECT_EQ(system.calls.back(), "run setup") << "Windows XP is not Windows 2000";
}

TEST_F(SetupLauncherTest, InstallerThatCannotStartIsReportedAndTheExitCodeStaysZero)
{
    system.version = {OsFamily::WindowsNT, 5, 0};
    system.installerStarts = false;
    RequestRestart(ProfileValue(1u));
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Can not load ORVA Kestrel Setup program");
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(system.calls.back(), "run setup") << "no restart after a failed start";
    EXPECT_EQ(store.ReadValue(kProfileKey, "Win2KInstall"), ProfileValue(1u));
}

TEST_F(SetupLauncherTest, ErrorIsShownInTraditionalChineseForATaiwanLocale)
{
    int argc = 1;
    char name[] = "launcher_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTranslator translator;
    ASSERT_TRUE(kestrel::platform::InstallTranslation(translator, QLocale(QStringLiteral("zh_TW")),
                                                      QStringLiteral(":/i18n/kestrel_inst")));
    system.installerStarts = false;
    Run();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "無法載入 ORVA Kestrel 安裝程式");
    EXPECT_EQ(messages.shown[0].caption, "錯誤");
}

TEST_F(SetupLauncherTest, UnsettableDirectoryIsIgnoredAndTheInstallerStillRuns)
{
    system.directoryExists = false;
    EXPECT_EQ(Run("kestrel-inst"), 0);
    EXPECT_EQ(system.calls, (Calls{"chdir kestrel-inst", "run setup"}));
}

TEST_F(SetupLauncherTest, CutCommandLineLeavesTheDirectoryAlone)
{
    const std::string longPath = "/" + std::string(300, 'd') + "/kestrel-inst";
    Run(longPath);
    EXPECT_EQ(system.calls, (Calls{"run setup"}));
}

TEST(LauncherCommandLine, TextEndsAfterTheLastSeparatorAndIsCutToTheBuffer)
{
    EXPECT_EQ(DirectoryFromCommandLine("/opt/kestrel/kestrel-inst", '/').text, "/opt/kestrel/");
    EXPECT_EQ(DirectoryFromCommandLine("kestrel-inst --x", '/').text, "kestrel-inst --x") << "no separator: unchanged";
    EXPECT_EQ(DirectoryFromCommandLine("\"C:\\Kestrel\\KestrelInst.exe\"", '\\').text, "\"C:\\Kestrel\\")
        << "a leading quotation mark stays";
    EXPECT_EQ(DirectoryFromCommandLine("", '/').text, "");

    const std::string fits(259, 'a');
    EXPECT_FALSE(DirectoryFromCommandLine(fits, '/').cut);
    EXPECT_EQ(DirectoryFromCommandLine(fits, '/').text, fits);
    const std::string tooLong = std::string(200, 'a') + "/" + std::string(58, 'b') + "/cc";
    const DirectoryText cut = DirectoryFromCommandLine(tooLong, '/');
    EXPECT_TRUE(cut.cut);
    EXPECT_EQ(cut.text, tooLong.substr(0, 201)) << "a separator beyond the 259 kept characters does not count";
    const DirectoryText noSeparator = DirectoryFromCommandLine(std::string(1000, 'x'), '/');
    EXPECT_EQ(noSeparator.text.size(), 259u);
}

} // namespace
