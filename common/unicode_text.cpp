#include "unicode_text.h"

#include <simdjson.h>

#include <cstdint>

namespace mivet {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// A byte that can begin a sequence: how many continuation bytes follow, and
// the range the first of them must lie in (which excludes overlong forms,
// surrogates unless allowed, and values above U+10FFFF).
struct LeadByte {
  int continuations;  // -1: the byte cannot begin a sequence
  unsigned char firstLow;
  unsigned char firstHigh;
};

LeadByte classify(unsigned char lead, bool surrogatesAllowed) {
  if (lead >= 0xC2 && lead <= 0xDF) return {1, 0x80, 0xBF};
  if (lead == 0xE0) return {2, 0xA0, 0xBF};
  if (lead == 0xED) {
    return {2, 0x80, static_cast<unsigned char>(surrogatesAllowed ? 0xBF : 0x9F)};
  }
  if (lead >= 0xE1 && lead <= 0xEF) return {2, 0x80, 0xBF};
  if (lead == 0xF0) return {3, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {3, 0x80, 0xBF};
  if (lead == 0xF4) return {3, 0x80, 0x8F};
  return {-1, 0, 0};
}

Utf8Step decodeAt(std::string_view text, std::size_t at, bool surrogatesAllowed) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  const LeadByte kind = classify(lead, surrogatesAllowed);
  if (kind.continuations < 0) return {};
  char32_t codePoint = lead & (0x3F >> kind.continuations);
  unsigned char low = kind.firstLow, high = kind.firstHigh;
  std::size_t end = at + 1;
  for (int k = 0; k < kind.continuations; ++k, ++end) {
    if (end >= text.size()) return {0, end - at, false};
    const auto next = static_cast<unsigned char>(text[end]);
    if (next < low || next > high) return {0, end - at, false};
    codePoint = (codePoint << 6) | (next & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {codePoint, end - at, true};
}

bool isSpaceSeparatorOrTab(char32_t cp) {
  return cp == ' ' || cp == '\t' || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
         cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

bool isNewline(char32_t cp) {
  return (cp >= 0x0A && cp <= 0x0D) || cp == 0x85 || cp == 0x2028 || cp == 0x2029;
}

template <typename Predicate>
std::string_view trimWhere(std::string_view text, Predicate strip) {
  std::size_t start = 0;
  while (start < text.size()) {
    Utf8Step step = decodeUtf8At(text, start);
    if (!step.wellFormed || !strip(step.codePoint)) break;
    start += step.length;
  }
  std::size_t end = text.size();
  while (end > start) {
    // Step back to the start of the last code point.
    std::size_t back = end - 1;
    while (back > start && (static_cast<unsigned char>(text[back]) & 0xC0) == 0x80 &&
           end - back < 4) {
      --back;
    }
    Utf8Step step = decodeUtf8At(text, back);
    if (back + step.length != end || !step.wellFormed || !strip(step.codePoint)) break;
    end = back;
  }
  return text.substr(start, end - start);
}

}  // namespace

std::string_view trimHorizontalWhitespace(std::string_view text) {
  return trimWhere(text, isSpaceSeparatorOrTab);
}

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
  return trimWhere(text, [](char32_t cp) { return isSpaceSeparatorOrTab(cp) || isNewline(cp); });
}

std::vector<std::string_view> splitAtNewlines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t lineStart = 0;
  for (std::size_t at = 0; at < text.size();) {
    Utf8Step step = decodeUtf8At(text, at);
    if (step.wellFormed && isNewline(step.codePoint)) {
      lines.push_back(text.substr(lineStart, at - lineStart));
      lineStart = at + step.length;
    }
    at += step.length;
  }
  lines.push_back(text.substr(lineStart));
  return lines;
}

bool isValidUtf8(std::string_view text) {
  return simdjson::validate_utf8(text.data(), text.size());
}

bool isValidWtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    Utf8Step step = decodeWtf8At(text, at);
    if (!step.wellFormed) return false;
    at += step.length;
  }
  return true;
}

Utf8Step decodeUtf8At(std::string_view text, std::size_t at) {
  return decodeAt(text, at, false);
}

Utf8Step decodeWtf8At(std::string_view text, std::size_t at) {
  return decodeAt(text, at, true);
}

void appendUtf8(std::string& out, char32_t codePoint) {
  auto put = [&](unsigned value) { out += static_cast<char>(value); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

std::string withReplacementCharacters(std::string_view text, ReplacementUnit unit) {
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t wellFormedFrom = 0;  // copied in runs, not code point by code point
  for (std::size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    Utf8Step step = decodeUtf8At(text, at);
    if (!step.wellFormed) {
      out.append(text.substr(wellFormedFrom, at - wellFormedFrom));
      out += replacementCharacter;
      if (unit == ReplacementUnit::byte) step.length = 1;
      wellFormedFrom = at + step.length;
    }
    at += step.length;
  }
  out.append(text.substr(wellFormedFrom));
  return out;
}

}  // namespace mivet
