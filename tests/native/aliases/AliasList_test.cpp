#include "aliases/AliasList.h"

#include "AliasTestSupport.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

std::string SettingsLines(const std::string& defaultPath, bool zeeBeeDee, int tunnelPort, int socketPort) {
  return "# Socket_Port=" + std::to_string(socketPort) + "\r\n# ZeeBeeDee_Port=" + std::to_string(tunnelPort) +
         "\r\n# ZeeBeeDee=" + (zeeBeeDee ? "True" : "False") + "\r\n# DEFAULT_PATH=" + defaultPath + "\r\n";
}

}  // namespace

class AliasLoad : public AliasFolderTest {
 protected:
  // All four settings lines with valid values; tests swap one line for the case at hand.
  std::string Complete(const std::string& defaultPathLine = "", const std::string& tunnelLine = "# ZeeBeeDee=False",
                       const std::string& tunnelPortLine = "# ZeeBeeDee_Port=4051",
                       const std::string& socketPortLine = "# Socket_Port=4049") {
    const std::string path =
        defaultPathLine.empty() ? "# DEFAULT_PATH=" + IncludeTrailingPathDelimiter(Folder()) : defaultPathLine;
    return "employee=C:\\db\\employee.fdb\r\n" + path + "\r\n" + tunnelLine + "\r\n" + tunnelPortLine + "\r\n" +
           socketPortLine + "\r\n";
  }
};

TEST_F(AliasLoad, MissingSettingsTakeDefaultsAndAreWrittenOnTopOfTheUnchangedLines) {
  const std::string aliases = "# Aliases\r\nemployee = C:\\db\\employee.fdb\r\n\r\nsecurity=C:\\sec.fdb # old\r\n";
  WriteBytes(file_, aliases);
  list_.Load(file_);
  EXPECT_TRUE(settings_.ZeeBeeDee());
  EXPECT_EQ(settings_.ZeeBeeDeePort(), 3051);
  EXPECT_EQ(settings_.SocketPort(), 3049);
  EXPECT_EQ(settings_.DefaultPath(), exeFolder_);
  EXPECT_EQ(saves_, 1);
  EXPECT_EQ(OnDisk(), SettingsLines(exeFolder_, true, 3051, 3049) + aliases);
  EXPECT_FALSE(list_.ReadOnly());
}

// A file without a line break takes this platform's line end (LF here, CR LF on Windows).
TEST_F(AliasLoad, AnEmptyFileGetsTheFourLinesAndNothingElse) {
  WriteBytes(file_, "");
  list_.Load(file_);
  EXPECT_EQ(OnDisk(), JoinAliasLines(SplitAliasText(SettingsLines(exeFolder_, true, 3051, 3049)), PlatformLineEnd()));
  EXPECT_EQ(list_.LineCount(), 4);
}

TEST_F(AliasLoad, CompleteSettingsAreTakenWithoutWritingBack) {
  const std::string content =
      Complete("# default_path=" + Folder(), "# zeebeedee=false", "# zeebeedee_port=$FCB", "# SOCKET_PORT=  -12");
  WriteBytes(file_, content);
  list_.Load(file_);
  EXPECT_EQ(settings_.DefaultPath(), IncludeTrailingPathDelimiter(Folder()));
  EXPECT_FALSE(settings_.ZeeBeeDee());
  EXPECT_EQ(settings_.ZeeBeeDeePort(), 0xFCB);
  EXPECT_EQ(settings_.SocketPort(), -12);
  EXPECT_EQ(saves_, 0);
  EXPECT_EQ(OnDisk(), content);
}

TEST_F(AliasLoad, TunnelIsOnOnlyWhenItsValueContainsTrueInAnyCase) {
  struct Case {
    const char* line;
    bool on;
  };
  for (const Case& c : {Case{"# ZeeBeeDee=False", false}, Case{"# ZeeBeeDee=yes", false}, Case{"# ZeeBeeDee", false},
                        Case{"# ZeeBeeDee=", false}, Case{"# zeebeedee=true", true}, Case{"# ZEEBEEDEE=xTrUe!", true},
                        Case{"# ZeeBeeDee =True", false}}) {
    settings_.SetZeeBeeDee(!c.on);
    WriteBytes(file_, Complete("", c.line));
    list_.Load(file_);
    EXPECT_EQ(settings_.ZeeBeeDee(), c.on) << c.line;
  }
  EXPECT_EQ(saves_, 0);
}

