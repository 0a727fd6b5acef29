// The command server over real loopback TCP, with the shared state in memory.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <thread>

#include "remote/CommandServer.h"
#include "RemoteTestSupport.h"

using namespace vantrel;
using namespace vantrel::testing;
using namespace std::chrono_literals;

namespace {

const std::string kGreeting = "Ba\xF0lant\xFD IP niz: 127.0.0.1\r\n";
const std::string kUnknown = "Komut tan\xFDnmad\xFD tekrar deneyin!\r\n";
const std::string kGoodbye = "G\xFCle g\xFCle!\r\n";
constexpr char kPrefix[] = "\\\\127.0.0.1\\";

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { StartServer(net::kMaxConnections); }

  void StartServer(std::size_t cap) {
    server_.reset();
    TProtocolOptions options;
    options.createDatabase = creator_.Creator();
    options.localTime = FixedMoment;
    options.pause = [this](std::chrono::milliseconds pause) {
      std::lock_guard<std::mutex> lock(host_.Lock());
      pauses_.push_back(pause);
    };
    host_.defaultPath = "/data/";
    // Every client here comes from 127.0.0.1: its share is the whole cap.
    net::TListenerLimits limits;
    limits.maxConnections = limits.perClient = cap;
    server_ = std::make_unique<TCommandServer>(host_, options, limits);
    server_->Start({{"127.0.0.1", 0}});
    port_ = server_->BoundPort(0);
  }

  // A client that has read its greeting.
  std::unique_ptr<TTestClient> Connect() {
    auto c = std::make_unique<TTestClient>(port_);
    EXPECT_TRUE(c->Connected());
    EXPECT_EQ(c->ReadLine().value_or("(none)"), kGreeting);
    return c;
  }

  // A client served once the places that other connections free are noticed.
  std::unique_ptr<TTestClient> ConnectEventually() {
    for (int attempt = 0; attempt < 250; ++attempt) {
      auto c = std::make_unique<TTestClient>(port_);
      if (c->ReadLine(200).value_or("") == kGreeting) return c;
      std::this_thread::sleep_for(20ms);
    }
    ADD_FAILURE() << "no place became free";
    return std::make_unique<TTestClient>(port_);
  }

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(host_.Lock());
    return host_.lines;
  }

  TMutexMemoryHost host_;
  TRecordingCreator creator_{&host_, kPrefix};
  std::unique_ptr<TCommandServer> server_;
  std::vector<std::chrono::milliseconds> pauses_;  // under host_.Lock()
  std::uint16_t port_ = 0;
};

}  // namespace

TEST_F(ServerTest, AnswersEveryRequestInAnyLetterCaseAndLineEnd) {
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "TIME\r\n"), "09:05:03\r\n");
  EXPECT_EQ(Ask(*c, "time\n"), "09:05:03\r\n");
  EXPECT_EQ(Ask(*c, "DATE\n"), "#DateSeparator.#06.12.2026\r\n");
  EXPECT_EQ(Ask(*c, "DateTime\r\n"), "#DateSeparator.#06.12.2026\r\n");
  EXPECT_EQ(Ask(*c, "TIME \r\n"), kUnknown);
  EXPECT_EQ(Ask(*c, " DATE\n"), kUnknown);
  EXPECT_EQ(Ask(*c, "\r\n"), kUnknown);
  EXPECT_EQ(Ask(*c, "\n"), kUnknown);
  EXPECT_EQ(Ask(*c, "HELLO\n"), kUnknown);
  EXPECT_EQ(Ask(*c, "qUiT\r\n"), kGoodbye);
  EXPECT_TRUE(c->ClosedByServer());
}

TEST_F(ServerTest, ServesRequestsSentTogetherInOrder) {
  auto c = Connect();
  c->Send("TIME\nDATE\r\n\nQUIT\nTIME\n");
  EXPECT_EQ(c->ReadLines(4), (std::vector<std::string>{"09:05:03\r\n", "#DateSeparator.#06.12.2026\r\n",
                                                        kUnknown, kGoodbye}));
  EXPECT_TRUE(c->ClosedByServer());
}

TEST_F(ServerTest, SendsTheAliasListAsHeldBetweenServerIpAndDone) {
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    host_.lines = {"# Socket_Port=3049", "", "Sales=/data/sales.fdb", "#DONE!!!", "# comment"};
  }
  auto c = Connect();
  c->Send("givealiaslist\n");
  EXPECT_EQ(c->ReadLines(7),
            (std::vector<std::string>{"#Server_IP:192.0.2.7\r\n", "# Socket_Port=3049\r\n", "\r\n",
                                      "Sales=/data/sales.fdb\r\n", "#DONE!!!\r\n", "# comment\r\n",
                                      "#DONE!!!\r\n"}));
  // Nothing follows the list: the next reply is the next request's.
  EXPECT_EQ(Ask(*c, "TIME\n"), "09:05:03\r\n");
}

