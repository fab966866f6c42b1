// Settings texts the fuzzer (fuzz/fuzz_settings_text.cpp) found that do not
// survive a save and the next start: what a save writes must read back into
// the same servers, options and password, so that every later save writes the
// same bytes again. Each case is a damaged or hand-edited file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "servers/server_list.h"
#include "settings/settings_text.h"

using namespace std::string_literals;

namespace {

struct Saved {
  std::string text;
  int servers = 0;
};

// What the close writes after a start that read these deciphered bytes.
Saved saveAfterStart(const std::string& bytes) {
  ServerList list;
  LaunchOptions options;
  const std::string password = startupPasswordFrom(bytes);
  applySettingsText(bytes, list, options);
  return {buildSettingsText(list, options, password), list.entryCount()};
}

struct RegressionCase {
  const char* name;
  std::string bytes;
};

TEST(FuzzRegressions, ASaveReadsBackToTheSameSettings) {
  const std::vector<RegressionCase> cases = {
      // The file ends inside a two-byte character: the remark keeps a lone
      // lead byte, which at the next start swallows the CR of its line end,
      // so the next line (here a second server added during the run) is
      // merged into the remark and that server is lost.
      {"dangling lead byte at the end", "127.0.0.1|3389|a|w|r\xC0"s},
      {"dangling lead byte before NUL", "127.0.0.1|3389|a|w|r\xC0\0tail"s},
      // The password line has no ">" before its line end: the password runs
      // over the next lines, which are read as servers too, so each save
      // writes them twice (once as servers, once inside the password).
      {"password over two lines", "#LoadinPass:<0\r\n127.0.0.2|3389|a|w|r\r\n#x<a>\r\n"s},
      // A server line with a marker and more than five fields: the save drops
      // the extra fields, so the line's last byte changes and the console box
      // comes back checked at the next start.
      {"marker in a line with extra fields", "127.0.0.1|#onsole:|a|w|1|0\r\n"s},
      // The last field ends in "\xB1" "1" and a cut "\xB1": the save leaves the
      // cut byte out, so the saved line's last byte is "1", which would check
      // the admin box at the next start.
      {"marker in a line whose cut last character the save drops",
       "127.0.0.1|t#admin:1|1|x|n\xB1" "1\xB1"s},
      // A server line with a marker that ends in a "|" after its fifth field:
      // the save drops the "|", so the line's last byte becomes the "1" of
      // the remark and the admin box would come back checked.
      {"marker in a line that ends in a separator after five fields",
       "h|p|x#admin:x||1|\r\n"s},
      // The password runs over an option line: written back, that line comes
      // after the "#Start:0" of the save and would select 1024x768.
      {"option line inside a password over several lines",
       "#LoadinPass:<a\r\n#Start:1\r\nb>\r\n#Start:0\r\n"s},
  };
  for (const RegressionCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Saved first = saveAfterStart(c.bytes);
    const Saved second = saveAfterStart(first.text);
    EXPECT_EQ(second.servers, first.servers);
    EXPECT_EQ(second.text, first.text);
  }
}

TEST(FuzzRegressions, ServerAddedAfterADanglingLeadByteSurvivesTheRestart) {
  ServerList list;
  LaunchOptions options;
  applySettingsText("127.0.0.1|3389|a|w|r\xC0"s, list, options);
  ServerEntry added;
  added.address = "127.0.0.2";
  added.port = "3389";
  added.account = "b";
  list.appendEntry(added);
  const std::string saved = buildSettingsText(list, options, "");

  ServerList next;
  LaunchOptions nextOptions;
  applySettingsText(saved, next, nextOptions);
  ASSERT_EQ(next.entryCount(), 2);
  EXPECT_EQ(next.entryAt(2).address, "127.0.0.2");
}

}  // namespace
