// Unit tests of the code-page 936 text rules: splitting, finding, replacing
// and the last-byte helpers, with two-byte characters whose second byte is an
// ASCII separator and lead bytes at the very end of a text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "text/text.h"

namespace {

using Pieces = std::vector<std::string>;

// A copy of the text in a heap block of exactly its size, without a
// terminator, so that the address sanitizer reports any read past its end.
struct ExactBuffer {
  explicit ExactBuffer(const std::string& text)
      : bytes(new char[text.size() == 0 ? 1 : text.size()]), size(text.size()) {
    text.copy(bytes.get(), text.size());
  }
  std::string_view view() const { return std::string_view(bytes.get(), size); }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

struct SplitCase {
  std::string text;
  std::string separator;
  Pieces expected;
};

TEST(SplitText, Cases) {
  const std::vector<SplitCase> cases = {
      {"a||b", "|", {"a", "", "b"}},
      {"a|b|", "|", {"a", "b"}},
      {"a|b||", "|", {"a", "b", ""}},
      {"|a", "|", {"", "a"}},
      {"|", "|", {""}},
      {"abc", "|", {"abc"}},
      {"", "|", {}},
      // A second byte 0x7C is part of its character, not a separator.
      {"\xB0\x7C|x", "|", {"\xB0\x7C", "x"}},
      {"a\xB0||b", "|", {"a\xB0|", "b"}},
      // A lead byte at the very end stands alone.
      {"ab|\xB0", "|", {"ab", "\xB0"}},
      {"\xB0", "|", {"\xB0"}},
      // Line ends: only CR LF ends a line; a final CR LF adds no empty line.
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"a\r\n\r\nb", "\r\n", {"a", "", "b"}},
      {"a\nb\rc", "\r\n", {"a\nb\rc"}},
      {"\r\n\r\n", "\r\n", {"", ""}},
      {"a\r", "\r\n", {"a\r"}},
      // A CR that is the second byte of a character does not begin a line end.
      {"x\x81\r\ny", "\r\n", {"x\x81\r\ny"}},
      // An empty separator gives the whole text.
      {"abc", "", {"abc"}},
      {"", "", {}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text) + " by " + testing::PrintToString(c.separator));
    EXPECT_EQ(splitText(c.text, c.separator), c.expected);

    ExactBuffer buffer(c.text);
    std::vector<std::string_view> views = {"stale piece"};
    splitTextViews(buffer.view(), c.separator, views);
    EXPECT_EQ(Pieces(views.begin(), views.end()), c.expected);
  }
}

struct FindCase {
  std::string text;
  std::string marker;
  long long start;
  std::size_t expected;
};

TEST(FindText, Cases) {
  const std::vector<FindCase> cases = {
      {"abcabc", "bc", 1, 2},
      {"abcabc", "bc", 0, 2},
      {"abcabc", "bc", -7, 2},
      {"abcabc", "bc", 2, 2},
      {"abcabc", "bc", 3, 5},
      {"abcabc", "bc", 5, 5},
      {"abcabc", "bc", 6, 0},
      {"abcabc", "bc", 100, 0},
      {"abcabc", "abcabc", 1, 1},
      {"abc", "abcd", 1, 0},
      {"abc", "x", 1, 0},
      {"abc", "", 1, 0},
      {"", "a", 1, 0},
      {"ABC", "b", 1, 0},
      // Never inside a two-byte character.
      {"\xB0\x7C|", "|", 1, 3},
      {"\xB0\x7C", "|", 1, 0},
      {"\xB0\x41\x41", "A", 1, 3},
      {"\xB0\x41\x41", "A", 2, 3},
      {"\xB0\x41", "\x41", 2, 0},
      {"a\xB0\xB0\xB0", "\xB0\xB0", 1, 2},
      {"\xB0\xB0\xB0\xB0", "\xB0\xB0", 2, 3},
      // A lead byte at the end is a character of its own.
      {"ab\xB0", "\xB0", 1, 3},
      {"ab\xB0", "\xB0\x41", 1, 0},
      {"#LoadinPass:<pw>", "#LoadinPass:<", 1, 1},
      {"x\xD5\x5C#Start:1", "#Start:", 1, 4},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text) + " for " + testing::PrintToString(c.marker) +
                 " from " + std::to_string(c.start));
    EXPECT_EQ(findText(c.text, c.marker, c.start), c.expected);

    ExactBuffer buffer(c.text);
    const std::size_t from = c.start <= 1 ? 0 : static_cast<std::size_t>(c.start - 1);
    const std::size_t at = findTextIndex(buffer.view(), c.marker, 0, from);
    EXPECT_EQ(at == std::string_view::npos ? 0 : at + 1, c.expected);
  }
}

TEST(FindText, ResumesFromAnEarlierMatch) {
  // A scan that starts at a match found before gives what a scan from the
  // beginning gives; the second bytes 0x3C ("<") are never matches.
  const std::string text = "<\xB0<<\xB0<x<";
  std::vector<std::size_t> matches;
  for (std::size_t at = findTextIndex(text, "<", 0, 0); at != std::string_view::npos;
       at = findTextIndex(text, "<", at, at + 1)) {
    matches.push_back(at);
  }
  EXPECT_EQ(matches, (std::vector<std::size_t>{0, 3, 7}));
  for (std::size_t boundary : matches) {
    for (std::size_t from = boundary; from <= text.size() + 1; ++from) {
      SCOPED_TRACE(std::to_string(boundary) + " " + std::to_string(from));
      EXPECT_EQ(findTextIndex(text, "<", boundary, from), findTextIndex(text, "<", 0, from));
    }
  }
}

