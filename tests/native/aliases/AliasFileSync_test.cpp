// The alias file kept in step with the disk: every change lands on what the file holds at that
// moment, outside edits are read and kept, and line ends stay the file's own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "AliasTestSupport.h"
#include "aliases/AliasFileSync.h"
#include "remote/ServeHost.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

struct TLayout {
  const char* fileName;
  const char* lineEnd;
};

std::string Joined(std::initializer_list<std::string> lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

std::vector<std::string> LinesOf(const std::string& bytes) { return SplitAliasText(bytes); }

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class AliasFileSyncTest : public AliasFolderTest, public ::testing::WithParamInterface<TLayout> {
 protected:
  void SetUp() override {
    AliasFolderTest::SetUp();
    file_ = folder_ / GetParam().fileName;
    end_ = GetParam().lineEnd;
    sync_.SetPath(file_);
  }
  bool DatabasesConf() const { return sync_.Rules() == AliasFileRules::DatabasesConf; }
  void Append(const std::string& bytes) {
    std::ofstream(file_, std::ios::binary | std::ios::app) << bytes;
  }
  // Every line break of the file is the file's own.
  void ExpectOnlyOwnLineEnds() {
    const std::string bytes = OnDisk();
    const std::size_t crlf = [&] {
      std::size_t n = 0;
      for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++n;
      return n;
    }();
    const std::size_t lf = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (end_ == "\n")
      EXPECT_EQ(crlf, 0u) << bytes;
    else
      EXPECT_EQ(crlf, lf) << bytes;
  }

  std::string end_;
  TAliasFileSync sync_{settings_, SameNameCp1254};
};

// One administrator's day: the program reads the file, someone edits it by hand (an alias, and in
// databases.conf a block of the server's), then a remote create, the page's add, change and delete
// and a settings change are applied. Nothing written by hand is lost, the block stays byte for
// byte, and every line ends as the file's lines did.
TEST_P(AliasFileSyncTest, HandEditsSurviveEveryKindOfChangeAndLineEndsStay) {
  const std::string block = "blocked = /db/blocked.fdb {";
  WriteBytes(file_, Joined({"# Socket_Port=3049", "a=/db/a.fdb", "b=/db/b.fdb", "gone=/db/gone.fdb"}, end_));
  ASSERT_TRUE(sync_.Refresh());
  ASSERT_EQ(sync_.Settings().socketPort, 3049);

  Append(Joined({"manual = /db/manual.fdb"}, end_));
  if (DatabasesConf()) Append(Joined({block, "\tRemoteAccess = false  # the server's", "}"}, end_));

  sync_.AddAlias("created", "/db/created.fdb");
  const std::vector<TAliasEdit> page{{TAliasEdit::Add, "", "", "added", "/db/added.fdb"},
                                     {TAliasEdit::Change, "a", "/db/a.fdb", "a", "/db/a2.fdb"},
                                     {TAliasEdit::Delete, "gone", "/db/gone.fdb", "", ""}};
  sync_.Apply([&](TAliasList& list) {
    for (const TAliasEdit& edit : page) ApplyAliasEdit(list, edit, [] { return false; });
    list.SetSocketPort(4049);
  });

  const std::vector<std::string> lines = LinesOf(OnDisk());
  EXPECT_TRUE(Has(lines, "manual = /db/manual.fdb"));
  EXPECT_TRUE(Has(lines, "created=/db/created.fdb"));
  EXPECT_TRUE(Has(lines, "added=/db/added.fdb"));
  EXPECT_TRUE(Has(lines, "a=/db/a2.fdb"));
  EXPECT_TRUE(Has(lines, "b=/db/b.fdb"));
  EXPECT_FALSE(Has(lines, "gone=/db/gone.fdb"));
  EXPECT_TRUE(Has(lines, "# Socket_Port=4049"));
  if (DatabasesConf()) {
    const std::string whole = Joined({block, "\tRemoteAccess = false  # the server's", "}"}, end_);
    EXPECT_NE(OnDisk().find(whole), std::string::npos) << OnDisk();
  }
  ExpectOnlyOwnLineEnds();
  EXPECT_EQ(sync_.Settings().socketPort, 4049);
}

// vantrel-serve reads the file for each request: a name someone added by hand is an existing
// alias, and the list a client gets is what the file holds now, at one status call per request.
TEST_P(AliasFileSyncTest, TheCommandHostAnswersFromTheFileAsItIsNow) {
  WriteBytes(file_, Joined({"first=/db/first.fdb"}, end_));
  TServeHost host(file_, Folder() + "/Data/", '.', ':');
  ASSERT_TRUE(host.LoadAliasFile());
  EXPECT_FALSE(host.HasAliasName("TAKEN"));
  Append(Joined({"taken=/db/taken.fdb"}, end_));
  EXPECT_TRUE(host.HasAliasName("TAKEN"));
  EXPECT_TRUE(Has(host.AliasLines(), "taken=/db/taken.fdb"));

  host.AddAlias("new", "/db/new.fdb");
  host.AddAlias("TAKEN", "/db/other.fdb");  // the name is taken by then: nothing is written for it
  const std::vector<std::string> lines = LinesOf(OnDisk());
  EXPECT_TRUE(Has(lines, "taken=/db/taken.fdb"));
  EXPECT_TRUE(Has(lines, "new=/db/new.fdb"));
  EXPECT_FALSE(Has(lines, "TAKEN=/db/other.fdb"));
  ExpectOnlyOwnLineEnds();
}

// Someone replaces the file between the read and the replacement: the change is made again on
// their content, so their line is kept and ours is there once.
TEST_P(AliasFileSyncTest, AFileChangedDuringTheSaveIsReadAndChangedAgain) {
  WriteBytes(file_, Joined({"a=/db/a.fdb"}, end_));
  int runs = 0;
  sync_.Apply([&](TAliasList& list) {
    if (++runs == 1) {
      const std::filesystem::path other = folder_ / "other";
      WriteBytes(other, Joined({"a=/db/a.fdb", "racer=/db/racer.fdb"}, end_));
      std::filesystem::rename(other, file_);
    }
    list.AddLine("mine=/db/mine.fdb");
  });
  EXPECT_EQ(runs, 2);
  const std::vector<std::string> lines = LinesOf(OnDisk());
  EXPECT_TRUE(Has(lines, "racer=/db/racer.fdb"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "mine=/db/mine.fdb"), 1);
}

// An alias kept waiting counts as existing and goes into the file with the next change.
TEST_P(AliasFileSyncTest, APendingAliasIsWrittenByTheNextChange) {
  WriteBytes(file_, Joined({"a=/db/a.fdb"}, end_));
  ASSERT_TRUE(sync_.Refresh());
  sync_.KeepPending({"waiting", "/db/waiting.fdb"});
  EXPECT_TRUE(sync_.HasAlias("WAITING"));
  sync_.AddAlias("next", "/db/next.fdb");
  const std::vector<std::string> lines = LinesOf(OnDisk());
  EXPECT_TRUE(Has(lines, "waiting=/db/waiting.fdb"));
  EXPECT_TRUE(Has(lines, "next=/db/next.fdb"));
  EXPECT_TRUE(sync_.Pending().empty());
}

// A waiting alias belongs to its file: another file given meanwhile (an installation switch, a
// root change) never receives it, and it is written into its own as soon as that can be done.
TEST_P(AliasFileSyncTest, AnAliasWaitingForOneFileIsWrittenIntoItAfterASwitchAndNeverIntoTheOther) {
  const std::filesystem::path other = folder_ / ("other-" + file_.filename().string());
  WriteBytes(file_, Joined({"a=/db/a.fdb"}, end_));
  WriteBytes(other, Joined({"o=/db/o.fdb"}, end_));
  sync_.KeepPending({"waiting", "/db/waiting.fdb"});
  using TNotice = TAliasFileSync::TNotice;
  std::vector<std::pair<TNotice, std::string>> logged;
  sync_.notice = [&](TNotice notice, const std::string& detail) { logged.emplace_back(notice, detail); };

  sync_.SetPath(other);
  EXPECT_FALSE(sync_.HasAlias("waiting"));
  sync_.AddAlias("there", "/db/there.fdb");
  EXPECT_FALSE(Has(LinesOf(ReadBytes(other)), "waiting=/db/waiting.fdb"));
  EXPECT_EQ(sync_.PendingCount(), 1u);

  sync_.WritePendingElsewhere();
  EXPECT_TRUE(Has(LinesOf(OnDisk()), "waiting=/db/waiting.fdb"));
  EXPECT_EQ(sync_.PendingCount(), 0u);
  EXPECT_EQ(logged, (std::vector<std::pair<TNotice, std::string>>{{TNotice::WaitingWritten, file_.string()}}));

  // Back on the first file, a waiting alias whose name someone wrote meanwhile is dropped, and
  // the log says so rather than "written".
  sync_.SetPath(file_);
  sync_.KeepPending({"a", "/db/second-a.fdb"});
  logged.clear();
  sync_.AddAlias("b", "/db/b.fdb");
  EXPECT_FALSE(Has(LinesOf(OnDisk()), "a=/db/second-a.fdb"));
  EXPECT_EQ(logged, (std::vector<std::pair<TNotice, std::string>>{{TNotice::AliasDropped, "a=/db/second-a.fdb"}}));
}

// Whatever asks for it (the page, a request), a content the server would refuse is not written:
// the file stays as it was and the caller hears why, not as a held file that may be tried again.
TEST_P(AliasFileSyncTest, AChangeTheServerWouldRefuseIsNeverWritten) {
  const std::string content = Joined({"# Socket_Port=3049", "a=/db/a.fdb", "open = /db/o.fdb {", "}"}, end_);
  WriteBytes(file_, content);
  for (const std::string& line : {std::string("}"), std::string("A = /db/twice.fdb"), std::string("b=\"/db/b.fdb")}) {
    try {
      sync_.Apply([&](TAliasList& list) { list.AddLine(line); });
      if (DatabasesConf()) ADD_FAILURE() << line << " was written";
    } catch (const EAliasFileError& e) {
      EXPECT_FALSE(e.Held()) << line;
      EXPECT_NE(e.Reason().find("refuse"), std::string::npos) << e.Reason();
    }
    if (DatabasesConf()) EXPECT_EQ(OnDisk(), content) << line;
    WriteBytes(file_, content);
  }
  // A request's alias below a block left open would be read as one of the block's settings.
  WriteBytes(file_, Joined({"open = /db/o.fdb {", "  LockTimeout = 5"}, end_));
  const auto problem = sync_.NewAliasProblem("late", "/db/late.fdb");
  EXPECT_EQ(problem.has_value(), DatabasesConf());
  // A reserved alias is taken until it is given back.
  sync_.Reserve("made");
  EXPECT_TRUE(sync_.HasAlias("MADE"));
  sync_.Release("made");
  EXPECT_FALSE(sync_.HasAlias("MADE"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, AliasFileSyncTest,
                         ::testing::Values(TLayout{"aliases.conf", "\r\n"}, TLayout{"aliases.conf", "\n"},
                                           TLayout{"databases.conf", "\n"}, TLayout{"databases.conf", "\r\n"}),
                         [](const auto& info) {
                           return std::string(info.param.fileName[0] == 'a' ? "AliasesConf" : "DatabasesConf") +
                                  (std::string(info.param.lineEnd) == "\n" ? "Lf" : "CrLf");
                         });

// What someone else wrote is bytes the program does not touch: a NUL (once the end of everything
// after it), a lone CR inside a comment (once a line break that brought a disabled alias to
// life), LF and CR LF lines side by side, a byte order mark (once part of the first name, so
// that alias was written a second time) and a last line without its end.
TEST(AliasFileBytes, ACreateChangesOnlyTheLinesItTouches) {
  const auto folder = std::filesystem::temp_directory_path() / ("vantrel-bytes-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "databases.conf";
  using namespace std::string_literals;
  const std::string before = std::string("\xEF\xBB\xBF" "first = /db/first.fdb\r\n"
                                         "# Socket_Port=3049\n# ZeeBeeDee=True\n# ZeeBeeDee_Port=3051\n"
                                         "# DEFAULT_PATH=/db/\n"
                                         "# old: disabled\rdisabled = /db/off.fdb\n"
                                         "nul = /db/nul.fdb # a\0b\r\n"
                                         "security.db = /db/sec.fdb\n{\n\tRemoteAccess = false\n}\n"
                                         "last = /db/last.fdb"s);
  ASSERT_EQ(before.back(), 'b');
  WriteBytes(file, before);
  TServeHost host(file, "/db/", '.', ':');
  ASSERT_TRUE(host.LoadAliasFile());
  EXPECT_EQ(ReadBytes(file), before) << "complete settings lines: nothing to write at start";
  EXPECT_TRUE(host.HasAliasName("FIRST")) << "the mark is not part of the first name";
  EXPECT_FALSE(host.HasAliasName("disabled")) << "a lone CR does not end the comment";
  EXPECT_TRUE(host.AddAlias("added", "/db/added.fdb"));
  EXPECT_EQ(ReadBytes(file), before + "\r\nadded=/db/added.fdb");
  EXPECT_FALSE(host.AddAlias("first", "/db/again.fdb"));
  std::filesystem::remove_all(folder);
}

// The page's edits made by name on a file that changed meanwhile: where the same alias was changed
// on disk, the user's answer decides; a deleted alias already gone needs no question.
TEST(AliasEditConflicts, TheAnswerDecidesWhichVersionStays) {
  TAliasList disk;
  disk.SetText("a=/disk/a.fdb\r\nb=/db/b.fdb\r\nnew=/disk/new.fdb\r\n");
  const TAliasEdit change{TAliasEdit::Change, "a", "/db/a.fdb", "a", "/page/a.fdb"};
  const TAliasEdit add{TAliasEdit::Add, "", "", "NEW", "/page/new.fdb"};
  const TAliasEdit deleteGone{TAliasEdit::Delete, "vanished", "/db/v.fdb", "", ""};
  const TAliasEdit changeGone{TAliasEdit::Change, "vanished", "/db/v.fdb", "vanished", "/page/v.fdb"};
  const TAliasEdit plain{TAliasEdit::Change, "b", "/db/b.fdb", "b", "/page/b.fdb"};
  for (const TAliasEdit* edit : {&change, &add, &changeGone}) EXPECT_TRUE(EditConflicts(disk, *edit));
  for (const TAliasEdit* edit : {&deleteGone, &plain}) EXPECT_FALSE(EditConflicts(disk, *edit));

  TAliasList keepDisk;
  keepDisk.SetText(disk.Text());
  int asked = 0;
  for (const TAliasEdit* edit : {&change, &add, &changeGone, &deleteGone, &plain})
    ApplyAliasEdit(keepDisk, *edit, [&] { return ++asked, false; });
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(keepDisk.Lines(), (std::vector<std::string>{"a=/disk/a.fdb", "b=/page/b.fdb", "new=/disk/new.fdb"}));

  TAliasList keepPage;
  keepPage.SetText(disk.Text());
  for (const TAliasEdit* edit : {&change, &add, &changeGone}) ApplyAliasEdit(keepPage, *edit, [] { return true; });
  EXPECT_EQ(keepPage.Lines(), (std::vector<std::string>{"a=/page/a.fdb", "b=/db/b.fdb", "NEW=/page/new.fdb",
                                                         "vanished=/page/v.fdb"}));
}

}  // namespace
