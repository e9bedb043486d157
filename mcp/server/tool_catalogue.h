#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// The text handed out as "instructions" by "initialize".
inline constexpr std::string_view serverInstructions =
    "Use Mivet tools to add, list, complete, rename, reschedule, reorder, or remove tasks in the "
    "user's Mivet desktop and iPhone task list, or check today's schedule. Tasks added via "
    "tasks_add sync automatically across Mac and iPhone.";

// The ten tool descriptors as one compact JSON array, in their fixed order.
// Built on first use and never changed.
const std::string& toolDefinitions();

}  // namespace mivet::mcp
