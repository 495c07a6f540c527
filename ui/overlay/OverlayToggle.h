#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;

namespace kestrel::ui::overlay {

// `kestrel --toggle-overlay` reaches the running program through a local
// socket per bind address, "toggle-overlay-ADDRESS" in the user's runtime
// directory ($XDG_RUNTIME_DIR/kestrel, else /tmp/kestrel-UID), mode 0700.
// The request is the line "toggle-overlay"; the answer one line: "shown",
// "hidden", "no-call" or "unavailable".
inline constexpr const char *kToggleRequest = "toggle-overlay";
inline constexpr const char *kToggleSocketPrefix = "toggle-overlay-";

// The folder of the sockets; empty when XDG_RUNTIME_DIR is unusable and the
// fallback belongs to someone else.
std::string ToggleSocketDirectory(bool create);
std::string ToggleSocketPath(const std::string &directory, const std::string &bindAddress);

// Serves toggle requests on the user-interface thread. A socket left by a
// program that ended is replaced; one a running program still answers on is
// left alone (Listen then fails).
class COverlayToggleServer final : public QObject {
    Q_OBJECT
public:
    // The handler toggles and returns the answer line (without newline).
    explicit COverlayToggleServer(std::function<std::string()> toggle, QObject *parent = nullptr);
    ~COverlayToggleServer() override;

    bool Listen(const std::string &directory, const std::string &bindAddress);
    std::string SocketPath() const;

private:
    void OnConnection();

    std::function<std::string()> toggle;
    QLocalServer *server = nullptr;
};

// The outcome of asking a running program to toggle.
struct ToggleReply {
    enum class Status { Answered, NoInstance, SeveralInstances, NoAnswer };
    Status status = Status::NoInstance;
    std::string answer;                 // with Answered: the program's line
    std::vector<std::string> addresses; // with SeveralInstances: their bind addresses
};

// Asks the program bound to `bindAddress`, or without one the only program
// running, to toggle its floating picture; waits at most `timeout` for the
// answer. Blocking; needs no event loop.
ToggleReply RequestOverlayToggle(const std::string &directory, const std::optional<std::string> &bindAddress,
                                 std::chrono::milliseconds timeout);

// `kestrel --toggle-overlay [--bind ADDRESS]`: asks, prints a clear message
// on standard error when no program answered, and returns the exit code (0
// answered, 1 otherwise).
int RunToggleOverlay(const std::optional<std::string> &bindAddress);

} // namespace kestrel::ui::overlay
