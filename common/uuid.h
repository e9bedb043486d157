#pragma once

#include <string>

namespace mivet {

// A new random (version 4) UUID in canonical upper-case form,
// e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427". The random bytes come from a
// per-thread pool that one system call refills every 16 UUIDs (libuuid makes
// several per UUID); libuuid is used when the system gives no random bytes.
std::string newUpperCaseUUID();

}  // namespace mivet
