#pragma once

#include <string>
#include <vector>

namespace mivet::test {

// Valid JSON values that no 64-bit integer or double holds (too large, or
// rounded to zero although not zero), and strings with escaped surrogates
// that have no partner (a string cut inside an emoji).
// Each must travel through the programs exactly as written here.
inline const std::vector<std::string> unusualJsonValues = {
    "12345678901234567890123",
    "-98765432109876543210",
    "1e400",
    "-2.5E+999",
    "1e-400",
    "-2.5E-400",
    "4.5E-99999",
    R"("\ud800")",
    R"("a\udc00b\ud83d")",
};

}  // namespace mivet::test