TEST(CharacterLength, StepsOverTwoByteCharacters) {
  const std::string text = "a\xB0\x41\xB0";
  EXPECT_EQ(characterLength(text, 0), 1u);
  EXPECT_EQ(characterLength(text, 1), 2u);
  EXPECT_EQ(characterLength(text, 3), 1u);  // lead byte at the very end
}

TEST(TextFromBytes, EndsAtTheFirstNul) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string("ab\0cd", 5), "ab"},
      {std::string("\0x", 2), ""},
      {"abc", "abc"},
      {"", ""},
      {std::string("\xB0\0", 2), "\xB0"},
  };
  for (const auto& [bytes, text] : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    EXPECT_EQ(textFromBytes(bytes), text);
    EXPECT_EQ(textViewFromBytes(bytes), text);
  }
}

TEST(LastByte, IsTheOneByteTextAtTheEnd) {
  EXPECT_EQ(lastByte(""), "");
  EXPECT_EQ(lastByte("ab1"), "1");
  EXPECT_EQ(lastByte("a\xB0\x31"), "\x31");
  EXPECT_EQ(lastByte("a\xB0"), "\xB0");
}

TEST(WithoutCutCharacter, DropsOnlyALoneLeadByteAtTheEnd) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"abc", "abc"},
      {"a\xB0", "a"},
      {"\xB0", ""},
      {"\xB0\xB0", "\xB0\xB0"},
      {"\xB0\xB0\xB0", "\xB0\xB0"},
      {"\xB0\x7C", "\xB0\x7C"},
      {"abcdefgh\xC4\xE3\xC4", "abcdefgh\xC4\xE3"},
      {"abcdefghi\xC4\xE3", "abcdefghi\xC4\xE3"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(testing::PrintToString(text));
    ExactBuffer buffer(text);
    EXPECT_EQ(withoutCutCharacter(buffer.view()), expected);
  }
}

TEST(ReplaceText, Cases) {
  struct Case {
    std::string text, placeholder, replacement, expected;
  };
  const std::vector<Case> cases = {
      {"%a%-%a%", "%a%", "x", "x-x"},
      {"%a%", "%a%", "%a%%a%", "%a%%a%"},  // the replacement is not searched again
      {"%a%%", "%a%", "", "%"},
      {"none", "%a%", "x", "none"},
      {"", "%a%", "x", ""},
      {"%a%", "", "x", "%a%"},
      // A placeholder does not begin inside a two-byte character.
      {"\xB0%a%", "%a%", "x", "\xB0%a%"},
      {"\xB0\xB0%a%", "%a%", "x", "\xB0\xB0x"},
      {"x\xB0", "\xB0", "y", "xy"},
      {"%\xD5\xCB%", "%\xD5\xCB%", "root", "root"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text) + " / " + testing::PrintToString(c.placeholder));
    EXPECT_EQ(replaceText(c.text, c.placeholder, c.replacement), c.expected);
  }
}

TEST(FindLastByte, SkipsSecondBytes) {
  EXPECT_EQ(findLastByte("C:\\dir\\prog.exe", '\\'), 7u);
  EXPECT_EQ(findLastByte("C:\\\xD5\x5C", '\\'), 3u);  // 0x5C as a second byte
  EXPECT_EQ(findLastByte("a\\\xB0", '\\'), 2u);
  EXPECT_EQ(findLastByte("abc", '\\'), 0u);
  EXPECT_EQ(findLastByte("", '\\'), 0u);
  EXPECT_EQ(findLastByte("\xB0\xB0\xB0", '\xB0'), 3u);
}

}  // namespace

namespace {

// The rules written out byte by byte, as a reference for the scans above,
// which test eight bytes at a time.
Pieces referenceSplit(const std::string& text, const std::string& separator) {
  Pieces pieces;
  std::string piece;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, separator.size(), separator) == 0 && i + separator.size() <= text.size()) {
      pieces.push_back(piece);
      piece.clear();
      i += separator.size();
    } else {
      const std::size_t len =
          (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1;
      piece += text.substr(i, len);
      i += len;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

std::size_t referenceFind(const std::string& text, const std::string& marker, std::size_t from) {
  for (std::size_t i = 0; i < text.size();
       i += (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1) {
    if (i >= from && text.compare(i, marker.size(), marker) == 0 &&
        i + marker.size() <= text.size()) {
      return i;
    }
  }
  return std::string_view::npos;
}

TEST(TextScans, AgreeWithTheByteByByteRulesOnLongTexts) {
  // Texts long enough for the eight-byte steps, mixing plain runs, separators,
  // lead bytes and second bytes that equal the separators.
  const std::string alphabet = "aaaaaaaa||#\r\n\x81\xB0\x7C<>";
  const std::vector<std::string> markers = {"|", "\r\n", "#", "#onsole:", "\xB0\x7C", "<>"};
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t length = next() % 70;
    for (std::size_t n = 0; n < length; ++n) {
      if (next() % 13 == 0) {
        text += "#onsole:1";
      } else {
        text += alphabet[next() % alphabet.size()];
      }
    }
    ExactBuffer buffer(text);
    for (const std::string& marker : markers) {
      SCOPED_TRACE(testing::PrintToString(text) + " / " + testing::PrintToString(marker));
      std::vector<std::string_view> views;
      splitTextViews(buffer.view(), marker, views);
      ASSERT_EQ(Pieces(views.begin(), views.end()), referenceSplit(text, marker));
      for (std::size_t from = 0; from <= text.size() + 9; from += 1 + next() % 5) {
        ASSERT_EQ(findTextIndex(buffer.view(), marker, 0, from), referenceFind(text, marker, from))
            << "from " << from;
      }
    }
  }
}

}  // namespace
