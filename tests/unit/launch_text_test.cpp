// Tests of the small texts of a connect: the option switches for every state
// of the option controls, the client's command line, the temporary file names
// and the registry path of the per-server value.
#include "launch/launch_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct OptionCase {
  bool console;
  bool admin;
  Resolution resolution;
  const char* text;
};

class OptionTextTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionTextTest, SwitchesInFixedOrder) {
  const OptionCase& c = GetParam();
  LaunchOptions options;
  options.console = c.console;
  options.admin = c.admin;
  options.resolution = c.resolution;
  EXPECT_EQ(buildOptionText(options), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    AllControlStates, OptionTextTest,
    ::testing::Values(
        OptionCase{false, false, Resolution::None, ""},
        OptionCase{false, false, Resolution::FullScreen, "/f "},
        OptionCase{false, false, Resolution::R1024x768, "/w:1024 /h:768 "},
        OptionCase{false, false, Resolution::R800x600, "/w:800 /h:600 "},
        OptionCase{true, false, Resolution::None, "/console "},
        OptionCase{true, false, Resolution::FullScreen, "/console /f "},
        OptionCase{true, false, Resolution::R1024x768, "/console /w:1024 /h:768 "},
        OptionCase{true, false, Resolution::R800x600, "/console /w:800 /h:600 "},
        OptionCase{false, true, Resolution::None, "/admin "},
        OptionCase{false, true, Resolution::FullScreen, "/admin /f "},
        OptionCase{false, true, Resolution::R1024x768, "/admin /w:1024 /h:768 "},
        OptionCase{false, true, Resolution::R800x600, "/admin /w:800 /h:600 "},
        OptionCase{true, true, Resolution::None, "/console /admin "},
        OptionCase{true, true, Resolution::FullScreen, "/console /admin /f "},
        OptionCase{true, true, Resolution::R1024x768, "/console /admin /w:1024 /h:768 "},
        OptionCase{true, true, Resolution::R800x600, "/console /admin /w:800 /h:600 "}));

TEST(CommandLineTest, QuotedPathThenSwitches) {
  LaunchOptions options;
  options.console = true;
  options.admin = true;
  options.resolution = Resolution::R1024x768;
  EXPECT_EQ(buildCommandLine("C:\\Documents and Settings\\u\\Temp\\1a2b3c4d.tmp",
                             buildOptionText(options)),
            "mstsc.exe \"C:\\Documents and Settings\\u\\Temp\\1a2b3c4d.tmp\" "
            "/console /admin /w:1024 /h:768 ");
  EXPECT_EQ(buildCommandLine("C:\\T\\ff.tmp", buildOptionText(LaunchOptions{})),
            "mstsc.exe \"C:\\T\\ff.tmp\" ");
}

const std::function<bool(const std::string&)> nothingExists = [](const std::string&) {
  return false;
};

TEST(TempFileNameTest, DirectoryAndLowercaseHexWithoutLeadingZeros) {
  const struct {
    std::string dir;
    std::uint32_t tick;
    std::string path;
  } cases[] = {
      {"", 0x0000abcd, "abcd.tmp"},
      {"C:\\t", 0x0000abcd, "C:\\t\\abcd.tmp"},
      {"C:\\t\\", 0x0000abcd, "C:\\t\\abcd.tmp"},
      {"C:\\a b\\", 0x1A2B3C4D, "C:\\a b\\1a2b3c4d.tmp"},
      {"", 0x00ABCDEF, "abcdef.tmp"},
      {"", 0, "0.tmp"},
      {"", 0xFFFFFFFF, "ffffffff.tmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::uint32_t counter = 0;
    EXPECT_EQ(makeTempFileName(c.dir, c.tick, counter, nothingExists), c.path);
    EXPECT_EQ(counter, 1u);
  }
}

TEST(TempFileNameTest, TwoNamesInOneMillisecondDiffer) {
  std::uint32_t counter = 0;
  const std::string first = makeTempFileName("C:\\t", 0x100, counter, nothingExists);
  const std::string second = makeTempFileName("C:\\t", 0x100, counter, nothingExists);
  EXPECT_EQ(first, "C:\\t\\100.tmp");
  EXPECT_EQ(second, "C:\\t\\101.tmp");
  EXPECT_EQ(counter, 2u);
}

TEST(TempFileNameTest, ExistingFilesRaiseTheNumberButNotTheCounter) {
  const std::set<std::string> existing = {"C:\\t\\10.tmp", "C:\\t\\11.tmp", "C:\\t\\13.tmp"};
  std::vector<std::string> asked;
  const auto exists = [&](const std::string& path) {
    asked.push_back(path);
    return existing.count(path) > 0;
  };
  std::uint32_t counter = 0;
  EXPECT_EQ(makeTempFileName("C:\\t", 0x10, counter, exists), "C:\\t\\12.tmp");
  EXPECT_EQ(asked, (std::vector<std::string>{"C:\\t\\10.tmp", "C:\\t\\11.tmp", "C:\\t\\12.tmp"}));
  EXPECT_EQ(counter, 1u);
}

TEST(TempFileNameTest, WrapsAroundAt32Bits) {
  std::uint32_t counter = 1;
  EXPECT_EQ(makeTempFileName("", 0xFFFFFFFF, counter, nothingExists), "0.tmp");

  counter = 0;
  const auto lastExists = [](const std::string& path) { return path == "ffffffff.tmp"; };
  EXPECT_EQ(makeTempFileName("", 0xFFFFFFFF, counter, lastExists), "0.tmp");

  counter = 0xFFFFFFFF;
  EXPECT_EQ(makeTempFileName("", 5, counter, nothingExists), "4.tmp");
  EXPECT_EQ(counter, 0u);
}

TEST(LocalDevicesPathTest, SplitsAtTheLastRealBackslash) {
  const std::string key = "Software\\Microsoft\\Terminal Server Client\\LocalDevices";
  EXPECT_EQ(std::string(LocalDevicesKey), key);
  const struct {
    std::string address;
    std::string keyPath;
    std::string valueName;
  } cases[] = {
      {"192.168.1.5", key, "192.168.1.5"},
      {"server.example.com", key, "server.example.com"},
      {"", key, ""},
      {"host\\inst", key + "\\host", "inst"},
      {"a\\b\\c", key + "\\a\\b", "c"},
      // 0x95 0x5C is one two-byte character, not a separator.
      {"a\x95\x5C" "b", key, "a\x95\x5C" "b"},
      {"\x95\x5C", key, "\x95\x5C"},
      {"\x95\x5C\\x", key + "\\\x95\x5C", "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const RegistryPath path = localDevicesPath(c.address);
    EXPECT_EQ(path.keyPath, c.keyPath);
    EXPECT_EQ(path.valueName, c.valueName);
  }
}

}  // namespace
