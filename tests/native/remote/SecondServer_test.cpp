// vantrel-serve --server against a second real Firebird 3 server process on the same host, as
// a vantrel-serve@NAME instance runs beside an instance of its own: that server has its own
// firebird.conf (another RemoteServicePort), lock folder, databases.conf and security database.
// Its SYSDBA password differs from the default server's, so a create that reaches the default
// server on 3050 cannot succeed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "aliases/AliasList.h"

#include "RemoteTestSupport.h"
#include "FirebirdHost.h"
#include "ServeProcess.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// The server program Debian's firebird3.0-server ships (what fbguard starts); its root, whose
// configuration and message files FIREBIRD moves, and the security database to copy.
const fs::path kServerProgram = "/usr/sbin/firebird";
const fs::path kDebianRoot = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
const fs::path kSecurityDatabase = "/var/lib/firebird/3.0/system/security3.fdb";
constexpr char kSecondPassword[] = "zweiter9";
// Generous: these are limits for a loaded machine, not expected times.
constexpr auto kServerStartLimit = std::chrono::seconds(90);
constexpr auto kServerStopLimit = std::chrono::seconds(30);
constexpr int kCreateReplyLimitMs = 120000;

int Run(const std::string& command) { return std::system(command.c_str()); }

// SQL through isql-fb, as the server's own tool sends it; true when every statement succeeded.
bool IsqlSucceeds(const std::string& sql, const std::string& database = {}, const std::string& password = {}) {
  std::string command = "echo \"" + sql + "\" | ISC_USER= ISC_PASSWORD= timeout 60 isql-fb -q -bail";
  if (!database.empty()) command += " -user SYSDBA -password '" + password + "' '" + database + "'";
  return Run(command + " >/dev/null 2>&1") == 0;
}

bool Opens(const std::string& database, const std::string& password) {
  return IsqlSucceeds("select 1 from rdb\\$database;", database, password);
}

// A folder of the test's, gone with everything in it however the test ends.
class TScratch {
 public:
  TScratch() : path_(FreshFolder("second-server")) {}
  ~TScratch() { fs::remove_all(path_); }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// A second Firebird server as the firebird user, from its own root folder; ended (and waited
// for) with its owner.
class TSecondServer {
 public:
  TSecondServer(const fs::path& root, std::uint16_t port) : root_(root), port_(port) {}
  ~TSecondServer() { Stop(); }
  TSecondServer(const TSecondServer&) = delete;
  TSecondServer& operator=(const TSecondServer&) = delete;

  // Lays out the root: Debian's firebird.conf with this port and security database, its own
  // databases.conf (the security block as Debian ships it), the lock and data folders, a copy
  // of the security database whose SYSDBA gets the second password through embedded access.
  ::testing::AssertionResult Prepare() {
    fs::create_directories(root_ / "lock");
    fs::create_directories(Data());
    fs::copy_file(kDebianRoot / "firebird.conf", root_ / "firebird.conf");
    fs::copy_file(kDebianRoot / "plugins.conf", root_ / "plugins.conf");
    fs::create_symlink(kDebianRoot / "firebird.msg", root_ / "firebird.msg");
    fs::copy_file(kSecurityDatabase, Security());
    std::ofstream(root_ / "firebird.conf", std::ios::app)
        << "\nRemoteServicePort = " << port_ << "\nSecurityDatabase = " << Security().string() << "\n";
    std::ofstream(AliasFile()) << "security.db = " << Security().string()
                               << "\n{\n\tRemoteAccess = false\n\tDefaultDbCachePages = 50\n}\n";
    if (Run("chown -R firebird:firebird '" + root_.string() + "'") != 0)
      return ::testing::AssertionFailure() << "chown to firebird";
    const std::string setPassword = "echo \"create or alter user SYSDBA password '" + std::string(kSecondPassword) +
                                    "' using plugin Srp; commit;\" | runuser -u firebird -- env " + Environment() +
                                    " ISC_USER= ISC_PASSWORD= timeout 60 isql-fb -q -bail -user SYSDBA '" +
                                    Security().string() + "' >'" + Log().string() + "' 2>&1";
    if (Run(setPassword) != 0)
      return ::testing::AssertionFailure() << "setting SYSDBA's password: " << FileBytes(Log());
    return ::testing::AssertionSuccess();
  }

  // Starts the server in the foreground (-d: it does not detach, so its pid stays this one's)
  // and waits until its port answers, or it ends.
  ::testing::AssertionResult Start() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Log().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args{"/usr/bin/setpriv", "--reuid", "firebird", "--regid", "firebird",
                                  "--init-groups", "--", kServerProgram.string(), "-d"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = TServeProcess::Environment(
        {"FIREBIRD=" + root_.string(), "FIREBIRD_LOCK=" + (root_ / "lock").string()});
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      return ::testing::AssertionFailure() << "posix_spawn: " << spawned;
    }
    const auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
      if (TTestClient(port_).Connected()) return ::testing::AssertionSuccess();
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return ::testing::AssertionFailure() << "the server ended: " << FileBytes(Log());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ::testing::AssertionFailure() << "port " << port_ << " did not answer: " << FileBytes(Log());
  }

