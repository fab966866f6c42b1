// Text rules for code-page 936 byte strings.
//
// Every text of the system is a std::string of code-page 936 bytes. A byte of
// 0x80 or above begins a two-byte character together with the byte after it;
// searching, splitting and replacing step over such a character as a whole and
// never match inside it. Positions are 1-based byte positions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline bool isLeadByte(unsigned char c) { return c >= 0x80; }

// Number of bytes of the character that begins at index i (0-based): 2 for a
// lead byte that has a byte after it, else 1. A lead byte at the very end of
// the text counts as one byte and never reads past the text.
std::size_t characterLength(const std::string& text, std::size_t i);

// The text that ends before the first NUL byte of the bytes.
std::string textFromBytes(const std::string& bytes);

// Pieces between separators, scanned from the left. Empty pieces between two
// separators count; after the last separator the rest is a piece only if it is
// not empty; an empty text gives no pieces. An empty separator gives the whole
// text as one piece (or nothing for an empty text).
std::vector<std::string> splitText(const std::string& text, const std::string& separator);

// 1-based position of the first occurrence of marker that begins at or after
// byte position start (start of 1 or less: the beginning), never inside a
// two-byte character; 0 when not found. An empty marker is never found.
std::size_t findText(const std::string& text, const std::string& marker, long long start);

// The last byte of the text as a one-byte text; empty for an empty text.
std::string lastByte(const std::string& text);

// Every occurrence of placeholder replaced by replacement, in one scan from the
// left: on a match the replacement is emitted and the scan resumes after the
// placeholder (the replacement is not searched again); otherwise one character
// (two bytes for a two-byte character) is copied.
std::string replaceText(const std::string& text, const std::string& placeholder,
                        const std::string& replacement);

// 1-based position of the last byte c that is not the second byte of a
// two-byte character; 0 when there is none.
std::size_t findLastByte(const std::string& text, char c);

// The same rules on views, for the settings reader, which takes apart large
// texts without copying them.

// The view of the bytes that ends before their first NUL byte.
std::string_view textViewFromBytes(std::string_view bytes);

// The pieces of splitText one at a time, as views of the text, without storing
// them: next gives true and the next piece while there is one.
class PieceCursor {
 public:
  PieceCursor(std::string_view text, std::string_view separator)
      : text_(text), separator_(separator) {}
  bool next(std::string_view& piece);

 private:
  std::string_view text_;
  std::string_view separator_;
  std::size_t pos_ = 0;  // where the next piece begins; always a character boundary
  bool done_ = false;
};

// splitText into views of the text; pieces is cleared first, so one vector can
// serve many calls without allocating again.
void splitTextViews(std::string_view text, std::string_view separator,
                    std::vector<std::string_view>& pieces);

// 0-based index of the first occurrence of marker that begins at a character
// boundary at or after index from; the scan starts at boundary, which must be a
// character boundary (0 always is, and so is any index this function returned).
// std::string_view::npos when not found; an empty marker is never found.
std::size_t findTextIndex(std::string_view text, std::string_view marker, std::size_t boundary,
                          std::size_t from);

// The text without its last byte when that byte is a lead byte with nothing
// after it (a character cut in two, as at the end of a damaged file);
// otherwise the whole text.
std::string_view withoutCutCharacter(std::string_view text);
