// The settings text: taking apart the deciphered settings (servers, option
// markers, start-up password) and writing it back in its one normal form.
// The reader works on views of the kept bytes and copies only the field texts
// that become entries, so a load costs a few linear scans of the text.
#include "settings/settings_text.h"

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

std::string extractBetweenView(std::string_view text, std::string_view start,
                               std::string_view end) {
  std::string result;
  std::size_t b = findTextIndex(text, start, 0, 0);
  if (b == npos) return std::string();
  for (int count = 0;; ++count) {
    // The end marker is searched from the start marker itself.
    const std::size_t c = findTextIndex(text, end, b, b);
    if (c == npos) return std::string();
    if (count > 0) result += "||";
    const std::size_t contentStart = b + start.size();
    if (c > contentStart) result.append(text.substr(contentStart, c - contentStart));
    b = findTextIndex(text, start, c, c + end.size());
    if (b == npos) return result;
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
  std::vector<std::string_view> lines;
  std::vector<std::string_view> fields;
  splitTextViews(textViewFromBytes(settingsBytes), kLineEnd, lines);
  // The entries are collected first and handed to the list in one go, which
  // is the same as appending them one by one at this point of the start.
  std::vector<ServerEntry> entries;
  entries.reserve(lines.size());
  for (std::string_view line : lines) {
    // The password line is never a server line, even when the password holds
    // "|": otherwise a password such as "a|b|c", or the "||" that joins several
    // pairs, would come back as an entry, be saved as a second password pair and
    // change the password at the next start.
    // Every marker begins with "#": a line without one holds none of them.
    const bool hasMarkers = contains(line, kMarkerLead);
    const bool passwordLine = hasMarkers && contains(line, kPasswordStart);
    if (!passwordLine) splitTextViews(line, kFieldSeparator, fields);
    if (!passwordLine && fields.size() >= 3) {
      ServerEntry& entry = entries.emplace_back();
      entry.address.assign(fields[0]);
      entry.port.assign(fields[1]);
      entry.account.assign(fields[2]);
      if (fields.size() >= 4) entry.password.assign(fields[3]);
      if (fields.size() >= 5) entry.remark.assign(fields[4]);
      entry.status = StatusNotProbed;
    }

    // The same line may also carry a marker; only the first of these counts.
    // A line that holds a marker is never empty, so it has a last byte.
    if (!hasMarkers) continue;
    if (contains(line, kConsoleMarker)) {
      if (line.back() == '1') options.console = true;
    } else if (contains(line, kAdminMarker)) {
      if (line.back() == '1') options.admin = true;
    } else if (contains(line, kStartMarker)) {
      options.resolution = line.back() == '1' ? Resolution::R1024x768 : Resolution::R800x600;
    }
  }
  list.appendEntries(std::move(entries));
}

std::string buildSettingsText(const ServerList& list, const LaunchOptions& options,
                              const std::string& startupPassword) {
  std::string text;
  ServerEntry entry;
  for (std::int32_t k = 1; list.copyEntryIfPresent(k, entry); ++k) {
    text += entry.address;
    text += '|';
    text += entry.port;
    text += '|';
    text += entry.account;
    text += '|';
    text += entry.password;
    text += '|';
    text += entry.remark;
    text += kLineEnd;
  }
  if (options.console) text += "#onsole:1\r\n";
  if (options.admin) text += "#admin:1\r\n";
  text += options.resolution == Resolution::R1024x768 ? "#Start:1\r\n" : "#Start:0\r\n";
  text += kPasswordStart;
  text += startupPassword;
  text += kPasswordEnd;
  text += kLineEnd;
  return text;
}