// A settings line is rewritten only when its value changes: the way someone wrote it stays.
TEST_F(AliasLoad, ALowerCaseTunnelLineStaysAsWrittenUntilItsValueChanges) {
  WriteBytes(file_, Complete("", "# zeebeedee=true"));
  list_.Load(file_);
  const int index = list_.FindName("# ZEEBEEDEE");
  list_.Save(file_);
  EXPECT_EQ(OnDisk(), Complete("", "# zeebeedee=true"));
  settings_.SetZeeBeeDee(false);
  list_.Save(file_);
  EXPECT_EQ(list_.LineAt(index), "# ZeeBeeDee=False");
  EXPECT_EQ(OnDisk(), Complete("", "# ZeeBeeDee=False"));
}

TEST_F(AliasLoad, PortsAcceptLeadingBlanksSignsAndHexPrefixes) {
  struct Case {
    const char* value;
    int port;
  };
  for (const Case& c : {Case{" 4000", 4000}, Case{"   +4000", 4000}, Case{"$FA0", 4000}, Case{"xfa0", 4000},
                        Case{"X0FA0", 4000}, Case{"0xFa0", 4000}, Case{"-1", -1}, Case{"2147483647", 2147483647}}) {
    WriteBytes(file_, Complete("", "# ZeeBeeDee=False", "# ZeeBeeDee_Port=" + std::string(c.value),
                               "# Socket_Port=" + std::string(c.value)));
    list_.Load(file_);
    EXPECT_EQ(settings_.ZeeBeeDeePort(), c.port) << c.value;
    EXPECT_EQ(settings_.SocketPort(), c.port) << c.value;
  }
  EXPECT_EQ(saves_, 0);
}

// An unusable port is someone's text: the port in use falls back to its default, the line stays
// until the port is changed.
TEST_F(AliasLoad, AnUnusablePortFallsBackToItsDefaultAndItsLineStaysUntilThePortChanges) {
  for (const char* value : {"4000 ", "", "   ", "40 00", "0x", "$-10", "4294967297", "2147483648", "\t4000"}) {
    const std::string content = Complete("", "# ZeeBeeDee=False", "# ZeeBeeDee_Port=" + std::string(value),
                                         "# Socket_Port=" + std::string(value));
    WriteBytes(file_, content);
    list_.Load(file_);
    EXPECT_EQ(settings_.SocketPort(), 3049) << '"' << value << '"';
    EXPECT_EQ(settings_.ZeeBeeDeePort(), 3051) << '"' << value << '"';
    list_.Save(file_);
    EXPECT_EQ(OnDisk(), content) << value;
  }
  EXPECT_EQ(saves_, 0);
  settings_.SetSocketPort(3050);
  list_.Save(file_);
  EXPECT_EQ(OnDisk(), Complete("", "# ZeeBeeDee=False", "# ZeeBeeDee_Port=\t4000", "# Socket_Port=3050"));
}

// A default folder that is not there now (a share not mounted yet) is the administrator's: saves
// leave its line alone until the folder is changed here.
TEST_F(AliasLoad, ARejectedDefaultPathKeepsTheShownFolderAndItsLineUntilTheFolderIsChanged) {
  const std::string shown = exeFolder_ + "Data" + kPathDelimiter;
  for (const std::string& line : {"# DEFAULT_PATH = " + Folder(), "# DEFAULT_PATH=" + Folder() + "-not-mounted",
                                  std::string("# DEFAULT_PATH=   "), "# DEFAULT_PATH" + Folder()}) {
    WriteBytes(file_, Complete(line));
    list_.Load(file_);
    EXPECT_EQ(settings_.DefaultPath(), shown) << line;
    list_.Save(file_);
    EXPECT_EQ(OnDisk(), Complete(line)) << line;
  }
  EXPECT_EQ(saves_, 0);
  settings_.SetDefaultPath(Folder());
  list_.Save(file_);
  EXPECT_EQ(list_.LineAt(1), "# DEFAULT_PATH=" + IncludeTrailingPathDelimiter(Folder()));
}

