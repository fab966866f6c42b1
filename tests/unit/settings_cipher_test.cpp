// Unit tests of the settings cipher: the published RC4 vectors, the fixed
// key's own keystream, and the round trip at lengths around the 256-byte
// state size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_cipher.h"

namespace {

std::string fromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

struct Vector {
  std::string key;
  std::string plaintext;
  std::string cipherHex;
};

TEST(SettingsCipher, MatchesPublishedVectors) {
  const std::vector<Vector> vectors = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
      // The settings key on the text a first save writes.
      {SettingsKey, "#Start:0\r\n#LoadinPass:<>\r\n",
       "ee2255460a293420e9decd216ad8fd812d2bd57a30546efa63a2"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.key + " / " + v.plaintext);
    const std::string expected = fromHex(v.cipherHex);
    EXPECT_EQ(applySettingsCipher(v.plaintext, v.key), expected);
    EXPECT_EQ(applySettingsCipher(expected, v.key), v.plaintext);
  }
}

TEST(SettingsCipher, KeyIsFiveEightTwoSix) { EXPECT_STREQ(SettingsKey, "5826"); }

TEST(SettingsCipher, EmptyDataGivesEmptyOutput) {
  EXPECT_EQ(applySettingsCipher("", SettingsKey), "");
  EXPECT_EQ(applySettingsCipher("", ""), "");
}

TEST(SettingsCipher, RoundTripKeepsLengthAndBytes) {
  for (std::size_t length : {1u, 2u, 255u, 256u, 257u, 4096u, 9000u}) {
    SCOPED_TRACE(length);
    std::string data(length, '\0');
    for (std::size_t n = 0; n < length; ++n) data[n] = static_cast<char>((n * 7 + 3) & 0xFF);
    const std::string original = data;

    const std::string enciphered = applySettingsCipher(data, SettingsKey);
    EXPECT_EQ(data, original);
    ASSERT_EQ(enciphered.size(), length);
    if (length >= 16) {
      EXPECT_NE(enciphered, data);
    }
    // No state survives a call: the same input gives the same output.
    EXPECT_EQ(applySettingsCipher(data, SettingsKey), enciphered);
    EXPECT_EQ(applySettingsCipher(enciphered, SettingsKey), data);
  }
}

TEST(SettingsCipher, KeystreamStartsAtItsFirstByte) {
  // Enciphering a prefix gives the prefix of the longer output: the stream is
  // the same from byte 0 on, whatever the length.
  const std::string zeros(600, '\0');
  const std::string stream = applySettingsCipher(zeros, SettingsKey);
  for (std::size_t length : {1u, 255u, 256u, 257u}) {
    SCOPED_TRACE(length);
    EXPECT_EQ(applySettingsCipher(zeros.substr(0, length), SettingsKey), stream.substr(0, length));
  }
  // The key's four bytes are the whole key: a longer key that repeats them
  // over the 256 positions gives the same stream.
  EXPECT_EQ(applySettingsCipher(zeros, "58265826"), stream);
  EXPECT_NE(applySettingsCipher(zeros, "5827"), stream);
}

TEST(SettingsCipher, EmptyKeyActsAsOneZeroByte) {
  const std::string data = "some settings";
  EXPECT_EQ(applySettingsCipher(data, ""), applySettingsCipher(data, std::string(1, '\0')));
}

}  // namespace