TEST_F(ServerTest, AnEmptyAliasListIsJustTheFrame) {
  auto c = Connect();
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    host_.localIP.clear();
  }
  c->Send("GIVEALIASLIST\r\n");
  EXPECT_EQ(c->ReadLines(2), (std::vector<std::string>{"#Server_IP:\r\n", "#DONE!!!\r\n"}));
}

TEST_F(ServerTest, ALineOverTheLimitClosesTheConnectionWithoutReply) {
  auto c = Connect();
  EXPECT_EQ(Ask(*c, std::string(net::kMaxRequestLine, 'x') + "\r\n"), kUnknown);
  c->Send(std::string(net::kMaxRequestLine + 1, 'x') + "\n");
  EXPECT_TRUE(c->ClosedByServer());

  auto endless = Connect();
  endless->Send(std::string(net::kMaxRequestLine + 100, 'y'));  // no terminator at all
  EXPECT_TRUE(endless->ClosedByServer());
  EXPECT_EQ(Ask(*Connect(), "TIME\n"), "09:05:03\r\n");
}

TEST_F(ServerTest, CreateMakesTheDatabaseRegistersItSavesAndRefreshes) {
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#create_db#>#New.fdb>#>#NewAlias>#4096\r\n"),
            "#Create_db Okey >/data/New.fdb db Created...\r\n");
  auto calls = creator_.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, "\\\\127.0.0.1\\/data/New.fdb");
  EXPECT_EQ(calls[0].user, "SYSDBA");
  EXPECT_EQ(calls[0].password, "velmoraxe");
  EXPECT_EQ(calls[0].dialect, 3);
  EXPECT_EQ(calls[0].clause, "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"NewAlias=/data/New.fdb"}));
  std::lock_guard<std::mutex> lock(host_.Lock());
  EXPECT_EQ(host_.saves, 1);
  EXPECT_EQ(host_.refreshes, 1);
}

TEST_F(ServerTest, AnExistingFileOrAliasIsRefusedAndNothingChanges) {
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    host_.existingFiles = {"/data/old.fdb"};
    host_.lines = {"Sales=/data/sales.fdb", "Spaced =/data/spaced.fdb"};
  }
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#old.fdb>#>#Other>#4096\n"),
            "#Create_db error >/data/old.fdb< file exist...\r\n");
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#s2.fdb>#>#SALES>#4096\n"),
            "#Create_db error >SALES< Alias exist...\r\n");
  EXPECT_TRUE(creator_.Calls().empty());
  EXPECT_EQ(Lines().size(), 2u);

  // A blank before "=" makes another raw name: this one is not taken.
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#sp.fdb>#>#Spaced>#4096\n"),
            "#Create_db Okey >/data/sp.fdb db Created...\r\n");
}

// The server's message holds a line break: sent as it is, every later reply on the connection
// would be read one line late. Each request gets one line.
TEST_F(ServerTest, ADatabaseErrorComesBackAsOneLineAndTheConnectionStays) {
  creator_.error = "Error creating database!  ISC# 335544569\n\rSQL Code: -842, Message: Wrong\r\nnumeric type";
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#bad.fdb>#>#Bad>#0\n"),
            "#Create_db error >/data/bad.fdb Can not create db...Error creating database!  ISC# 335544569  "
            "SQL Code: -842, Message: Wrong  numeric type\r\n");
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(Ask(*c, "TIME\n"), "09:05:03\r\n");
  std::lock_guard<std::mutex> lock(host_.Lock());
  EXPECT_EQ(host_.saves, 0);
}

TEST_F(ServerTest, AnUnusableClientLibraryIsAFailureReplyNotASilentClose) {
  TProtocolOptions options;
  options.createDatabase = [](const std::string& path, const std::string& user,
                              const std::string& password, std::uint16_t dialect,
                              const std::string& clause) {
    CreateDatabaseWith(LoadClientLibrary({"libvantrel-missing-client.so.2"}), path, user, password,
                       dialect, clause);
  };
  options.localTime = FixedMoment;
  TCommandServer server(host_, options);
  server.Start({{"127.0.0.1", 0}});
  TTestClient c(server.BoundPort(0));
  c.ReadLine();
  std::string reply = Ask(c, "#CREATE_DB#>#x.fdb>#>#X>#4096\n");
  EXPECT_EQ(reply.rfind("#Create_db error >/data/x.fdb Can not create db...Error creating database!  "
                        "Client library not available: ", 0), 0u) << reply;
  EXPECT_NE(reply.find("libvantrel-missing-client.so.2"), std::string::npos);
  EXPECT_EQ(Ask(c, "TIME\n"), "09:05:03\r\n");
}

