#include "MivetBrowserBridge/compact_copy.h"

#include "common/json_escapes.h"
#include "common/json_reader.h"
#include "common/json_text_walk.h"
#include "common/unicode_text.h"

namespace mivet::bridge {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

// A character of the basic plane (not a surrogate) as the writer puts it in a string.
void appendAsWritten(std::string& out, char32_t cp) {
  if (cp >= 0x80) {
    appendUtf8(out, cp);
  } else if (auto escape = jsonEscape(static_cast<unsigned char>(cp), true); !escape.empty()) {
    out += escape;
  } else {
    out += static_cast<char>(cp);
  }
}

enum class ScanMode {
  copy,       // append the compact text to `out`
  asWritten,  // give up on anything the writer would write differently
  validate,   // only check the grammar
};

// The walk's policy: copies the value in runs, or checks that it needs no
// rewriting, or only lets the walk check the grammar.
class CompactPolicy {
 public:
  CompactPolicy(std::string_view text, std::size_t at, ScanMode mode, std::string* out)
      : text_(text), mode_(mode), out_(out), runStart_(at) {}

  bool space(std::size_t at) { return rewrite(at, 1, {}); }
  bool slash(std::size_t at) { return rewrite(at, 1, "\\/"); }
  void stringStart(std::size_t /*at*/) {}

  std::optional<std::size_t> unicodeEscape(std::size_t at, char32_t unit) {
    if (isSurrogate(unit)) return std::nullopt;
    std::string written;
    appendAsWritten(written, unit);
    // Already as the writer spells it, "\u001f" say, or rewritten.
    if (text_.substr(at, 6) != written && !rewrite(at, 6, written)) return std::nullopt;
    return at + 6;
  }

  // -?(0|[1-9][0-9]*) of up to 18 digits, which the writer prints as it
  // stands. Other numbers may come out differently ("1.0" as "1", "-0" as "0").
  std::optional<std::size_t> number(std::size_t at) const {
    std::size_t end = at + (text_[at] == '-' ? 1 : 0);
    const std::size_t digitsStart = end;
    while (end < text_.size() && isDigit(text_[end])) ++end;
    const std::size_t digits = end - digitsStart;
    if (digits == 0 || digits > 18) return std::nullopt;
    if (text_[digitsStart] == '0' && (digits > 1 || digitsStart > at)) return std::nullopt;
    if (end < text_.size() && (text_[end] == '.' || text_[end] == 'e' || text_[end] == 'E')) {
      return std::nullopt;
    }
    return end;
  }

  // Copies the rest of the value, which ends at `end`.
  void finish(std::size_t end) {
    if (mode_ == ScanMode::copy) out_->append(text_, runStart_, end - runStart_);
  }

 private:
  // Puts `with` in place of the `count` bytes at text[at].
  bool rewrite(std::size_t at, std::size_t count, std::string_view with) {
    if (mode_ == ScanMode::asWritten) return false;
    if (mode_ == ScanMode::copy) {
      out_->append(text_, runStart_, at - runStart_);
      *out_ += with;
    }
    runStart_ = at + count;
    return true;
  }

  std::string_view text_;
  ScanMode mode_;
  std::string* out_;
  std::size_t runStart_;
};

std::optional<std::size_t> walk(std::string_view text, std::size_t at, std::size_t levels,
                                ScanMode mode, std::string* out) {
  CompactPolicy policy(text, at, mode, out);
  auto end = JsonTextWalk(text, at, policy).run(levels);
  if (end) policy.finish(*end);
  return end;
}

}  // namespace

std::optional<std::size_t> appendCompactValue(std::string& out, std::string_view text,
                                              std::size_t at, std::size_t levels) {
  const std::size_t outSize = out.size();
  auto end = walk(text, skipJsonSpace(text, at), levels, ScanMode::copy, &out);
  if (!end) out.resize(outSize);
  return end;
}

std::optional<std::size_t> compactValueLength(std::string_view text) {
  return walk(text, 0, maxJsonDepth, ScanMode::asWritten, nullptr);
}

std::optional<std::size_t> skipValidValue(std::string_view text, std::size_t at,
                                          std::size_t levels) {
  return walk(text, skipJsonSpace(text, at), levels, ScanMode::validate, nullptr);
}

}  // namespace mivet::bridge
