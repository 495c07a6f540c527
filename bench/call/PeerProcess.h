#pragma once

#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::bench {

// What a peer reported: "values NAME V..." and "value NAME TEXT" lines.
struct PeerResults {
    std::map<std::string, std::vector<long long>> values;
    std::map<std::string, std::string> notes;

    const std::vector<long long> &Values(const std::string &name) const;
    std::optional<long long> Number(const std::string &name) const;
    std::string Note(const std::string &name) const;
};

// This benchmark run again as one peer, its standard input and output on
// pipes. The process is killed and reaped if it is still there when the
// object goes.
class PeerProcess {
public:
    explicit PeerProcess(const std::vector<std::string> &arguments);
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    // Reads up to the peer's next line; false at its end or after `limit`.
    bool ReadLine(std::string &line, std::chrono::milliseconds limit);
    bool Send(const std::string &line);
    // Everything up to the end of the peer's output, then its exit status.
    std::optional<PeerResults> Finish(std::chrono::milliseconds limit);

private:
    pid_t pid = -1;
    platform::UniqueFd toPeer;
    platform::UniqueFd fromPeer;
    std::string pending; // read, not yet a whole line
};

} // namespace kestrel::bench
