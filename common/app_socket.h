#pragma once

#include "unique_fd.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mivet {

// Longest socket path accepted, in bytes including the terminating NUL. It is
// the size of the path field on macOS and is applied on every platform.
inline constexpr std::size_t maxSocketPathBytes = 104;

enum class ConnectFailure {
  socketCreate,  // socket(2) failed
  pathTooLong,   // path plus NUL longer than maxSocketPathBytes; nothing was tried
  connect,       // nobody listens there, the connection was refused, or the path
                 // names no file (empty, or holding a NUL byte); nothing was tried then
  timedOut,      // something listens but took no connection within the time-out
};

// Opens a Unix-domain stream connection to `socketPath` whose every read and
// write, and the connection attempt itself, gives up after `timeoutSeconds`.
// A write to a peer that has gone never raises SIGPIPE on it. A path that is
// empty or holds a NUL byte is refused before anything is tried: on Linux it
// would name an abstract socket, which any local user can bind.
std::variant<UniqueFd, ConnectFailure> connectToAppSocket(const std::string& socketPath,
                                                          int timeoutSeconds);

// Writes `request` (one line, LF included) in a single write, then reads in
// 4096-byte chunks until the first LF and returns the bytes before it; the LF
// and whatever follows are discarded. nullopt on end of input, a read error
// or a time-out before the LF.
std::optional<std::string> exchangeLine(int fd, std::string_view request);

// exchangeLine with the answer put into `received`, whose content is replaced
// and whose capacity is kept, so that a caller exchanging large lines one
// after another can reuse one buffer. `request` must not point into
// `received`. False, with `received` emptied, where exchangeLine gives nullopt.
bool exchangeLineInto(int fd, std::string_view request, std::string& received);

}  // namespace mivet
