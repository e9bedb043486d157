#pragma once

#include "common/json_reader.h"

#include <simdjson.h>

#include <memory>
#include <string>

namespace mivet::bridge {

// Storage that one frame after another reuses, so a frame of 1 MiB costs no
// fresh allocation and no more than one copy of its body is kept.
struct FrameWorkspace {
  // The incoming body, then the request line built from it, then the reply.
  std::string bytes;
  // Holds the parsed message until the request is built, then the app's answer.
  std::unique_ptr<simdjson::dom::parser> parser = newJsonParser();
};

}  // namespace mivet::bridge
