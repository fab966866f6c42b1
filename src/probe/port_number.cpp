// The port text of a server entry turned into the number the status probe
// connects to. The text is whatever the user typed, so full-width digits and
// signs are accepted, and anything after the digits is ignored.
#include "probe/port_number.h"

#include <cstddef>

namespace {

// Full-width forms replaced by their single-byte counterparts, one character
// at a time from the left; a lead byte with nothing after it is dropped.
std::string narrowFullWidthForms(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      i += 1;
      continue;
    }
    if (i + 1 >= text.size()) break;
    const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out += static_cast<char>(trail - 0x80);
    } else if (lead == 0xA1 && trail == 0xA1) {
      out += ' ';
    } else if (lead == 0xA1 && trail == 0xAB) {
      out += '~';
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      out += '*';
    } else {
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
    }
    i += 2;
  }
  return out;
}

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t parsePortNumber(const std::string& text) {
  const std::string narrow = narrowFullWidthForms(text);
  std::size_t i = 0;
  while (i < narrow.size() && isWhiteSpace(narrow[i])) ++i;
  bool negative = false;
  if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) {
    negative = narrow[i] == '-';
    ++i;
  }
  // Unsigned arithmetic: the value wraps modulo 2^32 without overflow.
  std::uint32_t value = 0;
  for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(narrow[i] - '0');
  }
  if (negative) value = 0u - value;
  // Read as a 32-bit two's-complement number.
  return static_cast<std::int32_t>(value);
}

std::uint16_t probePort(const std::string& portText) {
  std::int32_t p = parsePortNumber(portText);
  if (p <= 0) p = 1;
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(p) & 0xFFFFu);
}