  // The server finishes its databases on SIGTERM; one that does not end in time is killed.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kServerStopLimit;
    while (waitpid(pid_, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (kill(pid_, 0) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  fs::path AliasFile() const { return root_ / "databases.conf"; }
  fs::path Data() const { return root_ / "data"; }
  std::uint16_t Port() const { return port_; }
  std::string Prefix() const { return "127.0.0.1/" + std::to_string(port_) + ":"; }

 private:
  fs::path Security() const { return root_ / "security3.fdb"; }
  fs::path Log() const { return root_ / "server.log"; }
  std::string Environment() const {
    return "FIREBIRD='" + root_.string() + "' FIREBIRD_LOCK='" + (root_ / "lock").string() + "'";
  }

  fs::path root_;
  std::uint16_t port_;
  pid_t pid_ = -1;
};

// vantrel-serve for the second server's files, started and greeted; `server` is --server's value
// (none: the default). Its client's reply to one create request.
std::string CreateThroughServe(const TSecondServer& second, const std::vector<std::string>& server,
                               const std::string& alias) {
  const std::uint16_t port = FreePort();
  std::vector<std::string> args{"--alias-file", second.AliasFile().string(), "--data-folder", second.Data().string(),
                                "--port", std::to_string(port), "--bind", "127.0.0.1"};
  args.insert(args.end(), server.begin(), server.end());
  TServeProcess serve(args, {"ISC_USER=SYSDBA", std::string("ISC_PASSWORD=") + kSecondPassword});
  const std::string bound = serve.ReadLine().value_or("(nothing)");
  if (serve.ReadLine().value_or("") != "Sunucu başlatıldı.") return "not started: " + bound;
  TTestClient c(port);
  c.ReadLine();
  c.Send("#CREATE_DB#>#" + alias + ".fdb>#>#" + alias + ">#4096\n");
  std::string reply = c.ReadLine(kCreateReplyLimitMs).value_or("(no reply)");
  serve.Signal(SIGTERM);
  if (serve.Wait(kCreateReplyLimitMs) != 0) reply += " (did not stop cleanly)";
  return reply;
}

}  // namespace

TEST(SecondServer, ServerOptionCreatesOnThatServerAndItsAliasOpensThereOnly) {
  if (!RealServerWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  ASSERT_EQ(geteuid(), 0u) << "the second server runs as the firebird user";
  ASSERT_TRUE(fs::exists(kServerProgram)) << "firebird3.0-server's server program";
  // Nothing here writes Debian's file; holding the turn keeps other tests' edits out of the check.
  TServerFilesTurn turn;
  const std::string debianConf = FileBytes(kServerConf);

  TScratch scratch;
  TSecondServer second(scratch.Path(), FreePort());
  ASSERT_TRUE(second.Prepare());
  ASSERT_TRUE(second.Start());
  // What tells the two apart: only the second server knows the second password.
  ASSERT_TRUE(IsqlSucceeds("create database '" + second.Prefix() + (second.Data() / "probe.fdb").string() +
                          "' user 'SYSDBA' password '" + kSecondPassword + "';"))
      << "the second server takes its password";
  EXPECT_FALSE(IsqlSucceeds("create database '127.0.0.1:" + (second.Data() / "default.fdb").string() +
                            "' user 'SYSDBA' password '" + kSecondPassword + "';"))
      << "the default server must refuse the second server's password, or this test proves nothing";

  // Without --server the default server is asked, and refuses: nothing is made or written.
  const std::string refused = CreateThroughServe(second, {}, "vantrel_default");
  EXPECT_EQ(refused.rfind("#Create_db error >", 0), 0u) << refused;
  EXPECT_FALSE(fs::exists(second.Data() / "vantrel_default.fdb"));
  EXPECT_EQ(FileBytes(second.AliasFile()).find("vantrel_default"), std::string::npos);

  const fs::path made = second.Data() / "vantrel_second.fdb";
  EXPECT_EQ(CreateThroughServe(second, {"--server", "127.0.0.1/" + std::to_string(second.Port())}, "vantrel_second"),
            "#Create_db Okey >" + made.string() + " db Created...\r\n");
  EXPECT_TRUE(fs::exists(made));
  const std::vector<std::string> lines = SplitAliasText(FileBytes(second.AliasFile()));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "vantrel_second=" + made.string()), lines.end())
      << "the alias is in the second server's own file";
  EXPECT_TRUE(Opens(second.Prefix() + "vantrel_second", kSecondPassword)) << "the second server knows the alias";
  EXPECT_FALSE(Opens("127.0.0.1:vantrel_second", "velmoraxe")) << "the default server does not";

  second.Stop();
  EXPECT_EQ(FileBytes(kServerConf), debianConf) << "Debian's databases.conf is untouched";
}