// Only a comment line that begins with a marker is a settings line. A marker mentioned anywhere
// else (a comment, an alias line's comment) is someone's text: replacing that line by a settings
// line would drop an alias.
TEST_F(AliasLoad, AMarkerMentionedInsideALineIsNoSettingsLine) {
  const std::string content = "# The command server listens on # SOCKET_PORT below\r\n"
                              "legacy = /data/x.fdb  # Socket_Port of the old app\r\n" +
                              Complete() + "# Socket_Port=5000\r\n";
  WriteBytes(file_, content);
  list_.Load(file_);
  EXPECT_EQ(settings_.SocketPort(), 4049);
  EXPECT_EQ(saves_, 0);

  settings_.SetSocketPort(6000);
  list_.Save(file_);
  const std::vector<std::string> lines = list_.Lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "# The command server listens on # SOCKET_PORT below");
  EXPECT_EQ(lines[1], "legacy = /data/x.fdb  # Socket_Port of the old app");
  EXPECT_EQ(lines[6], "# Socket_Port=6000");
  EXPECT_EQ(lines[7], "# Socket_Port=5000");
}

TEST_F(AliasLoad, ADefaultPathContainingAnotherMarkerSurvivesTheSave) {
  const std::string odd = Folder() + kPathDelimiter + "# socket_port";
  std::filesystem::create_directories(odd);
  WriteBytes(file_, "# DEFAULT_PATH=" + odd + "\r\n# Socket_Port=4049\r\n# ZeeBeeDee=True\r\n# ZeeBeeDee_Port=1\r\n");
  list_.Load(file_);
  EXPECT_EQ(settings_.DefaultPath(), IncludeTrailingPathDelimiter(odd));
  list_.Save(file_);

  TPlainAliasSettings again(exeFolder_);
  TAliasList reloaded(&again);
  reloaded.Load(file_);
  EXPECT_EQ(again.DefaultPath(), IncludeTrailingPathDelimiter(odd));
  EXPECT_EQ(again.SocketPort(), 4049);
}

// A tunnel line that mentions the port marker in its value supplies the tunnel's value: the port's
// line must not be written over it, or the saved file would load back with another tunnel.
TEST_F(AliasLoad, ALineSupplyingOneSettingIsNotOverwrittenByAnotherWhoseMarkerItMentions) {
  WriteBytes(file_, "# ZeeBeeDee=# ZeeBeeDee_Port\n# ZeeBeeDee=True# ZeeBeeDee_Port\n# ZeeBeeDee\n");
  list_.Load(file_);
  const bool tunnel = settings_.ZeeBeeDee();
  TPlainAliasSettings again(exeFolder_);
  TAliasList reloaded(&again);
  reloaded.Load(file_);
  EXPECT_EQ(again.ZeeBeeDee(), tunnel);
  EXPECT_EQ(again.ZeeBeeDeePort(), 3051);
  EXPECT_EQ(reloaded.LineAt(1), "# ZeeBeeDee_Port=3051");  // inserted, below the socket port
}

