#include "mcp/server/utf8_repair.h"

namespace mivet::mcp {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

struct LeadByte {
  int continuations;       // -1: the byte cannot start a sequence
  unsigned char firstLow;  // allowed range of the first continuation byte
  unsigned char firstHigh;
};

LeadByte classify(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {1, 0x80, 0xBF};
  if (lead == 0xE0) return {2, 0xA0, 0xBF};
  if (lead == 0xED) return {2, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {2, 0x80, 0xBF};
  if (lead == 0xF0) return {3, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {3, 0x80, 0xBF};
  if (lead == 0xF4) return {3, 0x80, 0x8F};
  return {-1, 0, 0};
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 16);
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += bytes[i++];
      continue;
    }
    LeadByte kind = classify(lead);
    std::size_t end = i + 1;
    bool complete = kind.continuations > 0;
    unsigned char low = kind.firstLow, high = kind.firstHigh;
    for (int k = 0; complete && k < kind.continuations; ++k) {
      if (end >= bytes.size()) {
        complete = false;
        break;
      }
      auto next = static_cast<unsigned char>(bytes[end]);
      if (next < low || next > high) {
        complete = false;
        break;
      }
      ++end;
      low = 0x80;
      high = 0xBF;
    }
    if (complete) {
      out.append(bytes.substr(i, end - i));
    } else {
      out += replacementCharacter;
    }
    i = end;
  }
  return out;
}

}  // namespace mivet::mcp