// A held alias file is tried again after growing pauses that add up to ten seconds; while it
// lasts shorter, the client hears "Okey". After that, or at once for a file that refuses the
// write, it hears that its database exists and its alias waits; the connection stays.
TEST_F(ServerTest, AHeldAliasFileIsTriedAgainAndEveryCreateGetsItsTrueAnswer) {
  auto c = Connect();
  auto failNext = [this](int count, bool held) {
    std::lock_guard<std::mutex> lock(host_.Lock());
    host_.failingSaves = count;
    host_.failHeld = held;
    pauses_.clear();
  };
  failNext(3, true);
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#a.fdb>#>#A>#4096\n"), "#Create_db Okey >/data/a.fdb db Created...\r\n");
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    EXPECT_EQ(pauses_, (std::vector<std::chrono::milliseconds>{50ms, 100ms, 200ms}));
    EXPECT_EQ(host_.lines, (std::vector<std::string>{"A=/data/a.fdb"}));
  }

  failNext(1000, true);
  const std::string notWritten = "#Create_db error >/data/b.fdb< db Created, alias not written yet";
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#b.fdb>#>#B>#4096\n").rfind(notWritten, 0), 0u);
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    std::chrono::milliseconds waited{0};
    for (auto pause : pauses_) {
      EXPECT_LE(pause, 1000ms);
      waited += pause;
    }
    EXPECT_GE(waited, 10s);
    EXPECT_LT(waited, 12s);
    EXPECT_EQ(host_.pending, (std::vector<std::string>{"B=/data/b.fdb"}));
  }

  failNext(1, false);
  const std::string refused = Ask(*c, "#CREATE_DB#>#c.fdb>#>#C>#4096\n");
  EXPECT_EQ(refused, "#Create_db error >/data/c.fdb< db Created, alias not written... in use\r\n")
      << "the reason is told, and no promise of a later write";
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    EXPECT_TRUE(pauses_.empty()) << "a refusal that will not go away by itself is not waited for";
    EXPECT_EQ(host_.pending.size(), 1u) << "nothing is kept for a refused write";
  }
  EXPECT_EQ(Ask(*c, "TIME\n"), "09:05:03\r\n");  // the connection stays
}

TEST_F(ServerTest, HostileCreateRequestsAreRefusedAndNothingIsCreated) {
  auto c = Connect();
  for (const char* request :
       {"#CREATE_DB#>#/etc/evil.fdb>#>#A>#4096", "#CREATE_DB#>#../evil.fdb>#>#A>#4096",
        "#CREATE_DB#>#sub\\..\\..\\evil.fdb>#>#A>#4096", "#CREATE_DB#>#C:\\evil.fdb>#>#A>#4096",
        "#CREATE_DB#>#\\\\host\\share\\e.fdb>#>#A>#4096", "#CREATE_DB#>#ok.fdb>#>#A=B>#4096",
        "#CREATE_DB#>#ok.fdb>#>#A#B>#4096", "#CREATE_DB#>#ok.fdb>#>#A'B>#4096",
        "#CREATE_DB#>#ok.fdb>#>#A\"B>#4096", "#CREATE_DB#>#ok.fdb>#>#A\rB>#4096",
        "#CREATE_DB#>#ok.fdb>#>#>#4096", "#CREATE_DB#>#ok.fdb>#>#A>#4096' USER 'x",
        "#CREATE_DB#>#ok.fdb>#>#A>#", "#CREATE_DB#nothing here"}) {
    std::string reply = Ask(*c, std::string(request) + "\r\n");
    EXPECT_EQ(reply.rfind("#Create_db error >", 0), 0u) << request;
    EXPECT_EQ(reply.find_first_of("\r\n"), reply.size() - 2) << "one line for " << request;
  }
  EXPECT_TRUE(creator_.Calls().empty());
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(Ask(*c, "TIME\n"), "09:05:03\r\n");
}

