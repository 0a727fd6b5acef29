#include "shell/rules/IniValues.h"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(IniInteger, DecimalAndHexadecimalFormsAreRead) {
  EXPECT_EQ(ReadIniInteger("42", -1), 42);
  EXPECT_EQ(ReadIniInteger("-17", 0), -17);
  EXPECT_EQ(ReadIniInteger("0x1F", 0), 0x1F);
  EXPECT_EQ(ReadIniInteger("0XfF", 0), 0xFF);
  EXPECT_EQ(ReadIniInteger("$10", 0), 16);
  EXPECT_EQ(ReadIniInteger("-$10", 0), -16);
  EXPECT_EQ(ReadIniInteger("2147483647", 0), 2147483647);
  EXPECT_EQ(ReadIniInteger("-2147483648", 0), -2147483647 - 1);
}

TEST(IniInteger, AnythingElseGivesTheDefault) {
  for (const char* text : {"", " 5", "5 ", "12a", "x10", "0x", "$", "-", "+", "1.5", "0x1G", "--1"})
    EXPECT_EQ(ReadIniInteger(text, 77), 77) << '"' << text << '"';
}

TEST(IniInteger, ValuesBeyondThirtyTwoBitsGiveTheDefault) {
  EXPECT_EQ(ReadIniInteger("2147483648", 5), 5);
  EXPECT_EQ(ReadIniInteger("-2147483649", 5), 5);
  EXPECT_EQ(ReadIniInteger("0xFFFFFFFF", 5), 5);
  EXPECT_EQ(ReadIniInteger("99999999999999999999999", 5), 5);
}

TEST(IniBool, AnyNonZeroIntegerIsTrueAndGarbageKeepsTheDefault) {
  EXPECT_TRUE(ReadIniBool("1", false));
  EXPECT_TRUE(ReadIniBool("-3", false));
  EXPECT_TRUE(ReadIniBool("0x10", false));
  EXPECT_FALSE(ReadIniBool("0", true));
  EXPECT_FALSE(ReadIniBool("$0", true));
  EXPECT_TRUE(ReadIniBool("yes", true));
  EXPECT_FALSE(ReadIniBool("true", false));
  EXPECT_FALSE(ReadIniBool("", false));
}
