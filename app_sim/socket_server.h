#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace mivet::sim {

// Turns one request line (without its LF) into one answer line (without its LF).
using RequestHandler = std::function<std::string(std::string_view requestLine)>;

struct ServerLimits {
  std::size_t maxRequestBytes = std::size_t{16} << 20;  // 16 MiB
  // How long a client may keep a connection open without finishing its request.
  std::chrono::milliseconds idleTimeout{30'000};
};

// Accepts connections on `listenFd` and serves each on a thread of its own:
// reads up to the first LF (or the end of input), answers with one line and
// closes. Returns once `stopFd` becomes readable, after the connections in
// progress have ended; waiting reads give up at that moment too.
void serveConnections(int listenFd, int stopFd, const RequestHandler& handler,
                      const ServerLimits& limits = {});

}  // namespace mivet::sim
