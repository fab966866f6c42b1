// The settings text: taking apart the deciphered settings (servers, option
// markers, start-up password) and writing it back in its one normal form.
// The reader works on views of the kept bytes and copies only the field texts
// that become entries, so a load costs a few linear scans of the text.
#include "settings/settings_text.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFieldSeparator = "|";
constexpr std::string_view kMarkerLead = "#";
constexpr std::string_view kConsoleMarker = "#onsole:";
constexpr std::string_view kAdminMarker = "#admin:";
constexpr std::string_view kStartMarker = "#Start:";
constexpr std::string_view kPasswordStart = "#LoadinPass:<";
constexpr std::string_view kPasswordEnd = ">";

constexpr auto npos = std::string_view::npos;

bool contains(std::string_view line, std::string_view marker) {
  return findTextIndex(line, marker, 0, 0) != npos;
}

std::size_t lineFeedCount(std::string_view text) {
  std::size_t count = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (hit == nullptr) break;
    ++count;
    p = static_cast<const char*>(hit) + 1;
  }
  return count;
}

// Where the marked pieces stand: from each start marker to the end of the end
// marker that closes it, in the order of the text.
struct MarkedSpan {
  std::size_t begin;
  std::size_t end;
};

// Finds every marked piece from index boundary on (a character boundary with no
// start marker before it). False, and no spans, when a start marker has no end
// marker after it, which empties the whole result.
bool findMarkedSpans(std::string_view text, std::string_view start, std::string_view end,
                     std::size_t boundary, std::vector<MarkedSpan>& spans) {
  spans.clear();
  std::size_t b = findTextIndex(text, start, boundary, boundary);
  while (b != npos) {
    // The end marker is searched from the start marker itself.
    const std::size_t c = findTextIndex(text, end, b, b);
    if (c == npos) {
      spans.clear();
      return false;
    }
    spans.push_back({b, c + end.size()});
    b = findTextIndex(text, start, c, c + end.size());
  }
  return true;
}

std::string extractBetweenView(std::string_view text, std::string_view start,
                               std::string_view end) {
  std::vector<MarkedSpan> spans;
  if (!findMarkedSpans(text, start, end, 0, spans)) return std::string();
  std::string result;
  for (std::size_t k = 0; k < spans.size(); ++k) {
    if (k > 0) result += "||";
    const std::size_t contentStart = spans[k].begin + start.size();
    const std::size_t contentEnd = spans[k].end - end.size();
    if (contentEnd > contentStart) result.append(text.substr(contentStart, contentEnd - contentStart));
  }
  return result;
}

// Appends a text the way a save writes it. A last byte that is a lead byte
// standing alone (a character cut in two) is left out: written as it is, it
// would join the separator after it into one character, and the next start
// would read the rest of the line, or the next line, into this text.
void appendWhole(std::string& out, const std::string& text) {
  out += withoutCutCharacter(text);
}

// Acts on the first marker the line holds, by the line's last byte.
void applyMarkers(std::string_view line, LaunchOptions& options) {
  if (line.empty()) return;
  if (contains(line, kConsoleMarker)) {
    if (line.back() == '1') options.console = true;
  } else if (contains(line, kAdminMarker)) {
    if (line.back() == '1') options.admin = true;
  } else if (contains(line, kStartMarker)) {
    options.resolution = line.back() == '1' ? Resolution::R1024x768 : Resolution::R800x600;
  }
}

}  // namespace

std::string extractBetween(const std::string& text, const std::string& start,
                           const std::string& end) {
  return extractBetweenView(text, start, end);
}

std::string startupPasswordFrom(const std::string& settingsBytes) {
  return extractBetweenView(textViewFromBytes(settingsBytes), kPasswordStart, kPasswordEnd);
}

