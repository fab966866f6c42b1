// Text rules for code-page 936 byte strings: the one place that knows that a
// byte of 0x80 or above begins a two-byte character. Every splitter, finder and
// replacer of the program is built on the character step below.
#include "text/text.h"

#include <cstdint>
#include <cstring>

namespace {

// Bytes of the character at index i of a text of n bytes (i < n): a lead byte
// takes the next byte with it only when there is one.
inline std::size_t stepAt(const char* p, std::size_t n, std::size_t i) {
  return (isLeadByte(static_cast<unsigned char>(p[i])) && i + 1 < n) ? 2 : 1;
}

// Whether marker (non-empty) stands at index i, with i + marker size <= n.
inline bool matchesAt(const char* p, std::size_t i, std::string_view marker) {
  // Markers and separators are a few bytes long: a plain loop beats a call.
  for (std::size_t k = 0; k < marker.size(); ++k) {
    if (p[i + k] != marker[k]) return false;
  }
  return true;
}

// From index i, a character boundary, the first character boundary whose byte
// is c; n when there is none. Runs of one-byte characters are tested eight
// bytes at a time (never past the end of the text); a group of eight that holds
// c or a lead byte is walked character by character.
inline std::size_t nextBoundaryWith(const char* p, std::size_t n, std::size_t i,
                                    unsigned char c) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const std::uint64_t pattern = kOnes * c;
  for (;;) {
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      const std::uint64_t x = word ^ pattern;
      // A byte equal to c (a zero byte of x) or of 0x80 or above ends the run;
      // the zero test may stop early beside a match, but never misses one.
      if ((((x - kOnes) & ~x) | word) & kHighs) break;
      i += 8;
    }
    const std::size_t end = i + 8 < n ? i + 8 : n;
    while (i < end) {
      const unsigned char b = static_cast<unsigned char>(p[i]);
      if (b == c) return i;
      i += (isLeadByte(b) && i + 1 < n) ? 2 : 1;
    }
    if (i >= n) return n;
  }
}

// From index i, a character boundary, the first character boundary at or
// after limit.
inline std::size_t boundaryFrom(const char* p, std::size_t n, std::size_t i, std::size_t limit) {
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  if (limit > n) limit = n;
  while (i < limit) {
    if (i + 8 <= limit) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & kHighs) == 0) {
        i += 8;
        continue;
      }
    }
    i += stepAt(p, n, i);
  }
  return i;
}

}  // namespace

std::size_t characterLength(const std::string& text, std::size_t i) {
  if (i >= text.size()) return 1;
  return stepAt(text.data(), text.size(), i);
}

std::string_view textViewFromBytes(std::string_view bytes) {
  const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
  if (nul == nullptr) return bytes;
  return bytes.substr(0, static_cast<const char*>(nul) - bytes.data());
}

std::string textFromBytes(const std::string& bytes) {
  return std::string(textViewFromBytes(bytes));
}

bool PieceCursor::next(std::string_view& piece) {
  const char* p = text_.data();
  const std::size_t n = text_.size();
  const std::size_t m = separator_.size();
  if (done_ || pos_ >= n) return false;
  if (m == 0) {
    piece = text_;
    done_ = true;
    return true;
  }
  const unsigned char first = static_cast<unsigned char>(separator_[0]);
  std::size_t i = pos_;
  for (;;) {
    i = nextBoundaryWith(p, n, i, first);
    if (i + m > n) break;
    if (matchesAt(p, i, separator_)) {
      piece = text_.substr(pos_, i - pos_);
      pos_ = i + m;
      return true;
    }
    i += stepAt(p, n, i);
  }
  // The rest after the last separator is a piece only when it is not empty,
  // and here it is not.
  piece = text_.substr(pos_);
  done_ = true;
  return true;
}

void splitTextViews(std::string_view text, std::string_view separator,
                    std::vector<std::string_view>& pieces) {
  pieces.clear();
  PieceCursor cursor(text, separator);
  std::string_view piece;
  while (cursor.next(piece)) pieces.push_back(piece);
}

std::vector<std::string> splitText(const std::string& text, const std::string& separator) {
  std::vector<std::string_view> views;
  splitTextViews(text, separator, views);
  return std::vector<std::string>(views.begin(), views.end());
}

std::size_t findTextIndex(std::string_view text, std::string_view marker, std::size_t boundary,
                          std::size_t from) {
  const std::size_t n = text.size();
  const std::size_t m = marker.size();
  if (m == 0 || m > n) return std::string_view::npos;
  const char* p = text.data();
  // The candidates are the bytes equal to the marker's first byte, found with
  // memchr; the walk in between only tracks the character boundaries.
  std::size_t i = boundaryFrom(p, n, boundary, from);
  while (i + m <= n) {
    const void* hit = std::memchr(p + i, marker[0], n - m + 1 - i);
    if (hit == nullptr) return std::string_view::npos;
    const std::size_t candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
    i = boundaryFrom(p, n, i, candidate);
    if (i == candidate) {
      if (matchesAt(p, i, marker)) return i;
      i += stepAt(p, n, i);
    }
  }
  return std::string_view::npos;
}

std::size_t findText(const std::string& text, const std::string& marker, long long start) {
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
  const std::size_t at = findTextIndex(text, marker, 0, from);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string lastByte(const std::string& text) {
  if (text.empty()) return std::string();
  return text.substr(text.size() - 1);
}

std::string replaceText(const std::string& text, const std::string& placeholder,
                        const std::string& replacement) {
  if (placeholder.empty()) return text;
  const char* p = text.data();
  const std::size_t n = text.size();
  const std::size_t m = placeholder.size();
  std::string out;
  out.reserve(n);
  std::size_t i = 0;
  while (i < n) {
    if (i + m <= n && matchesAt(p, i, placeholder)) {
      out += replacement;
      i += m;
    } else {
      const std::size_t len = stepAt(p, n, i);
      out.append(p + i, len);
      i += len;
    }
  }
  return out;
}

std::size_t findLastByte(const std::string& text, char c) {
  const char* p = text.data();
  const std::size_t n = text.size();
  std::size_t found = 0;
  for (std::size_t i = 0; i < n; i += stepAt(p, n, i)) {
    if (p[i] == c) found = i + 1;
  }
  return found;
}

std::string_view withoutCutCharacter(std::string_view text) {
  const std::size_t n = text.size();
  if (n == 0 || !isLeadByte(static_cast<unsigned char>(text[n - 1]))) return text;
  // The last byte stands alone when the character walk lands on it.
  if (boundaryFrom(text.data(), n, 0, n - 1) != n - 1) return text;
  return text.substr(0, n - 1);
}
