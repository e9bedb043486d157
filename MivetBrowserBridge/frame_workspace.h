#pragma once

#include "MivetBrowserBridge/in_place_json.h"

#include <string>

namespace mivet::bridge {

// Storage that one frame after another reuses, so that a frame of 1 MiB costs
// no fresh allocation and at most two copies of it are held at a time.
struct FrameWorkspace {
  // The incoming body, then the application's answer line.
  std::string body;
  // The request's params as compact JSON, then the whole request line, then
  // the reply when the answer line cannot be written as it is.
  std::string request;
  // For the texts that the text walk cannot vouch for: the parsed message
  // until the request is built, then the parsed answer.
  ObjectParsers parsers = newObjectParsers();
};

}  // namespace mivet::bridge
