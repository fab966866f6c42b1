// How the fuzz targets that take several texts read their input: the first
// byte is a separator; the rest, split at that byte, gives count parts (the
// last part keeps any further separators; missing parts are empty).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> fuzzInputParts(const std::uint8_t* data, std::size_t size,
                                               std::size_t count) {
  std::vector<std::string> parts(count);
  if (size == 0 || count == 0) return parts;
  const char separator = static_cast<char>(data[0]);
  std::size_t k = 0;
  for (std::size_t i = 1; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == separator && k + 1 < count) {
      ++k;
    } else {
      parts[k] += c;
    }
  }
  return parts;
}
