#pragma once

#include <stdexcept>

namespace mivet::sim {

// A request that cannot be carried out as asked: a missing or malformed
// argument, or an id that names no task. Its text goes back to the client as
// the answer's error.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace mivet::sim
