#pragma once

#include "app_sim/app.h"

#include <string>
#include <string_view>

namespace mivet::sim {

// Answers one request line (without its LF) with one response line (without
// its LF): {"ok":true,"result":...} or {"ok":false,"error":"..."}, also for a
// line that is not a request and for a method nobody knows.
std::string answerRequest(App& app, std::string_view requestLine);

}  // namespace mivet::sim
