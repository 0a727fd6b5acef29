#include "tools/ToolEntry.h"

#include <gtest/gtest.h>

#include "shell/rules/TextRules.h"

using namespace vantrel;

namespace {

// "Firebird günlüğü" in code page 1254, and its title typed in capitals.
const std::string kLogTitle = "Firebird g\xFCnl\xFC\xF0\xFC";
const std::string kLogTitleUpper = "FIREBIRD G\xDCNL\xDC\xD0\xDC";

}  // namespace

TEST(ToolEntryFormat, ParametersAndBarOnlyWhenGiven) {
  EXPECT_EQ(FormatToolEntry(kLogTitle, "notepad.exe", "$SERVERLOG"), kLogTitle + "=notepad.exe|$SERVERLOG");
  EXPECT_EQ(FormatToolEntry("Calc", "calc.exe", ""), "Calc=calc.exe");
}

TEST(ToolEntryFormat, AddKeepsParametersAsTypedWhileEditTrimsTheValue) {
  EXPECT_EQ(ToolEntryFromAdd("  Isql ", "  isql.exe\t", " -z  "), "Isql=isql.exe| -z  ");
  EXPECT_EQ(ToolEntryFromEdit("  Isql ", "  isql.exe\t", " -z  "), "Isql=isql.exe| -z");
  EXPECT_EQ(ToolEntryFromAdd("Isql", "isql.exe", ""), "Isql=isql.exe");
  EXPECT_EQ(ToolEntryFromEdit("Isql", "isql.exe ", ""), "Isql=isql.exe");
  // Blank parameters still count as given; the edit rule then trims the bar's blanks away only.
  EXPECT_EQ(ToolEntryFromAdd("T", "p", "  "), "T=p|  ");
  EXPECT_EQ(ToolEntryFromEdit("T", "p", "  "), "T=p|");
}

TEST(ToolEntryRead, SplitsAtTheFirstBarAndTrimsForLaunch) {
  const std::vector<std::string> lines = {"Log= notepad.exe | a|b ", "Bare=  tool.exe  ", "NoEquals"};
  const TToolEntry log = ReadToolEntry(lines, 0, ToolUse::Launch);
  EXPECT_EQ(log.title, "Log");
  EXPECT_EQ(log.program, "notepad.exe");
  EXPECT_EQ(log.params, "a|b");
  EXPECT_EQ(ReadToolEntry(lines, 0, ToolUse::Edit).program, "notepad.exe");

  EXPECT_EQ(ReadToolEntry(lines, 1, ToolUse::Launch).program, "tool.exe");
  EXPECT_EQ(ReadToolEntry(lines, 1, ToolUse::Edit).program, "  tool.exe  ");
  EXPECT_EQ(ReadToolEntry(lines, 1, ToolUse::Edit).params, "");

  const TToolEntry noEquals = ReadToolEntry(lines, 2, ToolUse::Launch);
  EXPECT_EQ(noEquals.title, "");
  EXPECT_EQ(noEquals.program, "");
  EXPECT_THROW(ReadToolEntry(lines, 3, ToolUse::Launch), std::out_of_range);
}

TEST(ToolEntryRead, ARepeatedTitleReadsTheFirstEntryIgnoringCase) {
  const std::vector<std::string> lines = {"Other=x.exe", kLogTitle + "=notepad.exe|$SERVERLOG",
                                          kLogTitleUpper + "=wordpad.exe|file.txt"};
  for (ToolUse use : {ToolUse::Launch, ToolUse::Edit}) {
    const TToolEntry second = ReadToolEntry(lines, 2, use);
    EXPECT_EQ(second.title, kLogTitleUpper);
    EXPECT_EQ(second.program, "notepad.exe");
    EXPECT_EQ(second.params, "$SERVERLOG");
  }
  EXPECT_EQ(FindToolByTitle(lines, kLogTitleUpper), 1);
  EXPECT_EQ(FindToolByTitle(lines, "other"), 0);
  EXPECT_EQ(FindToolByTitle(lines, "Firebird"), -1);
  EXPECT_EQ(FindToolByTitle({}, kLogTitle), -1);
}

TEST(ToolEntryRead, WhatAddStoresReadsBackForEditing) {
  const std::vector<std::string> lines = {ToolEntryFromAdd(" Gbak ", " C:\\Program Files\\gbak.exe ", "-b db")};
  const TToolEntry entry = ReadToolEntry(lines, 0, ToolUse::Edit);
  EXPECT_EQ(entry.title, "Gbak");
  EXPECT_EQ(entry.program, "C:\\Program Files\\gbak.exe");
  EXPECT_EQ(entry.params, "-b db");
  EXPECT_EQ(ToolEntryFromEdit(entry.title, entry.program, entry.params), lines[0]);
}

TEST(ServerLogPlaceholder, WholeTrimmedTextInAnyCaseOnly) {
  EXPECT_TRUE(IsServerLogPlaceholder("$SERVERLOG"));
  EXPECT_TRUE(IsServerLogPlaceholder("$serverLog"));
  EXPECT_TRUE(IsServerLogPlaceholder("  $SERVERLOG\t"));
  EXPECT_FALSE(IsServerLogPlaceholder("$SERVERLOG -x"));
  EXPECT_FALSE(IsServerLogPlaceholder("\"$SERVERLOG\""));
  EXPECT_FALSE(IsServerLogPlaceholder("SERVERLOG"));
  EXPECT_FALSE(IsServerLogPlaceholder(""));
}
