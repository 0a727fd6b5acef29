// databases.conf of the current servers: blocks in braces are the server's, never aliases, kept
// byte for byte; an alias name is never there twice; every save moves the file's time on.
#include <sys/stat.h>


#include "AliasTestSupport.h"
#include "aliases/DatabasesConf.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// The shipped file's shape, with the other brace position, escapes and a comment after "}".
const std::vector<std::string> kShipped = {
    "# Aliases and per-database settings",
    "include $(dir_conf)/more.conf",
    "employee.fdb = $(dir_sampleDb)/employee.fdb",
    "employee = $(dir_sampleDb)/employee.fdb",
    "",
    "security.db = $(dir_secDb)/security5.fdb",
    "{",
    "\tRemoteAccess = false",
    "\tDefaultDbCachePages = 256",
    "}",
    "sales = \"C:\\Data\\sales#2024.fdb\" # the quoted # is part of the path",
    "mine = C:\\Data\\mine.fdb {",
    "  # a comment inside the block",
    "  LockTimeout = 5",
    "}   # end of mine",
    "odd = C:\\Data\\{{odd}}.fdb",
};

std::string Text(const std::vector<std::string>& lines) { return JoinAliasLines(lines); }

std::vector<std::string> Names(const TAliasList& list) {
  std::vector<std::string> names;
  for (const TListedAlias& alias : list.ListedAliases()) names.push_back(alias.entry.name);
  return names;
}

class DatabasesConf : public AliasFolderTest {
 protected:
  void SetUp() override {
    AliasFolderTest::SetUp();
    file_ = folder_ / "databases.conf";
    list_.SetRules(RulesForFile(file_));
    list_.SetText(Text(kShipped));
  }
  int LineOf(const std::string& name) const { return list_.FindAlias(name); }
};

}  // namespace

TEST_F(DatabasesConf, OnlyAliasLinesAreListedWithTheirPathsAsTheServerReadsThem) {
  EXPECT_EQ(RulesForFile("/etc/firebird/3.0/DataBases.CONF"), AliasFileRules::DatabasesConf);
  EXPECT_EQ(RulesForFile("/x/aliases.conf"), AliasFileRules::AliasesConf);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"employee.fdb", "employee", "security.db", "sales", "mine", "odd"}));
  const auto listed = list_.ListedAliases();
  EXPECT_EQ(listed[2].entry.path, "$(dir_secDb)/security5.fdb");
  EXPECT_EQ(listed[3].entry.path, "C:\\Data\\sales#2024.fdb");
  EXPECT_EQ(listed[4].entry.path, "C:\\Data\\mine.fdb");
  EXPECT_EQ(listed[5].entry.path, "C:\\Data\\{{odd}}.fdb");  // escaped braces open no block

  const std::vector<ConfLine> roles = ClassifyDatabasesConf(kShipped);
  EXPECT_EQ(roles[6], ConfLine::BlockOpen);
  EXPECT_EQ(roles[7], ConfLine::BlockBody);
  EXPECT_EQ(roles[9], ConfLine::BlockClose);
  EXPECT_EQ(roles[11], ConfLine::AliasBlock);
  EXPECT_EQ(roles[12], ConfLine::BlockBody);
  EXPECT_EQ(roles[14], ConfLine::BlockClose);
  EXPECT_EQ(roles[15], ConfLine::Alias);
}

TEST_F(DatabasesConf, NamesClashByAliasEntryIgnoringCaseAndABlockKeyIsNoAlias) {
  EXPECT_TRUE(list_.ContainsAlias("EMPLOYEE"));
  EXPECT_TRUE(list_.ContainsAlias("Security.DB"));
  EXPECT_FALSE(list_.ContainsAlias("RemoteAccess"));
  EXPECT_FALSE(list_.ContainsAlias("LockTimeout"));
  EXPECT_EQ(list_.FindAlias("employee", LineOf("employee")), -1);  // the edited line itself

  // aliases.conf keeps its raw-name look-up: "employee " (blank before "=") is not "employee".
  list_.SetRules(AliasFileRules::AliasesConf);
  EXPECT_FALSE(list_.ContainsAlias("employee"));
  EXPECT_TRUE(list_.ContainsAlias("employee "));
}

TEST_F(DatabasesConf, ClientsGetEveryLineButTheBlocks) {
  list_.AddLine("# Socket_Port=3049");
  const std::vector<std::string> sent = list_.SendableLines();
  const std::vector<std::string> expected = {kShipped[0], kShipped[1], kShipped[2], kShipped[3], kShipped[4],
                                             kShipped[5], kShipped[10], "mine = C:\\Data\\mine.fdb",
                                             kShipped[15], "# Socket_Port=3049"};
  EXPECT_EQ(sent, expected);
}

TEST_F(DatabasesConf, AddEditDeleteAndSaveLeaveEveryOtherBlockByteForByte) {
  list_.AddLine("newdb=C:\\Data\\new.fdb");
  list_.EditAlias(LineOf("mine"), "mine2", "C:\\Data\\mine2.fdb");   // renamed in place, block kept
  list_.EditAlias(LineOf("employee"), "employee", "C:\\Data\\e.fdb");
  list_.DeleteAlias(LineOf("security.db"));                           // its block goes with it
  list_.Save(file_);

  std::vector<std::string> expected = kShipped;
  expected.erase(expected.begin() + 5, expected.begin() + 10);
  expected[3] = "employee=C:\\Data\\e.fdb";
  expected[6] = "mine2=C:\\Data\\mine2.fdb {";
  expected.push_back("newdb=C:\\Data\\new.fdb");
  std::vector<std::string> onDisk = SplitAliasText(OnDisk());
  ASSERT_EQ(onDisk.size(), expected.size() + 4);  // the four settings lines on top
  EXPECT_EQ(std::vector<std::string>(onDisk.begin() + 4, onDisk.end()), expected);

  // Deleting an alias without a block touches nothing else.
  list_.SetText(Text(kShipped));
  list_.DeleteAlias(LineOf("odd"));
  EXPECT_EQ(list_.Lines(), std::vector<std::string>(kShipped.begin(), kShipped.end() - 1));
}

TEST_F(DatabasesConf, EverySaveLeavesALaterWholeSecondOnTheFile) {
  auto wholeSecond = [this] {
    struct stat status {};
    ::stat(file_.string().c_str(), &status);
    return status.st_mtime;
  };
  list_.Save(file_);
  for (int i = 0; i < 3; ++i) {
    const auto before = wholeSecond();
    list_.AddLine("db" + std::to_string(i) + "=C:\\Data\\db.fdb");
    list_.Save(file_);  // right after the previous save, mostly within its second
    EXPECT_GT(wholeSecond(), before) << "save " << i;
  }
}
