// Tests of turning a port text into the number and the TCP port the status
// probe uses: full-width forms, white space, signs, wrap-around and the
// reduction to 16 bits.
#include "probe/port_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace {

using namespace std::string_literals;

struct PortCase {
  const char* name;
  std::string text;
  std::int32_t number;
  std::uint16_t port;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

class PortNumberTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortNumberTest, NumberAndProbedPort) {
  const PortCase& c = GetParam();
  EXPECT_EQ(parsePortNumber(c.text), c.number);
  EXPECT_EQ(probePort(c.text), c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortNumberTest,
    ::testing::Values(
        PortCase{"Plain", "3389", 3389, 3389},
        PortCase{"FullWidthDigits", "\xA3\xB3\xA3\xB3\xA3\xB8\xA3\xB9", 3389, 3389},
        PortCase{"MixedWidthDigits", "1\xA3\xB0", 10, 10},
        PortCase{"LeadingSpaces", "  3389", 3389, 3389},
        PortCase{"TrailingLetters", "3389abc", 3389, 3389},
        PortCase{"Empty", "", 0, 1},
        PortCase{"NoDigits", "abc", 0, 1},
        PortCase{"Negative", "-3389", -3389, 1},
        PortCase{"Plus", "+12", 12, 12},
        PortCase{"TwoSigns", "+-12", 0, 1},
        PortCase{"BlankAfterSign", "- 12", 0, 1},
        PortCase{"FullWidthPlus", "\xA3\xAB" "12", 12, 12},
        PortCase{"FullWidthMinus", "\xA3\xAD" "12", -12, 1},
        PortCase{"IdeographicSpace", "\xA1\xA1" "3389", 3389, 3389},
        PortCase{"ControlWhiteSpace", "\t\n\v\f\r 80", 80, 80},
        PortCase{"LeadByteAtEndDropped", "33\x81", 33, 33},
        // A two-byte character that is no full-width form stops the digits,
        // even when its second byte looks like a digit.
        PortCase{"OtherTwoByteCharacter", "\x81\x33" "3", 0, 1},
        PortCase{"DigitsThenOtherCharacter", "80\x81\x30", 80, 80},
        PortCase{"LowSixteenBitsZero", "65536", 65536, 0},
        PortCase{"LowSixteenBits", "70000", 70000, 4464},
        PortCase{"WrapsModulo2To32", "4294967297", 1, 1},
        PortCase{"LargeWraps", "99999999999", 1215752191, 59391},
        PortCase{"AllOnesIsMinusOne", "4294967295", -1, 1},
        PortCase{"TopBitIsNegative", "2147483648", INT32_MIN, 1},
        PortCase{"NegatedMinimum", "-2147483648", INT32_MIN, 1},
        PortCase{"NegatedWrapIsPositive", "-4294967295", 1, 1}),
    [](const ::testing::TestParamInfo<PortCase>& info) { return std::string(info.param.name); });

}  // namespace
