#include "server/rules/RunEntry.h"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(RunEntryQuoting, OnlyAPathWithABlankIsQuotedAndInnerQuotesAreDoubled) {
  EXPECT_EQ(QuotePath(R"(C:\Firebird\bin\fbguard.exe)"), R"(C:\Firebird\bin\fbguard.exe)");
  EXPECT_EQ(QuotePath(R"(C:\Program Files\fb\fbguard.exe)"), R"("C:\Program Files\fb\fbguard.exe")");
  EXPECT_EQ(QuotePath(R"(C:\a "b"\x.exe)"), R"("C:\a ""b""\x.exe")");
  EXPECT_EQ(QuotePath(R"(C:\a"b\x.exe)"), R"(C:\a"b\x.exe)");
  EXPECT_EQ(QuotePath(""), "");
}

TEST(RunEntryQuoting, QuoteAlwaysQuotesEvenWithoutBlank) {
  EXPECT_EQ(QuoteAlways(R"(C:\Firebird)"), R"("C:\Firebird")");
  EXPECT_EQ(QuoteAlways(R"(C:\My "Db")"), R"("C:\My ""Db""")");
  EXPECT_EQ(QuoteAlways(""), R"("")");
}

TEST(RunEntryQuoting, ParametersFollowAfterOneBlankOnlyWhenGiven) {
  EXPECT_EQ(BuildRunEntry(R"(C:\Program Files\fb\fbguard.exe)", "-a"), R"("C:\Program Files\fb\fbguard.exe" -a)");
  EXPECT_EQ(BuildRunEntry(R"(C:\vantrel.exe)", "-tray"), R"(C:\vantrel.exe -tray)");
  EXPECT_EQ(BuildRunEntry(R"(C:\vantrel.exe)", ""), R"(C:\vantrel.exe)");
}

TEST(RunEntryFirstWord, SkipsTabsAndLineBreaksAndKeepsQuotedStretchesWhole) {
  EXPECT_EQ(FirstWord("\t\r\n\tC:\\fb\\fbguard.exe -a"), "C:\\fb\\fbguard.exe");
  EXPECT_EQ(FirstWord(R"("C:\Program Files\fb.exe" -a)"), R"("C:\Program Files\fb.exe")");
  EXPECT_EQ(FirstWord(R"(C:\'my dir'\fb.exe -a)"), R"(C:\'my dir'\fb.exe)");
  EXPECT_EQ(FirstWord(R"(C:\"a b"x\"c d".exe rest)"), R"(C:\"a b"x\"c d".exe)");
  EXPECT_EQ(FirstWord(R"("unclosed quote -a)"), R"("unclosed quote -a)");
  EXPECT_EQ(FirstWord("only"), "only");
}

TEST(RunEntryFirstWord, ALeadingBlankOrNothingGivesNoWord) {
  EXPECT_EQ(FirstWord(" C:\\fb.exe"), "");
  EXPECT_EQ(FirstWord("\t\r\n"), "");
  EXPECT_EQ(FirstWord(""), "");
}

TEST(RunEntryProgramTest, QuotedProgramIsUnquotedAndDoubledQuotesMadeSingle) {
  EXPECT_EQ(RunEntryProgram(R"("C:\Program Files\Firebird\bin\fbguard.exe" -a)"),
            R"(C:\Program Files\Firebird\bin\fbguard.exe)");
  EXPECT_EQ(RunEntryProgram(R"("C:\a ""b""\x.exe" -a)"), R"(C:\a "b"\x.exe)");
  EXPECT_EQ(RunEntryProgram(R"(C:\Firebird\bin\fbserver.exe -a)"), R"(C:\Firebird\bin\fbserver.exe)");
  EXPECT_EQ(RunEntryProgram(R"('C:\x y\z.exe' -a)"), R"('C:\x y\z.exe')");
  EXPECT_EQ(RunEntryProgram(R"("C:\x y\z.exe"tail -a)"), R"(C:\x y\z.exe)");
  EXPECT_EQ(RunEntryProgram(R"("C:\no end)"), R"(C:\no end)");
  EXPECT_EQ(RunEntryProgram(""), "");
}

TEST(RunEntryProgramTest, WhatIsWrittenReadsBackAsTheSameProgram) {
  for (const char* path : {R"(C:\Firebird\bin\fbguard.exe)", R"(C:\Program Files\Fire bird\fbguard.exe)",
                           R"(C:\Odd "quoted" dir\fbserver.exe)", "C:\\\xDD\xFE Yeri\\fbserver.exe"})
    EXPECT_EQ(RunEntryProgram(BuildRunEntry(path, "-a")), path) << path;
}
