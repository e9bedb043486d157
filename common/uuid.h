#pragma once

#include <string>

namespace mivet {

// A new random (version 4) UUID in canonical upper-case form,
// e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427".
std::string newUpperCaseUUID();

// Like newUpperCaseUUID, for callers that need one per message: the random
// bytes come from a per-thread pool that one system call refills every 16
// UUIDs, where newUpperCaseUUID makes several system calls each time. Falls
// back to newUpperCaseUUID when the system has no random bytes to give.
std::string newPooledUpperCaseUUID();

}  // namespace mivet