TEST_F(AliasLoad, ReadOnlyFileIsMarkedAndTheMarkStays) {
  WriteBytes(file_, Complete());
  list_.Load(file_);
  EXPECT_FALSE(list_.ReadOnly());

  std::filesystem::permissions(file_, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                          std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  list_.Load(file_);
  EXPECT_TRUE(list_.ReadOnly());

  std::filesystem::permissions(file_, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  list_.Load(file_);
  EXPECT_TRUE(list_.ReadOnly());
}

TEST_F(AliasLoad, AFailedWriteBackPropagatesAndSkipsTheReadOnlyCheck) {
  WriteBytes(file_, "employee=x\r\n");
  std::filesystem::permissions(file_, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                          std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  settings_.saveAliasFile = [] { throw EAliasFileError("no room", "x", "full", 28); };
  EXPECT_THROW(list_.Load(file_), EAliasFileError);
  EXPECT_FALSE(list_.ReadOnly());
  EXPECT_EQ(list_.LineCount(), 1);
}

TEST_F(AliasLoad, WithoutAHostNothingIsSetOrWrittenBack) {
  WriteBytes(file_, "a=b\r");
  TAliasList bare;
  bare.Load(file_);
  EXPECT_EQ(bare.Lines(), std::vector<std::string>{"a=b\r"});
  bare.Save(file_);
  EXPECT_EQ(OnDisk(), "a=b\r");
}

TEST_F(AliasLoad, SavedSettingsReadBackUnchanged) {
  WriteBytes(file_, "# x\r\n");
  list_.Load(file_);
  settings_.SetDefaultPath(Folder());
  settings_.SetZeeBeeDee(false);
  settings_.SetZeeBeeDeePort(-7);
  settings_.SetSocketPort(65535);
  list_.Save(file_);

  TPlainAliasSettings again("elsewhere");
  TAliasList reloaded(&again);
  reloaded.Load(file_);
  EXPECT_EQ(again.DefaultPath(), settings_.DefaultPath());
  EXPECT_FALSE(again.ZeeBeeDee());
  EXPECT_EQ(again.ZeeBeeDeePort(), -7);
  EXPECT_EQ(again.SocketPort(), 65535);
  EXPECT_EQ(reloaded.Lines(), list_.Lines());
}

TEST(AliasLookup, NamesAreRawAndLinesWithoutEqualsNeverMatch) {
  TAliasList list;
  list.SetText("employee =C:\\a.fdb\r\nEmployee=C:\\b.fdb # note\r\nnoequals\r\n=C:\\empty.fdb\r\n");
  EXPECT_EQ(list.FindName("employee"), 1);
  EXPECT_EQ(list.FindName("employee "), 0);
  EXPECT_EQ(list.ValueOf("EMPLOYEE"), "C:\\b.fdb # note");
  EXPECT_EQ(list.NameAt(0), "employee ");
  EXPECT_EQ(list.NameAt(2), "");
  EXPECT_EQ(list.FindName("noequals"), -1);
  EXPECT_EQ(list.ValueOf("missing"), "");
  EXPECT_EQ(list.FindName(""), 3);

  TAliasList noEquals;
  noEquals.SetText("first\r\n\r\n# comment\r\n");
  EXPECT_EQ(noEquals.FindName(""), -1);
}

TEST(AliasLookup, TurkishNamesMatchIgnoringCaseAndAnExactComparerCanBePlugged) {
  TAliasList list;
  list.SetText("\xE7" "ar\xFD\xFE=C:\\x.fdb\r\n");  // "çarış"
  EXPECT_EQ(list.FindName("\xC7" "AR\xDD\xDE"), 0);
  EXPECT_EQ(list.FindName("\xC7" "ARI\xDE"), -1);
  list.SetNameComparer([](const std::string& a, const std::string& b) { return a == b; });
  EXPECT_EQ(list.FindName("\xC7" "AR\xDD\xDE"), -1);
  EXPECT_EQ(list.FindName("\xE7" "ar\xFD\xFE"), 0);
}

TEST(AliasLookup, EditingLinesKeepsOrderExceptWhereStated) {
  TAliasList list;
  list.SetText("a=1\r\nB=2\r\nc=3\r\n");
  list.SetValueOf("b", "22");
  EXPECT_EQ(list.LineAt(1), "b=22");
  list.SetValueOf("d", "4");
  EXPECT_EQ(list.AddLine("e=5"), 4);
  list.DeleteLine(0);
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"b=22", "c=3", "d=4", "e=5"}));
  EXPECT_THROW(list.DeleteLine(4), std::out_of_range);
  EXPECT_THROW(list.DeleteLine(-1), std::out_of_range);
  EXPECT_THROW(list.LineAt(4), std::out_of_range);
}

TEST(AliasEntry, CommentCutThenTrimmedNameAndPathBothNeeded) {
  const auto entry = AliasEntryOf("  employee = C:\\db\\employee.fdb # moved\t");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "employee");
  EXPECT_EQ(entry->path, "C:\\db\\employee.fdb");
  EXPECT_TRUE(AliasEntryOf("x=y#"));
  for (const char* line : {"# DEFAULT_PATH=C:\\data\\", "a=", "=b", " = ", "a#=b", "no equals", ""})
    EXPECT_FALSE(AliasEntryOf(line)) << line;
}

// The window shows the settings and counts their changes as pending, as a user's edit would; the
// default folder is shown, not edited, so its change is never pending. A value set again unchanged
// is no change.
TEST_F(AliasLoad, SettingsReportEachRealChangeAndWhetherItIsPending) {
  std::vector<bool> reports;
  settings_.changed = [&](bool pending) { reports.push_back(pending); };
  WriteBytes(file_, Complete("", "# ZeeBeeDee=True"));
  list_.Load(file_);
  EXPECT_FALSE(reports.empty());
  reports.clear();
  settings_.SetSocketPort(settings_.SocketPort());
  settings_.SetZeeBeeDee(settings_.ZeeBeeDee());
  EXPECT_TRUE(reports.empty());
  settings_.SetSocketPort(3061);
  settings_.SetDefaultPath(exeFolder_);
  settings_.SetZeeBeeDee(false);
  EXPECT_EQ(reports, (std::vector<bool>{true, false, true}));
}
