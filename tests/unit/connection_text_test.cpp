// Tests of the connection file's text: the template's exact bytes, the three
// placeholder steps (order, single scan, two-byte characters), the password
// line and the hex blob and input block of the protected password.
#include "launch/connection_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The text cut into its lines; each line must end in CR LF.
std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in CR LF: " << text.substr(start);
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

ServerEntry entryOf(const std::string& account, const std::string& address,
                    const std::string& port, const std::string& password = "") {
  ServerEntry e;
  e.account = account;
  e.address = address;
  e.port = port;
  e.password = password;
  e.remark = "remark is never used";
  return e;
}

const PasswordBlobMaker noBlob = [](const std::string&) -> std::string {
  ADD_FAILURE() << "the blob maker must not be called for an empty password";
  return "";
};

TEST(ConnectionTemplateTest, IsThirtyEightCrLfLinesOf908Bytes) {
  EXPECT_EQ(ConnectionTemplate.size(), 908u);
  const std::vector<std::string> lines = crlfLines(ConnectionTemplate);
  ASSERT_EQ(lines.size(), 38u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos);
  }
  EXPECT_EQ(lines[0], "screen mode id:i:1");
  EXPECT_EQ(lines[37], "promptcredentialonce:i:1");
  // The placeholders are code-page 936 bytes, not UTF-8.
  EXPECT_EQ(lines[8], "username:s:\x25\xD5\xCB\xBA\xC5\x25"s);
  EXPECT_EQ(lines[17], "full address:s:\x25\xB7\xFE\xCE\xF1\xC6\xF7\xB5\xD8\xD6\xB7\x25"s);
  EXPECT_EQ(lines[18], "\x25\xC3\xDC\xC2\xEB\x25"s);
}

TEST(BuildConnectionTextTest, ExampleWithoutPasswordChangesOnlyLines9And18) {
  const std::string text =
      buildConnectionText(entryOf("Administrator", "127.0.0.1", "3389"), noBlob);
  EXPECT_EQ(text.size(), 917u);
  const std::vector<std::string> lines = crlfLines(text);
  const std::vector<std::string> templateLines = crlfLines(ConnectionTemplate);
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[8], "username:s:Administrator");
  EXPECT_EQ(lines[17], "full address:s:127.0.0.1:3389");
  EXPECT_EQ(lines[18], "%密码%");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 8 || i == 17) continue;
    SCOPED_TRACE("line " + std::to_string(i + 1));
    EXPECT_EQ(lines[i], templateLines[i]);
  }
}

struct FillCase {
  const char* name;
  std::string account, address, port;
  std::string line9, line18;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }

class FillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTest, FillsAccountAndAddressLines) {
  const FillCase& c = GetParam();
  const std::vector<std::string> lines =
      crlfLines(buildConnectionText(entryOf(c.account, c.address, c.port), noBlob));
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[8], c.line9);
  EXPECT_EQ(lines[17], c.line18);
  EXPECT_EQ(lines[18], "%密码%");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillTest,
    ::testing::Values(
        FillCase{"EmptyPort", "admin", "127.0.0.1", "", "username:s:admin",
                 "full address:s:127.0.0.1:"},
        FillCase{"EmptyAccount", "", "h", "1", "username:s:", "full address:s:h:1"},
        FillCase{"EverythingEmpty", "", "", "", "username:s:", "full address:s::"},
        FillCase{"ChineseTexts", "管理员", "服务器", "３３８９", "username:s:管理员",
                 "full address:s:服务器:３３８９"},
        // The address step runs over the whole text, the account included.
        FillCase{"AccountHoldsAddressPlaceholder", "a%服务器地址%b", "h", "1",
                 "username:s:ah:1b", "full address:s:h:1"},
        // What a step puts in is not searched again by the same step.
        FillCase{"AccountHoldsAccountPlaceholder", "%账号%", "h", "1", "username:s:%账号%",
                 "full address:s:h:1"},
        FillCase{"AddressHoldsAddressPlaceholder", "a", "%服务器地址%", "1", "username:s:a",
                 "full address:s:%服务器地址%:1"},
        // "\x81%" is one two-byte character: no placeholder starts at its "%".
        FillCase{"PercentAsSecondByteIsNotAPlaceholder", "\x81%服务器地址%", "h", "1",
                 "username:s:\x81%服务器地址%", "full address:s:h:1"},
        // A placeholder right after a two-byte character ending in "%" is found.
        FillCase{"PlaceholderAfterCharacterEndingInPercent", "\x81%%服务器地址%", "h", "1",
                 "username:s:\x81%h:1", "full address:s:h:1"}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

TEST(BuildConnectionTextTest, PasswordLineCarriesTheBlobOfThePassword) {
  std::vector<std::string> calls;
  const PasswordBlobMaker fake = [&calls](const std::string& password) {
    calls.push_back(password);
    return std::string("01AB000");
  };
  const std::string text = buildConnectionText(entryOf("u", "h", "1", "s3cret密"), fake);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "s3cret密");
  const std::vector<std::string> lines = crlfLines(text);
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[18], "password 51:b:01AB000");
  EXPECT_EQ(text.size(), 908u - 6 + 1 - 12 + 3 - 6 + 21);
}

TEST(BuildConnectionTextTest, PasswordStepAlsoSeesEarlierReplacements) {
  const PasswordBlobMaker fake = [](const std::string&) { return std::string("0"); };
  const std::vector<std::string> lines =
      crlfLines(buildConnectionText(entryOf("x%密码%", "h", "1", "p"), fake));
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[8], "username:s:xpassword 51:b:0");
  EXPECT_EQ(lines[18], "password 51:b:0");
}

TEST(PasswordBlobTextTest, TwoCapitalDigitsPerByteThenOneZero) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", "0"},
      {"\x01\xAB\x00"s, "01AB000"},
      {"\x0F"s, "0F0"},
      {"\xFF\x10\x00\x9C"s, "FF10009C0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(passwordBlobText(c.bytes), c.text);
  }
}

TEST(PasswordInputBlockTest, PadsToFiveHundredTwelveBytesAndNeverCuts) {
  const std::string shortInput = "a\0\xBD\x65\0\0"s;  // "a", U+65BD, terminator
  const std::string shortBlock = passwordInputBlock(shortInput);
  ASSERT_EQ(shortBlock.size(), 512u);
  EXPECT_EQ(shortBlock.substr(0, shortInput.size()), shortInput);
  EXPECT_EQ(shortBlock.substr(shortInput.size()), std::string(512 - shortInput.size(), '\0'));

  for (std::size_t size : {510u, 512u, 514u, 600u}) {
    SCOPED_TRACE(size);
    std::string input(size, 'x');
    input[size - 2] = '\0';
    input[size - 1] = '\0';
    const std::string block = passwordInputBlock(input);
    ASSERT_EQ(block.size(), size < 512 ? 512u : size);
    EXPECT_EQ(block.substr(0, size), input);
  }
}

}  // namespace
