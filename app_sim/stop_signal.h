#pragma once

#include "common/unique_fd.h"

namespace mivet::sim {

// Returns a descriptor that becomes readable, and stays so, once SIGINT or
// SIGTERM arrives; those signals no longer end the process by themselves.
// Also ignores SIGPIPE, so a client that hangs up cannot end the process.
// Call once.
UniqueFd stopOnTerminationSignals();

}  // namespace mivet::sim
