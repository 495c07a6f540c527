#include "tests/platform/store/StoreCrash.h"

#include "platform/UniqueFd.h"
#include "platform/store/FileProfileStore.h"
#include "platform/store/ProfileTextFormat.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kestrel::testing {

namespace {

const std::string kSettings = "Software\\ORVA\\Kestrel\\Settings";

// One writer program, its standard output read line by line.
class Writer {
public:
    Writer(const StoreCrashRun &run, std::string prefix) : run(run), prefix(std::move(prefix)) {}
    ~Writer() { Kill(); }

    bool Start()
    {
        if (next >= run.writesEach)
            return true;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        platform::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
        const std::string fileArg = run.file.string();
        const std::string countArg = std::to_string(run.writesEach - next);
        const std::string firstArg = std::to_string(next);
        const std::string program = run.writerProgram.string();
        char *const argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>(fileArg.c_str()),
                              const_cast<char *>(prefix.c_str()), const_cast<char *>(countArg.c_str()),
                              const_cast<char *>(firstArg.c_str()), nullptr};
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid = -1;
            return false;
        }
        output = std::move(readEnd);
        pending.clear();
        return true;
    }

    // Reads reports until `count` more came or the writer ended; false at its end.
    bool ReadReports(int count)
    {
        while (count > 0) {
            const std::size_t newline = pending.find('\n');
            if (newline != std::string::npos) {
                const int index = std::stoi(pending.substr(0, newline));
                pending.erase(0, newline + 1);
                reported.push_back(index);
                next = index + 1;
                --count;
                continue;
            }
            std::array<char, 4096> chunk{};
            const ssize_t n = read(output.Get(), chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            pending.append(chunk.data(), static_cast<std::size_t>(n));
        }
        return true;
    }

    // SIGKILL now, wherever it is; what it reported before still counts.
    void Kill()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        Reap();
    }

    // Waits for a writer that is finishing on its own; its exit status.
    int Finish()
    {
        ReadReports(run.writesEach); // to its end
        return Reap();
    }

    bool Done() const { return next >= run.writesEach; }
    const std::vector<int> &Reported() const { return reported; }
    const std::string &Prefix() const { return prefix; }

private:
    int Reap()
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        output.Reset();
        // Reports still in the pipe were written before the kill.
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const StoreCrashRun &run;
    std::string prefix;
    pid_t pid = -1;
    platform::UniqueFd output;
    std::string pending;
    std::vector<int> reported;
    int next = 0;
};

std::string ReadText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Note(StoreCrashResult &result, std::string problem)
{
    if (result.problems.size() < 10)
        result.problems.push_back(std::move(problem));
}

void CheckFile(const StoreCrashRun &run, const std::vector<Writer *> &writers, StoreCrashResult &result)
{
    const std::string text = ReadText(run.file);
    auto parsed = platform::ParseProfileText(text);
    if (std::holds_alternative<platform::ProfileParseError>(parsed)) {
        ++result.unreadableVersions;
        Note(result, "a version of the file does not read");
        return;
    }
    const auto &tree = std::get<platform::ProfileTree>(parsed);
    for (const Writer *writer : writers) {
        for (int index : writer->Reported()) {
            const auto value = tree.ReadValue(kSettings, writer->Prefix() + std::to_string(index));
            if (value != platform::ProfileValue(static_cast<std::uint32_t>(index))) {
                ++result.lostValues;
                Note(result, writer->Prefix() + std::to_string(index) + " was reported written and is missing");
            }
        }
    }
}

int TemporaryFiles(const std::filesystem::path &file)
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        const std::string prefix = file.filename().string() + ".";
        count += name.size() == prefix.size() + 6 && name.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

} // namespace

StoreCrashResult RunStoreCrash(const StoreCrashRun &run)
{
    StoreCrashResult result;
    Writer a(run, "A"), b(run, "B");
    std::vector<Writer *> writers{&a, &b};
    if (!a.Start() || !b.Start()) {
        Note(result, "a writer did not start");
        return result;
    }
    std::mt19937 random(run.seed);
    // Kills spread over the run: each after a random number of reported writes.
    const int meanGap = std::max(1, 2 * run.writesEach / std::max(1, run.kills));
    std::uniform_int_distribution<int> gap(0, 2 * meanGap);
    while (result.kills < run.kills && !(a.Done() && b.Done())) {
        Writer &victim = *writers[random() % 2];
        if (victim.Done())
            continue;
        const bool running = victim.ReadReports(gap(random) / 2 + 1);
        victim.Kill();
        ++result.kills;
        CheckFile(run, writers, result);
        if (!running && !victim.Done())
            Note(result, "writer " + victim.Prefix() + " ended early");
        if (!victim.Start()) {
            Note(result, "writer " + victim.Prefix() + " did not restart");
            break;
        }
    }
    for (Writer *writer : writers) {
        if (!writer->Done() && writer->Finish() != 0)
            Note(result, "writer " + writer->Prefix() + " failed");
        result.reportedWrites += static_cast<int>(writer->Reported().size());
    }
    CheckFile(run, writers, result);
    if (TemporaryFiles(run.file) != 0)
        Note(result, "temporary files of killed writers were left behind");
    for (Writer *writer : writers)
        if (!writer->Done())
            Note(result, "writer " + writer->Prefix() + " did not finish its writes");
    return result;
}

} // namespace kestrel::testing
