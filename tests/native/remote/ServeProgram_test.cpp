// The vantrel-serve program run as a separate process.
#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "aliases/AliasList.h"

#include "remote/ServeOptions.h"
#include "RemoteTestSupport.h"
#include "ServeProcess.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

bool TurkishLocaleInstalled() {
  locale_t l = newlocale(LC_TIME_MASK, "tr_TR.UTF-8", static_cast<locale_t>(0));
  if (l) freelocale(l);
  return l != static_cast<locale_t>(0);
}

}  // namespace

TEST(ServeProgram, LogsItsBindingsServesAndStopsCleanlyOnSignals) {
  fs::path root = FreshFolder("serve");
  std::uint16_t port = FreePort();
  for (int sig : {SIGTERM, SIGINT}) {
    TServeProcess serve({"--root", root.string(), "--port", std::to_string(port), "--bind", "127.0.0.1"});
    EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu bağlandı 127.0.0.1 :" + std::to_string(port));
    EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu başlatıldı.");
    TTestClient idle(port), busy(port);
    EXPECT_EQ(idle.ReadLine().value_or(""), "Ba\xF0lant\xFD IP niz: 127.0.0.1\r\n");
    busy.ReadLine();
    busy.Send("TIME\n");
    auto time = busy.ReadLine().value_or("");
    EXPECT_EQ(time.size(), 10u) << time;
    busy.Send("GIVE");  // half a request when the signal comes
    serve.Signal(sig);
    EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu durduruldu");
    EXPECT_EQ(serve.Wait(), 0);
    EXPECT_TRUE(idle.ClosedByServer());
  }
  fs::remove_all(root);
}

TEST(ServeProgram, TakesItsPortFromTheAliasFileAndBindsLoopbackByDefault) {
  fs::path root = FreshFolder("serve");
  std::uint16_t port = FreePort();
  {
    std::ofstream out(root / "aliases.conf", std::ios::binary);
    out << "# Socket_Port=" << port << "\r\nA=/a.fdb\r\n";
  }
  TServeProcess serve({"--root", root.string()});
  EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu bağlandı 127.0.0.1 :" + std::to_string(port));
  EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu başlatıldı.");
  TTestClient c(port);
  c.ReadLine();
  c.Send("GIVEALIASLIST\n");
  // The load wrote the three missing settings lines back in front of the file's own lines.
  auto lines = c.ReadLines(7);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[4], "# Socket_Port=" + std::to_string(port) + "\r\n");
  EXPECT_EQ(lines[5], "A=/a.fdb\r\n");
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
  fs::remove_all(root);
}

TEST(ServeProgram, APortInUseOrABadCommandLineEndsIt) {
  fs::path root = FreshFolder("serve");
  net::TSocket holder(net::OpenTcpSocket());
  net::TIPv4Endpoint at{0x7F000001u, 0};
  ASSERT_TRUE(net::BindSocket(holder.Get(), at) && net::ListenSocket(holder.Get(), 1) &&
              net::LocalEndpoint(holder.Get(), at));
  TServeProcess serve({"--root", root.string(), "--port", std::to_string(at.port), "--bind", "127.0.0.1"});
  EXPECT_EQ(serve.ReadLine().value_or("(none)"), "Sunucu başlatılamadı!");
  EXPECT_EQ(serve.Wait(), 1);

  TServeProcess noRoot({"--port", "1"});
  EXPECT_EQ(noRoot.Wait(), 2);
  TServeProcess badBind({"--root", root.string(), "--bind", "localhost"});
  EXPECT_EQ(badBind.Wait(), 2);
  // A bad value ends it before anything is bound.
  std::uint16_t port = FreePort();
  for (std::vector<std::string> bad : {std::vector<std::string>{"--per-client", "0"},
                                       {"--line-timeout", "soon"}, {"--allow", "127.0.0.0/99"}}) {
    bad.insert(bad.begin(), {"--root", root.string(), "--port", std::to_string(port)});
    TServeProcess refused(bad);
    EXPECT_EQ(refused.Wait(), 2) << bad.back();
    EXPECT_FALSE(TTestClient(port).Connected());
  }
  TServeProcess version({"--version"});
  EXPECT_EQ(version.ReadLine().value_or("(none)"), "vantrel-serve " VANTREL_VERSION);
  EXPECT_EQ(version.Wait(), 0);
  fs::remove_all(root);
}

// Under a Turkish locale the date follows its LC_TIME, and (with the real server) creation still
// works: the program never switches its character-type locale.
TEST(ServeProgram, UnderATurkishLocaleTheDateFollowsItAndCreationWorks) {
  if (!TurkishLocaleInstalled()) GTEST_SKIP() << "tr_TR.UTF-8 is not generated (scripts/deps does it)";
  locale_t tr = newlocale(LC_TIME_MASK, "tr_TR.UTF-8", static_cast<locale_t>(0));
  char separator = SeparatorOfFormat(nl_langinfo_l(D_FMT, tr), '/');
  freelocale(tr);

  fs::path root = FreshFolder("serve");
  fs::create_directories(root / "Data");
  chmod((root / "Data").c_str(), 0777);
  std::uint16_t port = FreePort();
  TServeProcess serve({"--root", root.string(), "--port", std::to_string(port), "--bind", "127.0.0.1"},
                      {"LANG=tr_TR.UTF-8", "LC_ALL=tr_TR.UTF-8"});
  ASSERT_TRUE(serve.ReadLine());
  ASSERT_TRUE(serve.ReadLine());
  TTestClient c(port);
  c.ReadLine();
  c.Send("DATE\n");
  std::string date = c.ReadLine().value_or("");
  EXPECT_EQ(date.substr(0, 16), std::string("#DateSeparator") + separator + "#") << date;

  const char* wanted = std::getenv("VANTREL_FIREBIRD");
  if (wanted && std::string(wanted) == "1") {
    c.Send("#CREATE_DB#>#turkce.fdb>#>#Türkçe>#4096\n");
    EXPECT_EQ(c.ReadLine().value_or(""),
              "#Create_db Okey >" + (root / "Data" / "turkce.fdb").string() + " db Created...\r\n");
    EXPECT_TRUE(fs::is_regular_file(root / "Data" / "turkce.fdb"));
  }
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
  fs::remove_all(root);
}

