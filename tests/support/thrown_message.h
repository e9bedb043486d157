#pragma once

#include <stdexcept>
#include <string>

namespace mivet::test {

// The description of the std::runtime_error that `action()` throws; "" when
// it returns normally.
template <typename Action>
std::string thrownMessage(Action&& action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

}  // namespace mivet::test
