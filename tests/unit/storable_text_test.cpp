// Texts that the editor and the password setup refuse, and texts they keep:
// each accepted one is checked to come back unchanged through a save and a
// new start.
#include <gtest/gtest.h>

#include "settings/settings_text.h"
#include "settings/storable_text.h"

namespace {

struct Case {
  const char* name;
  std::string text;
  bool storable;
};

// A server whose remark is the text, saved and read back.
bool remarkSurvivesSave(const std::string& remark) {
  ServerList list;
  list.appendEntry({"10.0.0.1", "3389", "Administrator", "pw", remark, StatusNotProbed});
  LaunchOptions options;  // as a save writes it back: "#Start:0" reads as 800x600
  options.resolution = Resolution::R800x600;
  std::string text = buildSettingsText(list, options, "");
  ServerList back;
  LaunchOptions backOptions;
  applySettingsText(text, back, backOptions);
  return back.entryCount() == 1 && back.entryAt(1).remark == remark && backOptions == options;
}

TEST(StorableText, ServerTexts) {
  const Case cases[] = {
      {"plain", "web server", true},
      {"blanks at both ends", "  x  ", true},
      {"empty", "", true},
      {"chinese", "机房一", true},
      {"second byte 0x7C is no separator", "\x81\x7C", true},
      {"bar", "a|b", false},
      {"line feed", "a\nb", false},
      {"carriage return", "a\rb", false},
      {"console marker", "#onsole:1", false},
      {"admin marker", "x#admin:", false},
      {"start marker", "#Start:1", false},
      {"password marker", "#LoadinPass:<", false},
      {"marker prefix only", "#Start", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serverTextsAreStorable(c.text, "3389", "a", "p", "r"), c.storable);
    EXPECT_EQ(serverTextsAreStorable("h", "3389", "a", "p", c.text), c.storable);
    EXPECT_EQ(serverTextsAreStorable("h", c.text, "a", "p", "r"), c.storable);
    if (c.storable) {
      EXPECT_TRUE(remarkSurvivesSave(c.text));
    }
  }
}

TEST(StorableText, StartupPasswords) {
  const Case cases[] = {
      {"plain", "Secret1", true},
      {"empty", "", true},
      {"chinese", "密码", true},
      {"blank", " a b ", true},
      {"greater-than", "a>b", false},
      {"bar", "a|b", false},
      {"marker", "x#LoadinPass:<y", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(startupPasswordIsStorable(c.text), c.storable);
    if (c.storable) {
      ServerList list;
      std::string text = buildSettingsText(list, LaunchOptions{}, c.text);
      EXPECT_EQ(startupPasswordFrom(text), c.text);
    }
  }
}

}  // namespace
