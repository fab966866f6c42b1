// Fuzz target: the port text of an entry turned into a number, against a
// plain rendering of the rule: full-width forms narrowed, then white space,
// one sign and decimal digits, modulo 2^32.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probe/port_number.h"

namespace {

std::string referenceNarrow(const std::string& s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned a = static_cast<unsigned char>(s[i]);
    if (a < 0x80) {
      out.push_back(s[i]);
      ++i;
      continue;
    }
    if (i + 1 == s.size()) break;  // a lead byte with nothing after it
    const unsigned b = static_cast<unsigned char>(s[i + 1]);
    i += 2;
    if (a == 0xA3 && b >= 0xA1 && b <= 0xFE) {
      out.push_back(static_cast<char>(b - 0x80));
    } else if (a == 0xA1 && b == 0xA1) {
      out.push_back(' ');
    } else if (a == 0xA1 && b == 0xAB) {
      out.push_back('~');
    } else if (a == 0xA1 && (b == 0xEE || b == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(static_cast<char>(a));
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::int64_t referenceParse(const std::string& text) {
  const std::string s = referenceNarrow(text);
  std::size_t i = s.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return 0;
  int sign = 1;
  if (s[i] == '+' || s[i] == '-') {
    if (s[i] == '-') sign = -1;
    ++i;
  }
  std::uint64_t value = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    value = (value * 10 + static_cast<std::uint64_t>(s[i] - '0')) % 4294967296ull;
    ++i;
  }
  if (sign < 0) value = (4294967296ull - value) % 4294967296ull;
  // Two's complement reading of the 32 bits.
  return value >= 2147483648ull ? static_cast<std::int64_t>(value) - 4294967296ll
                                : static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::int64_t want = referenceParse(text);
  const std::int32_t got = parsePortNumber(text);
  if (got != want) __builtin_trap();
  const std::int64_t p = want <= 0 ? 1 : want;
  if (probePort(text) != static_cast<std::uint16_t>(p % 65536)) __builtin_trap();
  return 0;
}
