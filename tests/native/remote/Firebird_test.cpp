// Database creation against the real Firebird server (scripts/firebird start; VANTREL_FIREBIRD=1).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <future>

#include "remote/CommandServer.h"
#include "remote/ServeHost.h"
#include "RemoteTestSupport.h"

// The client library is not built with the sanitizers: what it keeps until exit is not ours, and
// its inner synchronisation is invisible to the thread checker.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfbclient.so\n"; }
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libfbclient.so.2\ndeadlock:libfbclient.so.2\nrace:libfbclient.so.2\n";
}

using namespace vantrel;
using namespace vantrel::testing;

namespace {

constexpr char kPrefix[] = "127.0.0.1:";

bool FirebirdWanted() {
  const char* v = std::getenv("VANTREL_FIREBIRD");
  return v && std::string(v) == "1";
}

bool FirebirdAnswers() {
  net::TSocket s(net::OpenTcpSocket());
  return s.Valid() && net::ConnectSocket(s.Get(), {0x7F000001u, 3050});
}

class FirebirdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FirebirdWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs these (scripts/firebird start)";
    ASSERT_TRUE(FirebirdAnswers()) << "VANTREL_FIREBIRD=1 but no server answers on 127.0.0.1:3050";
    root_ = FreshFolder("fb");
    data_ = root_ / "Data";
    fs::create_directories(data_);
    // The server runs as its own user and writes the new files.
    chmod(data_.c_str(), 0777);
    aliasFile_ = root_ / "aliases.conf";
  }
  void TearDown() override {
    server_.reset();
    host_.reset();
    if (!root_.empty()) fs::remove_all(root_);
  }

  void StartServer() {
    host_ = std::make_unique<TServeHost>(aliasFile_, data_.string() + "/", '.', ':');
    host_->LoadAliasFile();
    TProtocolOptions options;
    options.serverPrefix = kPrefix;
    // Every client here comes from 127.0.0.1: its share is the whole cap.
    net::TListenerLimits limits;
    limits.perClient = limits.maxConnections;
    server_ = std::make_unique<TCommandServer>(*host_, options, limits);
    server_->Start({{"127.0.0.1", 0}});
  }

  std::unique_ptr<TTestClient> Connect() {
    auto c = std::make_unique<TTestClient>(server_->BoundPort(0));
    c->ReadLine();
    return c;
  }

  std::string Path(const std::string& name) { return (data_ / name).string(); }

  fs::path root_, data_, aliasFile_;
  std::unique_ptr<TServeHost> host_;
  std::unique_ptr<TCommandServer> server_;
};

}  // namespace

TEST_F(FirebirdTest, CreateMakesTheFileRegistersTheAliasAndRewritesTheAliasFile) {
  {
    std::ofstream out(aliasFile_, std::ios::binary);
    out << "# the team's databases\nOld = /srv/old.fdb\n";
  }
  StartServer();
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#Sales.fdb>#>#Sales>#4096\r\n"),
            "#Create_db Okey >" + Path("Sales.fdb") + " db Created...\r\n");
  EXPECT_TRUE(fs::is_regular_file(data_ / "Sales.fdb"));
  // The file's own LF line ends stay.
  EXPECT_EQ(ReadFileBytes(aliasFile_),
            "# Socket_Port=3049\n# ZeeBeeDee_Port=3051\n# ZeeBeeDee=True\n"
            "# DEFAULT_PATH=" + data_.string() + "/\n"
            "# the team's databases\nOld = /srv/old.fdb\nSales=" + Path("Sales.fdb") + "\n");

  c->Send("GIVEALIASLIST\n");
  auto lines = c->ReadLines(9);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[7], "Sales=" + Path("Sales.fdb") + "\r\n");
  EXPECT_EQ(lines[8], "#DONE!!!\r\n");
}

TEST_F(FirebirdTest, AnExistingFileOrAliasCreatesNothing) {
  StartServer();
  auto c = Connect();
  ASSERT_EQ(Ask(*c, "#CREATE_DB#>#a.fdb>#>#First>#4096\n").rfind("#Create_db Okey >", 0), 0u);
  std::string before = ReadFileBytes(aliasFile_);
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#a.fdb>#>#Second>#4096\n"),
            "#Create_db error >" + Path("a.fdb") + "< file exist...\r\n");
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#b.fdb>#>#FIRST>#4096\n"),
            "#Create_db error >FIRST< Alias exist...\r\n");
  EXPECT_FALSE(fs::exists(data_ / "b.fdb"));
  EXPECT_EQ(ReadFileBytes(aliasFile_), before);
}