void applySettingsText(const std::string& settingsBytes, ServerList& list,
                       LaunchOptions& options) {
  const std::string_view text = textViewFromBytes(settingsBytes);
  // The entries are collected first and handed to the list in one go, which
  // is the same as appending them one by one at this point of the start.
  // There are no more server lines than line feeds plus one.
  std::vector<ServerEntry> entries;
  entries.reserve(lineFeedCount(text) + 1);
  // The text that the start-up password takes (from "#LoadinPass:<" to its ">",
  // over several lines in a damaged file) is never read as servers; found once,
  // at the first line that holds the start marker.
  std::vector<MarkedSpan> passwordSpans;
  std::size_t nextSpan = 0;
  bool passwordSeen = false;
  // Every marker begins with "#", so a line holds one only if a "#" byte lies
  // within it; the next such byte of the text is looked up once, not per line.
  std::size_t nextMarkerLead = text.find(kMarkerLead[0]);
  PieceCursor lines(text, kLineEnd);
  std::string_view line;
  while (lines.next(line)) {
    const std::size_t lineStart = static_cast<std::size_t>(line.data() - text.data());
    if (nextMarkerLead != std::string_view::npos && nextMarkerLead < lineStart) {
      nextMarkerLead = text.find(kMarkerLead[0], lineStart);
    }
    const bool hasMarkers = nextMarkerLead != std::string_view::npos &&
                            nextMarkerLead < lineStart + line.size() &&
                            contains(line, kMarkerLead);
    // The password line is never a server line, even when the password holds
    // "|": otherwise a password such as "a|b|c", or the "||" that joins several
    // pairs, would come back as an entry, be saved as a second password pair and
    // change the password at the next start.
    bool passwordLine = hasMarkers && contains(line, kPasswordStart);
    if (passwordLine && !passwordSeen) {
      passwordSeen = true;
      findMarkedSpans(text, kPasswordStart, kPasswordEnd, lineStart, passwordSpans);
    }
    while (nextSpan < passwordSpans.size() && passwordSpans[nextSpan].end <= lineStart) ++nextSpan;
    if (nextSpan < passwordSpans.size() && passwordSpans[nextSpan].begin < lineStart + line.size()) {
      passwordLine = true;
    }
    // What a save writes back of a server line, where it ends differently: a
    // line of five fields or more is written as its first five fields, the
    // fifth without a cut character at its end (left out by the save), so
    // anything after the fifth field (further fields, or a "|" alone) and such
    // a cut character are dropped. Empty otherwise (a line of three or four
    // fields is written ending in "|", which sets no option).
    std::string_view savedLine;
    if (!passwordLine) {
      // Only the first five fields matter; the rest of the line is not split.
      std::string_view fields[5];
      std::size_t fieldCount = 0;
      PieceCursor cursor(line, kFieldSeparator);
      while (fieldCount < 5 && cursor.next(fields[fieldCount])) ++fieldCount;
      if (fieldCount >= 3) {
        ServerEntry& entry = entries.emplace_back();
        entry.address.assign(fields[0].data(), fields[0].size());
        entry.port.assign(fields[1].data(), fields[1].size());
        entry.account.assign(fields[2].data(), fields[2].size());
        if (fieldCount >= 4) entry.password.assign(fields[3].data(), fields[3].size());
        if (fieldCount >= 5) entry.remark.assign(fields[4].data(), fields[4].size());
        entry.status = StatusNotProbed;
        if (fieldCount == 5) {
          const std::size_t savedEnd =
              static_cast<std::size_t>(fields[4].data() - line.data()) +
              withoutCutCharacter(fields[4]).size();
          if (savedEnd < line.size()) savedLine = line.substr(0, savedEnd);
        }
      }
    }

    // The same line may also carry a marker; only the first of these counts.
    // The text the start-up password takes carries none: a password such as
    // "a#Start:b" would otherwise select 800x600 at every start, and one that
    // runs over several lines would bring its option lines back after the
    // ones a save writes.
    if (!hasMarkers || passwordLine) continue;
    applyMarkers(line, options);
    // A line that the save writes back changed must not set an option at the
    // next start that it does not set now: its saved form is read for markers
    // as well, so that a save reads back the same.
    if (!savedLine.empty()) applyMarkers(savedLine, options);
  }
  list.appendEntries(std::move(entries));
}

std::string buildSettingsText(const ServerList& list, const LaunchOptions& options,
                              const std::string& startupPassword) {
  std::string text;
  ServerEntry entry;
  for (std::int32_t k = 1; list.copyEntryIfPresent(k, entry); ++k) {
    appendWhole(text, entry.address);
    text += '|';
    appendWhole(text, entry.port);
    text += '|';
    appendWhole(text, entry.account);
    text += '|';
    appendWhole(text, entry.password);
    text += '|';
    appendWhole(text, entry.remark);
    text += kLineEnd;
  }
  if (options.console) text += "#onsole:1\r\n";
  if (options.admin) text += "#admin:1\r\n";
  text += options.resolution == Resolution::R1024x768 ? "#Start:1\r\n" : "#Start:0\r\n";
  text += kPasswordStart;
  appendWhole(text, startupPassword);
  text += kPasswordEnd;
  text += kLineEnd;
  return text;
}