namespace {

// Puts a file back as it was (bytes, mode, owner) however the test ends.
class TRestoredFile {
 public:
  explicit TRestoredFile(fs::path path) : path_(std::move(path)), bytes_(ReadFile(path_)) {
    stat(path_.c_str(), &status_);
  }
  ~TRestoredFile() {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes_;
    chmod(path_.c_str(), status_.st_mode & 07777);
    (void)!chown(path_.c_str(), status_.st_uid, status_.st_gid);
  }
  const std::string& Bytes() const { return bytes_; }
  const struct stat& Status() const { return status_; }

 private:
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path path_;
  std::string bytes_;
  struct stat status_ {};
};

// isql-fb attaches by alias over TCP and reads one row: whether the server knows the alias now.
bool OpensByAlias(const std::string& alias) {
  const std::string command = "echo 'select 1 from rdb$database;' | ISC_USER= ISC_PASSWORD= timeout 20 isql-fb -q "
                              "-user SYSDBA -password velmoraxe 127.0.0.1:" + alias + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace

// The real server's own databases.conf: each alias created through the protocol is known to the
// server at once, also when two saves fall within one second, and the security block stays.
TEST(ServeProgram, TheServersDatabasesConfKnowsEachNewAliasAtOnceAndKeepsItsBlock) {
  const char* wanted = std::getenv("VANTREL_FIREBIRD");
  if (!wanted || std::string(wanted) != "1") GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  const fs::path conf = "/etc/firebird/3.0/databases.conf";
  ASSERT_TRUE(fs::is_regular_file(conf));
  TRestoredFile restored(conf);
  const std::vector<std::string> shipped = SplitAliasText(restored.Bytes());
  ASSERT_NE(std::find(shipped.begin(), shipped.end(), "{"), shipped.end()) << "the shipped security.db block";

  fs::path root = FreshFolder("serve-dbconf");
  fs::create_directories(root / "Data");
  chmod((root / "Data").c_str(), 0777);
  std::uint16_t port = FreePort();
  TServeProcess serve({"--root", root.string(), "--alias-file", conf.string(), "--port", std::to_string(port),
                       "--bind", "127.0.0.1"});
  ASSERT_TRUE(serve.ReadLine());
  ASSERT_TRUE(serve.ReadLine());
  TTestClient c(port);
  c.ReadLine();
  // Two creations within one second: the server reads the file for the second one (mtime of the
  // first save), so the second save must carry another second or the server never sees it.
  // Starting just after a whole second keeps both within it; a loaded machine may need a retry.
  auto create = [&](const std::string& alias) {
    c.Send("#CREATE_DB#>#" + alias + ".fdb>#>#" + alias + ">#4096\n");
    return c.ReadLine().value_or("") ==
           "#Create_db Okey >" + (root / "Data" / (alias + ".fdb")).string() + " db Created...\r\n";
  };
  std::vector<std::string> created;
  bool withinOneSecond = false;
  for (int attempt = 0; attempt < 3 && !withinOneSecond; ++attempt) {
    while (std::chrono::system_clock::now().time_since_epoch() % std::chrono::seconds(1) >
           std::chrono::milliseconds(50))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::time_t firstSecond = std::time(nullptr);
    for (const char* name : {"vantrel_first", "vantrel_second"}) {
      const std::string alias = name + std::to_string(attempt);
      ASSERT_TRUE(create(alias)) << alias;
      created.push_back(alias);
    }
    withinOneSecond = std::time(nullptr) == firstSecond;
  }
  EXPECT_TRUE(withinOneSecond) << "no two creations within one second";
  for (const std::string& alias : created) EXPECT_TRUE(OpensByAlias(alias)) << alias;

  // Every line of the shipped file is still there, in order, the block unchanged.
  std::ifstream in(conf, std::ios::binary);
  const std::vector<std::string> now = SplitAliasText(std::string(std::istreambuf_iterator<char>(in), {}));
  std::vector<std::string> kept;
  for (const std::string& line : now)
    if (std::find(shipped.begin(), shipped.end(), line) != shipped.end()) kept.push_back(line);
  EXPECT_EQ(kept, shipped);
  struct stat after {};
  stat(conf.c_str(), &after);
  EXPECT_EQ(after.st_mode & 07777, restored.Status().st_mode & 07777);
  EXPECT_EQ(after.st_uid, restored.Status().st_uid);
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
  fs::remove_all(root);
}
