#include "platform/store/FileLock.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/ProfileTextFormat.h"
#include "platform/store/StoreLocation.h"
#include "tests/platform/store/StoreCrash.h"
#include "tests/platform/store/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kestrel::platform;
using namespace std::chrono_literals;

extern char **environ;

namespace {

const std::string kSettings = "Software\\ORVA\\Kestrel\\Settings";

std::string ReadText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::filesystem::path &path, std::string_view text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::filesystem::path> FilesSetAside(const std::filesystem::path &directory)
{
    std::vector<std::filesystem::path> found;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        if (entry.path().filename().string().starts_with("kestrel.reg.corrupt-"))
            found.push_back(entry.path());
    return found;
}

class FileProfileStoreTest : public ::testing::Test {
protected:
    kestrel::testing::TemporaryDirectory directory;
    std::filesystem::path file = directory.Path() / "kestrel" / "kestrel.reg";
};

TEST_F(FileProfileStoreTest, CorruptFileReadsAsDefaultsAndIsKeptAsideNotOverwritten)
{
    const std::string damaged = "[Software\\ORVA\\Kestrel\\Settings]\n\"Transparency\"=dword:0000003";
    WriteText(file, damaged + "\n\"PosX\"=garbage\n");
    FileProfileStore store(file);

    EXPECT_FALSE(store.ReadValue(kSettings, "Transparency")) << "nothing of a damaged file may be trusted";
    EXPECT_FALSE(store.KeyExists(kSettings));
    EXPECT_TRUE(FilesSetAside(file.parent_path()).empty()) << "reading alone must not move the file";

    ASSERT_TRUE(store.CreateKey(kSettings));
    ASSERT_TRUE(store.WriteValue(kSettings, "Transparency", ProfileValue(40u)));
    const auto aside = FilesSetAside(file.parent_path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(aside[0]), damaged + "\n\"PosX\"=garbage\n") << "the damaged file must be kept as it was";
    EXPECT_TRUE(std::holds_alternative<ProfileTree>(ParseProfileText(ReadText(file))));
    EXPECT_EQ(FileProfileStore(file).ReadValue(kSettings, "Transparency"), ProfileValue(40u));
}

TEST_F(FileProfileStoreTest, HugeOrBinaryFileDoesNotCrashAndIsKeptAside)
{
    WriteText(file, std::string(5 * 1024 * 1024, '\0'));
    FileProfileStore store(file);
    EXPECT_FALSE(store.KeyExists("Software"));
    EXPECT_TRUE(store.CreateKey(kSettings));
    EXPECT_EQ(FilesSetAside(file.parent_path()).size(), 1u);
}

TEST_F(FileProfileStoreTest, HostileFileReadsAsDefaultsWithoutCrashingAndIsKeptIntactOnTheNextWrite)
{
    // A key path nested 500,000 deep: as a tree built recursively it would
    // overflow the stack of the program reading it.
    std::string path = "[k";
    for (int i = 0; i < 500000; ++i)
        path += "\\k";
    const std::string hostile = path + "]\n\"v\"=dword:1\n";
    WriteText(file, hostile);
    FileProfileStore store(file);
    EXPECT_FALSE(store.KeyExists("k"));
    ASSERT_TRUE(store.CreateKey(kSettings));
    const auto aside = FilesSetAside(file.parent_path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(aside[0]), hostile);
    EXPECT_TRUE(store.KeyExists(kSettings));
}

TEST_F(FileProfileStoreTest, ReadsNeverCreateTheFileButCreateOnOpenDoes)
{
    FileProfileStore store(file);
    EXPECT_FALSE(store.ReadValue(kSettings, "Key"));
    EXPECT_FALSE(store.KeyExists(kSettings));
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(store.CreateKey(kSettings)) << "the config directory must be created when missing";
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(FileProfileStoreTest, ChangeByAnotherProgramIsSeenByTheNextRead)
{
    FileProfileStore first(file);
    FileProfileStore second(file);
    ASSERT_TRUE(first.CreateKey(kSettings));
    ASSERT_TRUE(first.WriteValue(kSettings, "PosX", ProfileValue(1u)));
    EXPECT_EQ(second.ReadValue(kSettings, "PosX"), ProfileValue(1u));
    ASSERT_TRUE(second.WriteValue(kSettings, "PosY", ProfileValue(2u)));
    ASSERT_TRUE(first.WriteValue(kSettings, "PosX", ProfileValue(3u)));
    EXPECT_EQ(second.ReadValue(kSettings, "PosY"), ProfileValue(2u)) << "a write must not undo another's";
    EXPECT_EQ(second.ReadValue(kSettings, "PosX"), ProfileValue(3u));
}

TEST_F(FileProfileStoreTest, LockHeldByAHungProgramFailsTheWriteInsteadOfHanging)
{
    FileProfileStore store(file, 50ms);
    ASSERT_TRUE(store.CreateKey(kSettings));
    FileLock hung(file.string() + ".lock", 0ms);
    ASSERT_TRUE(hung.Locked());
    EXPECT_FALSE(store.WriteValue(kSettings, "PosX", ProfileValue(1u)));
    EXPECT_TRUE(store.KeyExists(kSettings)) << "reads go on while the lock is held";
}

TEST_F(FileProfileStoreTest, ConfigDirectoryThatCannotBeMadeFailsQuietly)
{
    WriteText(file.parent_path(), "a file where the directory should be");
    FileProfileStore store(file, 50ms);
    EXPECT_FALSE(store.CreateKey(kSettings));
    EXPECT_FALSE(store.ReadValue(kSettings, "Key"));
    EXPECT_EQ(ReadText(file.parent_path()), "a file where the directory should be");
}

TEST_F(FileProfileStoreTest, FifoInPlaceOfTheFileNeitherHangsNorIsReplaced)
{
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    FileProfileStore store(file, 50ms);
    EXPECT_FALSE(store.ReadValue(kSettings, "Key"));
    EXPECT_FALSE(store.CreateKey(kSettings));
    EXPECT_TRUE(std::filesystem::is_fifo(file));
}

pid_t StartWriter(const std::filesystem::path &file, const char *prefix, int count)
{
    const std::string fileArg = file.string();
    const std::string countArg = std::to_string(count);
    char *const argv[] = {const_cast<char *>(STORE_WRITER_PATH), const_cast<char *>(fileArg.c_str()),
                          const_cast<char *>(prefix), const_cast<char *>(countArg.c_str()), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, STORE_WRITER_PATH, nullptr, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

int WaitForExit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileProfileStoreTest, TwoProgramsWritingAtOnceLoseNothingAndTheFileIsAlwaysWhole)
{
    constexpr int kValuesEach = 150;
    const pid_t a = StartWriter(file, "A", kValuesEach);
    const pid_t b = StartWriter(file, "B", kValuesEach);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);

    // While they write, every version of the file a reader can see must parse.
    int torn = 0;
    int versionsSeen = 0;
    bool finished = false;
    while (!finished) {
        int status = 0;
        finished = ::waitpid(a, &status, WNOHANG) == a;
        if (finished) {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const std::string text = ReadText(file);
        if (!text.empty()) {
            ++versionsSeen;
            torn += std::holds_alternative<ProfileParseError>(ParseProfileText(text)) ? 1 : 0;
        }
    }
    ASSERT_EQ(WaitForExit(b), 0);
    EXPECT_EQ(torn, 0) << "of " << versionsSeen << " versions read";

    FileProfileStore store(file);
    for (int i = 0; i < kValuesEach; ++i) {
        EXPECT_EQ(store.ReadValue(kSettings, "A" + std::to_string(i)), ProfileValue(static_cast<std::uint32_t>(i)));
        EXPECT_EQ(store.ReadValue(kSettings, "B" + std::to_string(i)), ProfileValue(static_cast<std::uint32_t>(i)));
    }
    EXPECT_EQ(store.ReadValue(kSettings, "ALast"), ProfileValue(std::to_string(kValuesEach - 1)));
    EXPECT_EQ(store.ReadValue(kSettings, "BLast"), ProfileValue(std::to_string(kValuesEach - 1)));
}

TEST_F(FileProfileStoreTest, WritersKilledMidWriteNeverLoseAReportedValueNorLeaveAHalfWrittenFile)
{
    kestrel::testing::StoreCrashRun run;
    run.file = file;
    run.writerProgram = STORE_WRITER_PATH;
    run.writesEach = 150;
    run.kills = 20;
    run.seed = 7;
    std::filesystem::create_directories(file.parent_path());
    const auto result = kestrel::testing::RunStoreCrash(run);
    for (const std::string &problem : result.problems)
        ADD_FAILURE() << problem;
    EXPECT_EQ(result.kills, 20);
    EXPECT_EQ(result.lostValues, 0);
    EXPECT_EQ(result.unreadableVersions, 0);
    EXPECT_EQ(result.reportedWrites, 2 * 150) << "both writers finished their writes";
}

TEST_F(FileProfileStoreTest, NoHomeDirectoryMeansDefaultsAndNoStrayFiles)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(directory.Path());
    FileProfileStore store{std::filesystem::path()};
    EXPECT_FALSE(store.CreateKey(kSettings));
    EXPECT_FALSE(store.ReadValue(kSettings, "Key"));
    EXPECT_TRUE(std::filesystem::is_empty(directory.Path())) << "nothing may be written into the current directory";
    std::filesystem::current_path(previous);
}

TEST(StoreLocation, FollowsXdgConfigHomeAndIgnoresARelativeOne)
{
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/elsewhere", 1);
    EXPECT_EQ(DefaultStoreFile(), std::filesystem::path("/tmp/elsewhere/kestrel/kestrel.reg"));
    ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(DefaultStoreFile(), std::filesystem::path("/home/someone/.config/kestrel/kestrel.reg"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultStoreFile(), std::filesystem::path("/home/someone/.config/kestrel/kestrel.reg"));
}

} // namespace