// The server's message carries a line break (LF then CR): the reply is still one line, so the
// next request's reply is not read one line late.
TEST_F(FirebirdTest, APageSizeTheServerRejectsGivesAOneLineFailure) {
  StartServer();
  auto c = Connect();
  const std::string reply = Ask(*c, "#CREATE_DB#>#p.fdb>#>#P>#0\n");
  std::string head = "#Create_db error >" + Path("p.fdb") +
                     " Can not create db...Error creating database!  ISC# ";
  EXPECT_EQ(reply.rfind(head, 0), 0u) << reply;
  EXPECT_EQ(reply.find_first_of("\r\n"), reply.size() - 2) << reply;
  EXPECT_NE(reply.find("  SQL Code: -"), std::string::npos) << reply;
  EXPECT_NE(reply.find(", Message: "), std::string::npos);
  EXPECT_FALSE(fs::exists(data_ / "p.fdb"));
  EXPECT_FALSE(fs::exists(aliasFile_));
  EXPECT_EQ(Ask(*c, "QUIT\n"), "G\xFCle g\xFCle!\r\n");
}

TEST_F(FirebirdTest, ConcurrentRequestsForOneAliasLeaveExactlyOneLine) {
  StartServer();
  constexpr int kClients = 32;
  std::vector<std::future<std::string>> replies;
  for (int i = 0; i < kClients; ++i)
    replies.push_back(std::async(std::launch::async, [this, i] {
      auto c = Connect();
      return Ask(*c, "#CREATE_DB#>#race" + std::to_string(i) + ".fdb>#>#Shared>#4096\n");
    }));
  int created = 0;
  for (auto& r : replies) {
    std::string reply = r.get();
    bool ok = reply.rfind("#Create_db Okey >", 0) == 0;
    EXPECT_TRUE(ok || reply == "#Create_db error >Shared< Alias exist...\r\n") << reply;
    created += ok;
  }
  EXPECT_GE(created, 1);
  std::string file = ReadFileBytes(aliasFile_);
  std::size_t count = 0;
  for (std::size_t at = file.find("\nShared="); at != std::string::npos; at = file.find("\nShared=", at + 1))
    ++count;
  EXPECT_EQ(count, 1u) << file;
}

TEST_F(FirebirdTest, HostileRequestsCreateNothingAnywhere) {
  StartServer();
  fs::path outside = root_ / "outside.fdb";
  auto c = Connect();
  for (const std::string& request : std::vector<std::string>{
           "#CREATE_DB#>#../outside.fdb>#>#A>#4096", "#CREATE_DB#>#" + outside.string() + ">#>#A>#4096",
        "#CREATE_DB#>#x.fdb>#>#A>#4096 DEFAULT CHARACTER SET NONE",
        "#CREATE_DB#>#y.fdb>#>#A=B>#4096", "#CREATE_DB#>#z.fdb>#>#'>#4096"}) {
    std::string reply = Ask(*c, request + "\n");
    EXPECT_EQ(reply.rfind("#Create_db error >", 0), 0u) << request;
  }
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_TRUE(fs::is_empty(data_));
  EXPECT_FALSE(fs::exists(aliasFile_));
}

TEST_F(FirebirdTest, AQuoteInTheFileNameStillMakesAWellFormedStatement) {
  StartServer();
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#it's.fdb>#>#Quoted>#8192\n"),
            "#Create_db Okey >" + Path("it's.fdb") + " db Created...\r\n");
  EXPECT_TRUE(fs::is_regular_file(data_ / "it's.fdb"));
}

TEST_F(FirebirdTest, CreateDatabaseDirectlyThroughTheLibrary) {
  std::string path = kPrefix + Path("direct.fdb");
  CreateDatabase(path, "SYSDBA", "velmoraxe", 3, "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254");
  EXPECT_TRUE(fs::is_regular_file(data_ / "direct.fdb"));
  try {
    CreateDatabase(path, "SYSDBA", "velmoraxe", 3, "");
    FAIL() << "created a database over an existing file";
  } catch (const EDatabaseError& e) {
    std::string text = e.what();
    EXPECT_EQ(text.rfind("Error creating database!  ISC# ", 0), 0u) << text;
    EXPECT_NE(text.find("\n\rSQL Code: "), std::string::npos) << text;
  }
  EXPECT_THROW(CreateDatabase(kPrefix + Path("w.fdb"), "SYSDBA", "wrong-password", 3, ""),
               EDatabaseError);
  EXPECT_FALSE(fs::exists(data_ / "w.fdb"));
}
