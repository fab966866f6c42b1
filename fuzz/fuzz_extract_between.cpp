// Fuzz target: extractBetween against a plain rendering of its rule.
// Input: the first byte is a separator; the rest, split at that byte, gives
// the text, the start marker and the end marker (missing pieces are empty).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "settings/settings_text.h"

namespace {

// 1-based position of marker at or after start, stepping over two-byte
// characters from the beginning of the text; 0 when there is none. An empty
// marker is never found.
std::size_t referenceFind(const std::string& text, const std::string& marker, std::size_t start) {
  if (marker.empty()) return 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i + 1 >= start && text.compare(i, marker.size(), marker) == 0) return i + 1;
    i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
  }
  return 0;
}

struct Reference {
  std::string result;
  std::size_t pairs = 0;
};

Reference referenceExtract(const std::string& text, const std::string& start,
                           const std::string& end) {
  Reference r;
  std::size_t pos = 1;
  for (;;) {
    const std::size_t b = referenceFind(text, start, pos);
    if (b == 0) return Reference{};
    const std::size_t c = referenceFind(text, end, b);
    if (c == 0) return Reference{};
    if (r.pairs > 0) r.result += "||";
    const std::size_t from = b + start.size();
    if (c > from) r.result += text.substr(from - 1, c - from);
    pos = c + end.size();
    ++r.pairs;
    if (referenceFind(text, start, pos) == 0) return r;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::vector<std::string> parts = fuzzInputParts(data, size, 3);
  const std::string& text = parts[0];
  const std::string got = extractBetween(text, parts[1], parts[2]);

  const Reference want = referenceExtract(text, parts[1], parts[2]);
  if (got != want.result) __builtin_trap();
  // Assembled only from pieces of the text and the "||" between them.
  if (want.pairs > 0 && got.size() > text.size() + 2 * (want.pairs - 1)) __builtin_trap();
  if (want.pairs == 0 && !got.empty()) __builtin_trap();
  return 0;
}
