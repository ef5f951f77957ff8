#include "guard/text_direction.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {
constexpr std::uint32_t kRuns[] = {
#include "guard/text_direction_runs.inc"
};

TextDirection ClassOf(std::uint32_t point) {
  // The last run that starts at or before the code point.
  const std::uint32_t* run = std::upper_bound(std::begin(kRuns), std::end(kRuns), point << 2 | 3u);
  switch (run[-1] & 3u) {
    case 1:
      return TextDirection::LeftToRight;
    case 2:
      return TextDirection::RightToLeft;
    default:
      return TextDirection::Neutral;
  }
}

// The code point that starts at `at`, and how many bytes it takes. A byte
// that starts no well-formed sequence stands alone, as U+FFFD, which is neutral.
std::uint32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t& length) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  const auto byte = [&text](std::size_t i) -> std::uint32_t {
    return static_cast<unsigned char>(text[i]);
  };
  const std::uint32_t lead = byte(at);
  length = 1;
  if (lead < 0x80) return lead;
  const std::size_t needed = lead >= 0xF8   ? 0
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC0 ? 2
                                            : 0;
  if (needed == 0 || at + needed > text.size()) return kReplacement;
  std::uint32_t point = lead & (0x7Fu >> needed);
  for (std::size_t i = 1; i < needed; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return kReplacement;
    point = point << 6 | (byte(at + i) & 0x3F);
  }
  if (point < kShortest[needed] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000))
    return kReplacement;
  length = needed;
  return point;
}
}  // namespace

TextDirection FirstStrongDirection(const std::string& text) {
  std::size_t length = 0;
  for (std::size_t at = 0; at < text.size(); at += length) {
    const TextDirection direction = ClassOf(DecodeUtf8(text, at, length));
    if (direction != TextDirection::Neutral) return direction;
  }
  return TextDirection::Neutral;
}
