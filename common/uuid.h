#pragma once

#include <string>

namespace mivet {

// A new random (version 4) UUID in canonical upper-case form,
// e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427". The random bytes come from a
// per-thread pool that one getentropy call refills every 16 UUIDs.
std::string newUpperCaseUUID();

}  // namespace mivet
