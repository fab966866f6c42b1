// Unit tests of the settings text: the start-up password between its markers,
// the parse of servers and option markers, and the normal form a save writes
// (write, read back, write again gives the same bytes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_cipher.h"
#include "settings/settings_text.h"

using namespace std::string_literals;

namespace {

struct ExtractCase {
  std::string text;
  std::string expected;
};

TEST(ExtractBetween, PasswordMarkers) {
  const std::vector<ExtractCase> cases = {
      {"", ""},
      {"10.0.0.1|3389|admin|pw|\r\n#Start:0\r\n", ""},
      {"#Start:0\r\n#LoadinPass:<secret>\r\n", "secret"},
      {"#LoadinPass:<>\r\n", ""},
      {"#LoadinPass:<a>>", "a"},
      {"#LoadinPass:<a>x#LoadinPass:<b>", "a||b"},
      {"#LoadinPass:<a>#LoadinPass:<>#LoadinPass:<c>", "a||||c"},
      // A start marker with no end after it empties what came before.
      {"#LoadinPass:<a>x#LoadinPass:<b", ""},
      {"#LoadinPass:<a", ""},
      {">#LoadinPass:<a", ""},
      // The end marker is not found inside a two-byte character.
      {"#LoadinPass:<\x81>x>", "\x81>x"},
      {"#LoadinPass:<\xC3\xDC\xC2\xEB>", "\xC3\xDC\xC2\xEB"},
      // Nor is the start marker's "#" when it is a second byte.
      {"\x81#LoadinPass:<a>", ""},
  };
  for (const ExtractCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(extractBetween(c.text, "#LoadinPass:<", ">"), c.expected);
    EXPECT_EQ(startupPasswordFrom(c.text), c.expected);
  }
}

TEST(ExtractBetween, OtherMarkers) {
  EXPECT_EQ(extractBetween("[a][b]", "[", "]"), "a||b");
  EXPECT_EQ(extractBetween("abc", "", "]"), "");
  EXPECT_EQ(extractBetween("[abc", "[", ""), "");
  // An end marker that is part of the start marker: nothing between, and
  // the scan still moves on.
  EXPECT_EQ(extractBetween("<<x<<", "<<", "<"), "||");
}

TEST(StartupPasswordFrom, ReadsOnlyUpToTheFirstNul) {
  EXPECT_EQ(startupPasswordFrom(std::string("#LoadinPass:<pw>\0#LoadinPass:<x>", 32)), "pw");
  EXPECT_EQ(startupPasswordFrom(std::string("a\0#LoadinPass:<pw>", 18)), "");
  EXPECT_EQ(startupPasswordFrom(std::string("#LoadinPass:<p\0w>", 17)), "");
}

// One settings text that holds the cases a hand-edited or damaged file may
// show, and the normal form the next save makes of it.
const std::string kMessyText =
    "\r\n"
    "10.0.0.1|3389|Administrator|pw1|web\r\n"
    "\r\n"
    "a|3389|b|c|\r\n"            // empty remark: four fields
    "a|3389|b||\r\n"             // empty password and remark
    "a|3389|b\r\n"               // three fields
    "onlyone|field\r\n"          // two fields: nothing
    "h|p|a|w|r|x|y\r\n"          // fields after the fifth dropped
    "h|p|x#admin:1\r\n"          // an entry that also checks admin
    "#admin:0 and #onsole:1\r\n"  // the console marker wins; it ends in 1
    "#Start:\r\n"
    "#onsole:0\r\n"              // never unchecks
    "#LoadinPass:<secret>\r\n"
    "lf|1|x\nlf2|2|y\r\n"        // LF alone does not end a line
    "\xB0\x7C|22|\xC4\xE3\r\n"   // 0x7C as a second byte is no separator
    "a line that means nothing\r\n"
    "#LoadinPass:<two>\r\n"
    "#Start:1\r\n"
    "z|1|u"                      // the last line without CR LF
    "\0"
    "after|the|nul\r\n#Start:0\r\n"s;

const std::string kNormalText =
    "10.0.0.1|3389|Administrator|pw1|web\r\n"
    "a|3389|b|c|\r\n"
    "a|3389|b||\r\n"
    "a|3389|b||\r\n"
    "h|p|a|w|r\r\n"
    "h|p|x#admin:1||\r\n"
    "lf|1|x\nlf2|2|y\r\n"
    "\xB0\x7C|22|\xC4\xE3||\r\n"
    "z|1|u||\r\n"
    "#onsole:1\r\n"
    "#admin:1\r\n"
    "#Start:1\r\n"
    "#LoadinPass:<secret||two>\r\n";

TEST(SettingsText, ParseThenBuildNormalises) {
  ASSERT_EQ(kMessyText[kMessyText.find("z|1|u") + 5], '\0');

  ServerList list;
  LaunchOptions options;
  const std::string password = startupPasswordFrom(kMessyText);
  applySettingsText(kMessyText, list, options);

  EXPECT_EQ(password, "secret||two");
  EXPECT_TRUE(options.console);
  EXPECT_TRUE(options.admin);
  EXPECT_EQ(options.resolution, Resolution::R1024x768);
  ASSERT_EQ(list.entryCount(), 9);
  for (std::int32_t k = 1; k <= list.entryCount(); ++k) {
    EXPECT_EQ(list.entryAt(k).status, StatusNotProbed) << k;
  }
  const ServerEntry fourFields = list.entryAt(2);
  EXPECT_EQ(fourFields.password, "c");
  EXPECT_EQ(fourFields.remark, "");
  EXPECT_EQ(list.entryAt(6).account, "x#admin:1");
  EXPECT_EQ(list.entryAt(8).address, "\xB0\x7C");

  EXPECT_EQ(buildSettingsText(list, options, password), kNormalText);
}

TEST(SettingsText, SaveIsAFixedPoint) {
  ServerList list;
  LaunchOptions options;
  applySettingsText(kNormalText, list, options);
  const std::string password = startupPasswordFrom(kNormalText);
  EXPECT_EQ(buildSettingsText(list, options, password), kNormalText);
}

TEST(SettingsText, EncipheredSaveLoadsBack) {
  ServerList list;
  LaunchOptions options;
  applySettingsText(kNormalText, list, options);
  const std::string file =
      applySettingsCipher(buildSettingsText(list, options, "secret||two"), SettingsKey);
  ASSERT_EQ(file.size(), kNormalText.size());
  EXPECT_NE(file, kNormalText);

  const std::string bytes = applySettingsCipher(file, SettingsKey);
  ServerList loaded;
  LaunchOptions loadedOptions;
  applySettingsText(bytes, loaded, loadedOptions);
  EXPECT_EQ(buildSettingsText(loaded, loadedOptions, startupPasswordFrom(bytes)), kNormalText);
}

TEST(SettingsText, PasswordLineIsNeverAServer) {
  // A password holding "|" (typed, or the "||" joining two pairs) reads back
  // as the same password, and adds no entry however often it is saved.
  for (const std::string password : {"a|b|c", "secret||two", "|||", "x|"}) {
    SCOPED_TRACE(password);
    std::string text = buildSettingsText(ServerList(), LaunchOptions(), password);
    for (int save = 0; save < 3; ++save) {
      ServerList list;
      LaunchOptions options;
      applySettingsText(text, list, options);
      EXPECT_EQ(list.entryCount(), 0);
      EXPECT_EQ(startupPasswordFrom(text), password);
      text = buildSettingsText(list, options, startupPasswordFrom(text));
    }
    EXPECT_EQ(text, "#Start:0\r\n#LoadinPass:<" + password + ">\r\n");
  }
}

TEST(SettingsText, PasswordTextIsNeverReadAsServers) {
  struct Case {
    std::string text;
    std::string password;
    std::vector<std::string> addresses;
  };
  const std::vector<Case> cases = {
      // A damaged password line without its ">": the password runs to the
      // next ">", and the lines it takes are not servers as well.
      {"#LoadinPass:<0\r\n127.0.0.2|3389|a|w|r\r\n#x<a>\r\n10.0.0.1|1|b\r\n",
       "0\r\n127.0.0.2|3389|a|w|r\r\n#x<a", {"10.0.0.1"}},
      {"s|1|a\r\n#LoadinPass:<p>\r\nt|2|b\r\n#LoadinPass:<q\r\nu|3|c>\r\nv|4|d\r\n",
       "p||q\r\nu|3|c", {"s", "t", "v"}},
      // A start marker without any ">" after it: no password, and only the
      // marker's own line is left out.
      {"a|1|b\r\n#LoadinPass:<x|y|z\r\nc|2|d\r\n", "", {"a", "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    ServerList list;
    LaunchOptions options;
    applySettingsText(c.text, list, options);
    const std::string password = startupPasswordFrom(c.text);
    EXPECT_EQ(password, c.password);
    std::vector<std::string> addresses;
    for (std::int32_t k = 1; k <= list.entryCount(); ++k) addresses.push_back(list.entryAt(k).address);
    EXPECT_EQ(addresses, c.addresses);

    // What the save writes reads back to the same settings.
    const std::string saved = buildSettingsText(list, options, password);
    ServerList again;
    LaunchOptions againOptions;
    applySettingsText(saved, again, againOptions);
    EXPECT_EQ(buildSettingsText(again, againOptions, startupPasswordFrom(saved)), saved);
  }
}

TEST(SettingsText, CharacterCutInTwoIsNotWritten) {
  // A file that ends inside a two-byte character leaves a lone lead byte in
  // the last text read. Written back before a separator it would join it into
  // one character, and the next start would lose the line end after it.
  ServerList list;
  LaunchOptions options;
  applySettingsText("127.0.0.1|3389|a|w|r\xC0"s, list, options);
  ServerEntry added;
  added.address = "\xB7\xFE\xCE\xF1";  // a whole two-byte text is kept
  added.port = "1";
  added.account = "b\xB0";
  list.appendEntry(added);
  const std::string saved = buildSettingsText(list, options, "pw\xC3");
  EXPECT_EQ(saved,
            "127.0.0.1|3389|a|w|r\r\n\xB7\xFE\xCE\xF1|1|b||\r\n#Start:0\r\n#LoadinPass:<pw>\r\n");

  ServerList next;
  LaunchOptions nextOptions;
  applySettingsText(saved, next, nextOptions);
  ASSERT_EQ(next.entryCount(), 2);
  EXPECT_EQ(next.entryAt(2).address, "\xB7\xFE\xCE\xF1");
  EXPECT_EQ(startupPasswordFrom(saved), "pw");
}

TEST(SettingsText, FirstStartWritesTwentySixBytes) {
  ServerList list;
  LaunchOptions options;
  applySettingsText("", list, options);
  EXPECT_EQ(list.entryCount(), 0);
  EXPECT_EQ(options, LaunchOptions());
  EXPECT_EQ(startupPasswordFrom(""), "");

  const std::string text = buildSettingsText(list, options, startupPasswordFrom(""));
  EXPECT_EQ(text, "#Start:0\r\n#LoadinPass:<>\r\n");
  EXPECT_EQ(text.size(), 26u);
  EXPECT_EQ(applySettingsCipher(text, SettingsKey).size(), 26u);
}

struct OptionCase {
  std::string text;
  LaunchOptions before;
  LaunchOptions after;
};

LaunchOptions opts(bool console, bool admin, Resolution r) {
  LaunchOptions o;
  o.console = console;
  o.admin = admin;
  o.resolution = r;
  return o;
}

TEST(SettingsText, MarkersSetButNeverClear) {
  using R = Resolution;
  const LaunchOptions none = opts(false, false, R::None);
  const std::vector<OptionCase> cases = {
      {"#onsole:1\r\n", none, opts(true, false, R::None)},
      {"#onsole:0\r\n", none, none},
      {"#onsole:0\r\n", opts(true, true, R::FullScreen), opts(true, true, R::FullScreen)},
      {"#admin:1\r\n", none, opts(false, true, R::None)},
      {"#admin:0\r\n", opts(false, true, R::None), opts(false, true, R::None)},
      // Only the first marker of a line, in the order console, admin, start.
      {"#onsole:1#admin:1\r\n", none, opts(true, false, R::None)},
      {"#admin:1#onsole:0\r\n", none, none},
      {"#Start:1#admin:1\r\n", none, opts(false, true, R::None)},
      {"#onsole:1 #Start:1\r\n", none, opts(true, false, R::None)},
      // Resolution: 1 gives 1024x768, any other last byte 800x600.
      {"#Start:1\r\n", none, opts(false, false, R::R1024x768)},
      {"#Start:0\r\n", opts(false, false, R::FullScreen), opts(false, false, R::R800x600)},
      {"#Start:\r\n", none, opts(false, false, R::R800x600)},
      {"#Start:2\r\n", none, opts(false, false, R::R800x600)},
      {"#Start:1 \r\n", none, opts(false, false, R::R800x600)},
      {"#Start:11", none, opts(false, false, R::R1024x768)},
      {"x#Start:1", none, opts(false, false, R::R1024x768)},
      {"#Start:1\r\n#Start:0\r\n", none, opts(false, false, R::R800x600)},
      {"a|b|c\r\n", opts(false, false, R::FullScreen), opts(false, false, R::FullScreen)},
      // LF line ends make one line: only its first marker counts.
      {"#onsole:1\n#admin:1\n#Start:1", none, opts(true, false, R::None)},
      // A marker whose "#" is the second byte of a character is no marker.
      {"\x81#onsole:1", none, none},
      // The last byte is a byte, even when it ends a two-byte character.
      {"#onsole:\x81" "1", none, opts(true, false, R::None)},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    ServerList list;
    LaunchOptions options = c.before;
    applySettingsText(c.text, list, options);
    EXPECT_EQ(options.console, c.after.console);
    EXPECT_EQ(options.admin, c.after.admin);
    EXPECT_EQ(options.resolution, c.after.resolution);
  }
}

TEST(SettingsText, OptionLinesWritten) {
  using R = Resolution;
  struct Case {
    LaunchOptions options;
    std::string lines;
  };
  const std::vector<Case> cases = {
      {opts(false, false, R::None), "#Start:0\r\n"},
      {opts(false, false, R::FullScreen), "#Start:0\r\n"},
      {opts(false, false, R::R800x600), "#Start:0\r\n"},
      {opts(false, false, R::R1024x768), "#Start:1\r\n"},
      {opts(true, false, R::None), "#onsole:1\r\n#Start:0\r\n"},
      {opts(false, true, R::None), "#admin:1\r\n#Start:0\r\n"},
      {opts(true, true, R::R1024x768), "#onsole:1\r\n#admin:1\r\n#Start:1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    ServerList list;
    EXPECT_EQ(buildSettingsText(list, c.options, "pw"), c.lines + "#LoadinPass:<pw>\r\n");
  }
}

TEST(SettingsText, FullScreenComesBackAs800x600) {
  ServerList list;
  LaunchOptions saved = opts(false, false, Resolution::FullScreen);
  const std::string text = buildSettingsText(list, saved, "");
  LaunchOptions loaded;
  applySettingsText(text, list, loaded);
  EXPECT_EQ(loaded.resolution, Resolution::R800x600);
}

TEST(SettingsText, ServerFieldsAreWrittenAsHeld) {
  ServerList list;
  ServerEntry e;
  e.address = "\xB7\xFE\xCE\xF1\xC6\xF7";  // 服务器
  e.port = "03389 ";
  e.account = "";
  e.password = "p w";
  e.remark = "";
  e.status = StatusOnline;
  list.appendEntry(e);
  const std::string text = buildSettingsText(list, LaunchOptions(), "");
  EXPECT_EQ(text, "\xB7\xFE\xCE\xF1\xC6\xF7|03389 ||p w|\r\n#Start:0\r\n#LoadinPass:<>\r\n");

  ServerList loaded;
  LaunchOptions options;
  applySettingsText(text, loaded, options);
  ASSERT_EQ(loaded.entryCount(), 1);
  const ServerEntry back = loaded.entryAt(1);
  EXPECT_EQ(back.address, e.address);
  EXPECT_EQ(back.port, "03389 ");
  EXPECT_EQ(back.account, "");
  EXPECT_EQ(back.password, "p w");
  EXPECT_EQ(back.remark, "");
  EXPECT_EQ(back.status, StatusNotProbed);  // the status is never saved
}

}  // namespace
