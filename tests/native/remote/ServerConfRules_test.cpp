// The program's reading of databases.conf held against the real Firebird 3 server: a line the
// program takes as harmless must leave the server reading its file, and a line it takes as
// illegal must make the server refuse it. Each case is one line added to Debian's own file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "FirebirdHost.h"
#include "aliases/AliasList.h"
#include "aliases/DatabasesConf.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace fs = std::filesystem;

TEST(ServerConfRules, WhatTheProgramReadsAsHarmlessTheServerReadsAndWhatItCallsIllegalTheServerRefuses) {
  if (!RealServerWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  TServerFilesTurn turn;
  TRestoredFile restored(kServerConf);
  const fs::path probe = kServerData / "vantrel_conf_probe.fdb";
  fs::remove(probe);
  ASSERT_TRUE(CreatedWithIsql(probe));
  const std::string base = restored.Bytes() + "vantrel_probe = " + probe.string() + "\n";
  const std::string d = kServerData.string();
  const std::vector<std::string> lines = {
      "vantrel_a = " + d + "/a.fdb",
      "vantrel_a=" + d + "/a.fdb # a comment",
      "vantrel_a\t=\t\"" + d + "/a b#1.fdb\"",
      "vantrel_a = " + d + "/a.fdb\r",
      std::string("vantrel_a = ") + d + "/a.fdb" + std::string("\0junk }", 7),
      "   # an indented comment { } \" include",
      "vantrel two words = " + d + "/a.fdb",
      "included = " + d + "/a.fdb",
      "vantrel_a = " + d + "/it's=a.fdb",
      "}",
      "{",
      "vantrel_a = " + d + "/a.fdb {",
      "vantrel_a = " + d + "/a\".fdb",
      "\"vantrel_a\" = " + d + "/a.fdb",
      "vantrel_a = \"" + d + "/a.fdb\" more",
      "vantrel_a",
      "= " + d + "/a.fdb",
      "vantrel_a = ",
      "vantrel_probe = " + d + "/other.fdb",
      "include /etc/hostname",
      "vantrel_a = $(nothing)/a.fdb",
      "vantrel_a = " + d + "/{{a}}.fdb",
      "vantrel_a = relative.fdb",
  };
  // Each content is dated a second of its own, ahead of the clock: the server reloads the file
  // whenever that second changes, however fast the cases follow each other.
  std::time_t second = std::time(nullptr) + 3600;
  const std::vector<std::string> before = SplitAliasText(base);
  int harmless = 0, illegal = 0;
  for (const std::string& line : lines) {
    const std::string content = base + line + "\n";
    std::ofstream(kServerConf, std::ios::binary | std::ios::trunc) << content;
    const timespec times[2] = {{0, UTIME_OMIT}, {++second, 0}};
    utimensat(AT_FDCWD, kServerConf.c_str(), times, 0);
    const bool serverReads = OpensByAlias("vantrel_probe");
    const std::optional<std::string> concern = NewConfConcern(before, SplitAliasText(content));
    const TConfLineReading reading = ReadConfLine(line);
    const std::string shown = ::testing::PrintToString(line);
    if (!concern) {
      ++harmless;
      EXPECT_TRUE(serverReads) << shown << " was taken as harmless, the server refused the file";
    } else if (reading.kind == TConfLineReading::Bad) {
      ++illegal;
      EXPECT_FALSE(serverReads) << shown << " was taken as illegal, the server read it (" << *concern << ")";
    }
  }
  EXPECT_GE(harmless, 8);
  EXPECT_GE(illegal, 4);
  fs::remove(probe);
}
