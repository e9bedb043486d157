#pragma once

#include "MivetBrowserBridge/frame_workspace.h"

#include <unistd.h>

#include <string>

namespace mivet::bridge {

// Reads one frame from `from`, forwards its message to the application at
// `socketPath` and writes the answer as one frame to `to`. False when the
// bridge is to end: at end of input before a length field (nothing written),
// or after answering a length out of bounds ("frame_size_out_of_bounds") or a
// body that is cut short or not a JSON object ("invalid_json_frame").
bool serveNextFrame(const std::string& socketPath, FrameWorkspace& workspace,
                    int from = STDIN_FILENO, int to = STDOUT_FILENO);

// Serves frames one after another until serveNextFrame says to end.
void serveFrames(const std::string& socketPath, int from = STDIN_FILENO, int to = STDOUT_FILENO);

}  // namespace mivet::bridge
