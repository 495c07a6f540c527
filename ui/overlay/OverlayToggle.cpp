#include "ui/overlay/OverlayToggle.h"

#include "platform/UniqueFd.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrel::ui::overlay {

namespace {

constexpr int kMaxLineBytes = 64;
constexpr int kClientSilenceLimitMs = 2000; // a client that says nothing is let go
constexpr auto kToggleAnswerLimit = std::chrono::milliseconds(2000);

bool PrivateDirectory(const std::string &path, bool create)
{
    if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

platform::UniqueFd ConnectTo(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return {};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    platform::UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket || ::connect(socket.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0)
        return {};
    return socket;
}

// The bind addresses of the sockets in `directory`.
std::vector<std::string> SocketAddresses(const std::string &directory)
{
    std::vector<std::string> addresses;
    DIR *folder = ::opendir(directory.c_str());
    if (!folder)
        return addresses;
    const std::string prefix = kToggleSocketPrefix;
    while (const dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size())
            addresses.push_back(name.substr(prefix.size()));
    }
    ::closedir(folder);
    return addresses;
}

// Writes the request and reads the one-line answer, within `timeout`.
std::optional<std::string> Exchange(const platform::UniqueFd &socket, std::chrono::milliseconds timeout)
{
    const std::string request = std::string(kToggleRequest) + "\n";
    if (::send(socket.Get(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string answer;
    while (answer.size() < kMaxLineBytes) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{socket.Get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) != 1)
            return std::nullopt;
        char buffer[kMaxLineBytes];
        const ssize_t got = ::recv(socket.Get(), buffer, sizeof(buffer), 0);
        if (got <= 0)
            return std::nullopt;
        answer.append(buffer, static_cast<std::size_t>(got));
        if (const auto end = answer.find('\n'); end != std::string::npos)
            return answer.substr(0, end);
    }
    return std::nullopt;
}

} // namespace

std::string ToggleSocketDirectory(bool create)
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        const std::string directory = std::string(runtime) + "/kestrel";
        if (PrivateDirectory(directory, create))
            return directory;
    }
    const std::string fallback = "/tmp/kestrel-" + std::to_string(::getuid());
    return PrivateDirectory(fallback, create) ? fallback : std::string();
}

std::string ToggleSocketPath(const std::string &directory, const std::string &bindAddress)
{
    return directory + "/" + kToggleSocketPrefix + bindAddress;
}

COverlayToggleServer::COverlayToggleServer(std::function<std::string()> handler, QObject *parent)
    : QObject(parent), toggle(std::move(handler)), server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &COverlayToggleServer::OnConnection);
}

COverlayToggleServer::~COverlayToggleServer()
{
    server->close(); // removes the socket file
}

bool COverlayToggleServer::Listen(const std::string &directory, const std::string &bindAddress)
{
    if (directory.empty())
        return false;
    const std::string path = ToggleSocketPath(directory, bindAddress);
    // Qt would put its socket in place of another program's one.
    if (ConnectTo(path))
        return false; // another program on this address answers there
    const QString name = QString::fromStdString(path);
    QLocalServer::removeServer(name); // left by a program that ended
    return server->listen(name);
}

std::string COverlayToggleServer::SocketPath() const
{
    return server->fullServerName().toStdString();
}

void COverlayToggleServer::OnConnection()
{
    while (QLocalSocket *client = server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QTimer::singleShot(kClientSilenceLimitMs, client, [client] { client->abort(); });
        connect(client, &QLocalSocket::readyRead, client, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > kMaxLineBytes)
                    client->abort();
                return;
            }
            const QByteArray line = client->readLine(kMaxLineBytes).trimmed();
            const std::string answer = line == kToggleRequest ? toggle() : std::string("unknown");
            client->write(QByteArray::fromStdString(answer + "\n"));
            client->disconnectFromServer(); // after the answer is written
        });
    }
}

ToggleReply RequestOverlayToggle(const std::string &directory, const std::optional<std::string> &bindAddress,
                                 std::chrono::milliseconds timeout)
{
    ToggleReply reply;
    if (directory.empty())
        return reply;
    std::vector<std::pair<std::string, platform::UniqueFd>> running;
    for (const std::string &address : SocketAddresses(directory)) {
        if (bindAddress && address != *bindAddress)
            continue;
        if (auto socket = ConnectTo(ToggleSocketPath(directory, address)))
            running.emplace_back(address, std::move(socket));
    }
    if (running.empty())
        return reply;
    if (running.size() > 1) {
        reply.status = ToggleReply::Status::SeveralInstances;
        for (const auto &entry : running)
            reply.addresses.push_back(entry.first);
        return reply;
    }
    const auto answer = Exchange(running.front().second, timeout);
    reply.status = answer ? ToggleReply::Status::Answered : ToggleReply::Status::NoAnswer;
    reply.answer = answer.value_or("");
    return reply;
}

int RunToggleOverlay(const std::optional<std::string> &bindAddress)
{
    const ToggleReply reply = RequestOverlayToggle(ToggleSocketDirectory(false), bindAddress, kToggleAnswerLimit);
    switch (reply.status) {
    case ToggleReply::Status::Answered: return 0;
    case ToggleReply::Status::NoInstance:
        if (bindAddress)
            std::fprintf(stderr, "kestrel: no Kestrel runs with --bind %s to toggle the floating picture of\n",
                         bindAddress->c_str());
        else
            std::fputs("kestrel: no Kestrel runs to toggle the floating picture of\n", stderr);
        return 1;
    case ToggleReply::Status::SeveralInstances: {
        std::string list;
        for (const std::string &address : reply.addresses)
            list += (list.empty() ? "" : ", ") + address;
        std::fprintf(stderr, "kestrel: several Kestrels run (bound to %s): choose one with --bind ADDRESS\n",
                     list.c_str());
        return 1;
    }
    case ToggleReply::Status::NoAnswer:
        std::fputs("kestrel: the running Kestrel did not answer the toggle request\n", stderr);
        return 1;
    }
    return 1;
}

} // namespace kestrel::ui::overlay