TEST_F(ServerTest, ConcurrentRequestsForOneAliasRegisterItOnce) {
  constexpr int kClients = 32;
  std::vector<std::future<std::string>> replies;
  for (int i = 0; i < kClients; ++i)
    replies.push_back(std::async(std::launch::async, [this, i] {
      TTestClient c(port_);
      c.ReadLine();
      return Ask(c, "#CREATE_DB#>#race" + std::to_string(i) + ".fdb>#>#Race>#4096\n");
    }));
  int okay = 0;
  for (auto& r : replies) {
    std::string reply = r.get();
    bool ok = reply.rfind("#Create_db Okey >", 0) == 0;
    EXPECT_TRUE(ok || reply == "#Create_db error >Race< Alias exist...\r\n") << reply;
    okay += ok;
  }
  EXPECT_EQ(okay, 1) << "the alias is held from the check on: one owner";
  EXPECT_EQ(creator_.Calls().size(), 1u) << "no database is made for a request that cannot register it";
  int registered = 0;
  for (const std::string& l : Lines()) registered += l.rfind("Race=", 0) == 0;
  EXPECT_EQ(registered, 1);
  // A failed create gives the alias back.
  creator_.error = "Error creating database!  ISC# 1";
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#f.fdb>#>#Freed>#4096\n").rfind("#Create_db error >/data/f.fdb Can not", 0), 0u);
  creator_.error.clear();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#f.fdb>#>#Freed>#4096\n"), "#Create_db Okey >/data/f.fdb db Created...\r\n");
}

// The listener stops while a database is being made: the client hears its database exists and
// that nothing was kept for its alias, never a promise of a later write.
TEST_F(ServerTest, AStopDuringACreateIsToldWithoutAPromise) {
  creator_.afterCreating = [this] { host_.CancelWork(); };
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#s.fdb>#>#S>#4096\n"),
            "#Create_db error >/data/s.fdb< db Created, alias not written (the command server is stopping)...\r\n");
  host_.AcceptWork();
  std::lock_guard<std::mutex> lock(host_.Lock());
  EXPECT_TRUE(host_.pending.empty());
}

// A file that cannot take the alias as it stands (a block left open above, say) is told before
// any database is made.
TEST_F(ServerTest, AFileThatCannotTakeTheAliasIsToldBeforeAnythingIsCreated) {
  {
    std::lock_guard<std::mutex> lock(host_.Lock());
    host_.problem = "the line would not be read as an alias";
  }
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#b.fdb>#>#B>#4096\n"),
            "#Create_db error >B< alias cannot be written... the line would not be read as an alias\r\n");
  EXPECT_TRUE(creator_.Calls().empty());
}

// Another program on the same file (a second command server) wrote the alias while this one's
// database was being created: the client hears the alias is taken and where its database is.
TEST_F(ServerTest, AnAliasWrittenByAnotherProgramMeanwhileIsToldWithTheCreatedDatabase) {
  creator_.whileCreating = [this] { host_.lines.push_back("Taken=/elsewhere/t.fdb"); };
  auto c = Connect();
  EXPECT_EQ(Ask(*c, "#CREATE_DB#>#t.fdb>#>#Taken>#4096\n"),
            "#Create_db error >Taken< Alias exist... db Created without its alias >/data/t.fdb<\r\n");
  EXPECT_EQ(Lines(), std::vector<std::string>{"Taken=/elsewhere/t.fdb"});
}

TEST_F(ServerTest, TheConnectionOverTheCapIsClosedAtOnceAndAFreedPlaceIsReused) {
  constexpr std::size_t kCap = 8;
  StartServer(kCap);
  std::vector<std::unique_ptr<TTestClient>> idle;
  for (std::size_t i = 0; i < kCap; ++i) idle.push_back(Connect());
  TTestClient over(port_);
  EXPECT_TRUE(over.ClosedByServer());

  idle.front()->Close();
  idle.erase(idle.begin());
  EXPECT_EQ(Ask(*ConnectEventually(), "TIME\n"), "09:05:03\r\n");
  EXPECT_EQ(Ask(*idle.back(), "TIME\n"), "09:05:03\r\n");
}

TEST_F(ServerTest, AFloodOfConnectionsAndIdleClientsLeavesOthersServed) {
  std::vector<std::unique_ptr<TTestClient>> idle;
  for (int i = 0; i < 100; ++i) idle.push_back(Connect());
  for (int i = 0; i < 1000; ++i) {
    TTestClient attempt(port_);
    if (i % 3 == 1) attempt.Send("TI");         // half a request, then gone
    if (i % 3 == 2) attempt.Send("GIVEALIASLIST\n");  // gone before the reply is read
  }
  auto fresh = ConnectEventually();
  EXPECT_EQ(Ask(*fresh, "DATE\n"), "#DateSeparator.#06.12.2026\r\n");
  EXPECT_EQ(Ask(*idle.front(), "TIME\n"), "09:05:03\r\n");
  EXPECT_EQ(Ask(*idle.back(), "QUIT\n"), kGoodbye);
}

