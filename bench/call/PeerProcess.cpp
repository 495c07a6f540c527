#include "bench/call/PeerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kestrel::bench {

const std::vector<long long> &PeerResults::Values(const std::string &name) const
{
    static const std::vector<long long> none;
    const auto found = values.find(name);
    return found == values.end() ? none : found->second;
}

std::optional<long long> PeerResults::Number(const std::string &name) const
{
    const std::string text = Note(name);
    char *end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        return std::nullopt;
    return number;
}

std::string PeerResults::Note(const std::string &name) const
{
    const auto found = notes.find(name);
    return found == notes.end() ? std::string() : found->second;
}

PeerProcess::PeerProcess(const std::vector<std::string> &arguments)
{
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        std::perror("pipe");
        return;
    }
    platform::UniqueFd inputRead(input[0]), outputWrite(output[1]);
    toPeer.Reset(input[1]);
    fromPeer.Reset(output[0]);
    std::vector<char *> argv;
    static char self[] = "/proc/self/exe";
    argv.push_back(self);
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        dup2(inputRead.Get(), STDIN_FILENO);
        dup2(outputWrite.Get(), STDOUT_FILENO);
        execv(self, argv.data());
        _exit(127);
    }
    if (pid < 0)
        std::perror("fork");
}

PeerProcess::~PeerProcess()
{
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool PeerProcess::ReadLine(std::string &line, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto newline = pending.find('\n');
        if (newline != std::string::npos) {
            line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !fromPeer)
            return false;
        pollfd ready{fromPeer.Get(), POLLIN, 0};
        const int polled = poll(&ready, 1, int(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        char chunk[65536];
        const ssize_t got = read(fromPeer.Get(), chunk, sizeof chunk);
        if (got <= 0)
            return false;
        pending.append(chunk, std::size_t(got));
    }
}

bool PeerProcess::Send(const std::string &line)
{
    const std::string text = line + "\n";
    return toPeer && write(toPeer.Get(), text.data(), text.size()) == ssize_t(text.size());
}

std::optional<PeerResults> PeerProcess::Finish(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    PeerResults results;
    std::string line;
    while (ReadLine(line, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()))) {
        std::istringstream words(line);
        std::string kind, name;
        words >> kind >> name;
        if (kind == "values") {
            auto &values = results.values[name];
            long long value = 0;
            while (words >> value)
                values.push_back(value);
        } else if (kind == "value") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            results.notes[name] = rest;
        }
    }
    if (pid <= 0)
        return std::nullopt;
    // The output ended (or the time is up): the peer has at most a moment left.
    int status = 0;
    pid_t reaped = 0;
    while (std::chrono::steady_clock::now() < deadline && (reaped = waitpid(pid, &status, WNOHANG)) == 0)
        poll(nullptr, 0, 10);
    if (reaped != pid) {
        std::fprintf(stderr, "a peer did not end in time\n");
        return std::nullopt;
    }
    pid = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a peer failed (status %d)\n", status);
        return std::nullopt;
    }
    return results;
}

} // namespace kestrel::bench