TEST_F(ServerTest, StopClosesOpenConnectionsAndCanStartAgain) {
  std::vector<std::unique_ptr<TTestClient>> clients;
  for (int i = 0; i < 5; ++i) clients.push_back(Connect());
  clients[0]->Send("GIVEALIAS");  // stopped in the middle of a line
  auto started = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_FALSE(server_->Active());
  for (auto& c : clients) EXPECT_TRUE(c->ClosedByServer());
  EXPECT_FALSE(TTestClient(port_).ReadLine(200));

  server_->Start({{"127.0.0.1", 0}});
  port_ = server_->BoundPort(0);
  EXPECT_EQ(Ask(*Connect(), "TIME\n"), "09:05:03\r\n");
}

TEST(ListenerStart, AFailedBindingLeavesNothingListening) {
  TMutexMemoryHost host;
  TCommandServer first(host, {});
  first.Start({{"127.0.0.1", 0}});
  int taken = first.BoundPort(0);

  // A port that is free right now, for the binding that would succeed.
  net::TSocketLibrary library;
  net::TSocket probe(net::OpenTcpSocket());
  net::TIPv4Endpoint at{0x7F000001u, 0};
  ASSERT_TRUE(net::BindSocket(probe.Get(), at) && net::LocalEndpoint(probe.Get(), at));
  probe.Close();

  TCommandServer second(host, {});
  try {
    second.Start({{"127.0.0.1", at.port}, {"127.0.0.1", taken}});
    FAIL() << "bound a port in use";
  } catch (const net::ESocketError& e) {
    EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(taken)), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(second.Active());
  EXPECT_FALSE(TTestClient(at.port).Connected());
  EXPECT_THROW(second.Start({{"300.1.1.1", 0}}), net::ESocketError);
  EXPECT_THROW(second.Start({{"127.0.0.1", 70000}}), net::ESocketError);
}

// The Windows program's arrangement: shared work runs on the owner (window) thread.
namespace {

class TPump {
 public:
  TOwnerThreadQueue::Notifier Notifier() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      ++posted_;
      signal_.notify_all();
      return true;
    };
  }
  bool WaitPosted(int count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return signal_.wait_for(lock, limit, [&] { return posted_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  int posted_ = 0;
};

using TQueuedMemoryHost = TMemoryHost<TQueuedCommandHost>;

}  // namespace

TEST(QueuedHost, SharedWorkRunsWhenTheOwnerDrains) {
  TPump pump;
  TQueuedMemoryHost host(pump.Notifier());
  host.lines = {"A=/a.fdb"};
  TCommandServer server(host, {});
  server.Start({{"127.0.0.1", 0}});
  auto reply = std::async(std::launch::async, [port = server.BoundPort(0)] {
    TTestClient c(port);
    c.ReadLine();
    c.Send("GIVEALIASLIST\n");
    return c.ReadLines(3);
  });
  while (reply.wait_for(1ms) != std::future_status::ready) host.RunQueuedWork();
  auto lines = reply.get();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "A=/a.fdb\r\n");
}

TEST(QueuedHost, StoppingOnTheOwnerThreadWhileAConnectionWaitsForItDoesNotDeadlock) {
  TPump pump;
  TQueuedMemoryHost host(pump.Notifier());
  TCommandServer server(host, {});
  server.Start({{"127.0.0.1", 0}});
  TTestClient waiting(server.BoundPort(0));
  TTestClient idle(server.BoundPort(0));
  waiting.ReadLine();
  waiting.Send("#CREATE_DB#>#x.fdb>#>#X>#4096\n");
  ASSERT_TRUE(pump.WaitPosted(1, 10s));  // its work waits for this (the owner) thread

  auto started = std::chrono::steady_clock::now();
  server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_TRUE(waiting.ClosedByServer());
  host.RunQueuedWork();
  EXPECT_TRUE(host.lines.empty());

  // The queue takes work again after the stop.
  server.Start({{"127.0.0.1", 0}});
  auto reply = std::async(std::launch::async, [port = server.BoundPort(0)] {
    TTestClient c(port);
    c.ReadLine();
    c.Send("GIVEALIASLIST\n");
    return c.ReadLines(2);
  });
  while (reply.wait_for(1ms) != std::future_status::ready) host.RunQueuedWork();
  EXPECT_EQ(reply.get().size(), 2u);
}
