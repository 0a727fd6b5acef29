// The vantrel-serve program run as a separate process.
#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <thread>

#include "aliases/AliasList.h"

#include "remote/ServeOptions.h"
#include "RemoteTestSupport.h"
#include "FirebirdHost.h"
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

// The time of the file's last change, in whole seconds.
std::time_t ModifiedSecond(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mtim.tv_sec;
}

void DateFile(const fs::path& path, std::time_t second) {
  const timespec times[2] = {{0, UTIME_OMIT}, {second, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}


}  // namespace

// The real server's own databases.conf, edited by hand while vantrel-serve runs: the hand-made
// alias and each alias created through the protocol are all in the file and known to the server
// at once, the shipped security block stays, the file keeps its LF line ends. The file is dated a
// minute ahead first, so each save falls within the second of the one before it however fast the
// machine is: every save must still carry a later second, or the server would not reload.
TEST(ServeProgram, TheServersDatabasesConfKeepsHandEditsAndKnowsEachNewAliasAtOnce) {
  if (!RealServerWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  const fs::path conf = kServerConf;
  ASSERT_TRUE(fs::is_regular_file(conf));
  TServerFilesTurn turn;
  TRestoredFile restored(conf);
  const std::vector<std::string> shipped = SplitAliasText(restored.Bytes());
  ASSERT_NE(std::find(shipped.begin(), shipped.end(), "{"), shipped.end()) << "the shipped security.db block";
  ASSERT_EQ(restored.Bytes().find('\r'), std::string::npos) << "Debian ships it with LF line ends";

  fs::path root = FreshFolder("serve-dbconf");
  const fs::path data = root / "Data";
  fs::create_directories(data);
  chmod(data.c_str(), 0777);
  std::uint16_t port = FreePort();
  TServeProcess serve({"--root", root.string(), "--alias-file", conf.string(), "--port", std::to_string(port),
                       "--bind", "127.0.0.1"});
  ASSERT_TRUE(serve.ReadLine());
  ASSERT_TRUE(serve.ReadLine());
  TTestClient c(port);
  c.ReadLine();

  // The administrator's own database and alias line, added after vantrel-serve has read the file.
  ASSERT_TRUE(CreatedWithIsql(data / "manual.fdb"));
  std::ofstream(conf, std::ios::binary | std::ios::app) << "manual = " << (data / "manual.fdb").string() << "\n";
  std::time_t previous = std::time(nullptr) + 60;
  DateFile(conf, previous);

  std::vector<std::string> created;
  for (const std::string alias : {"vantrel_first", "vantrel_second"}) {
    c.Send("#CREATE_DB#>#" + alias + ".fdb>#>#" + alias + ">#4096\n");
    ASSERT_EQ(c.ReadLine().value_or(""), "#Create_db Okey >" + (data / (alias + ".fdb")).string() + " db Created...\r\n");
    created.push_back(alias);
    const std::time_t saved = ModifiedSecond(conf);
    EXPECT_GT(saved, previous) << alias << ": the save must carry a later second";
    previous = saved;
    EXPECT_TRUE(OpensByAlias(alias)) << alias;
  }
  EXPECT_TRUE(OpensByAlias("manual")) << "the hand-made alias is lost";

  const std::string text = FileBytes(conf);
  EXPECT_EQ(text.find('\r'), std::string::npos) << "the file keeps its LF line ends";
  const std::vector<std::string> now = SplitAliasText(text);
  EXPECT_NE(std::find(now.begin(), now.end(), "manual = " + (data / "manual.fdb").string()), now.end());
  for (const std::string& alias : created)
    EXPECT_NE(std::find(now.begin(), now.end(), alias + "=" + (data / (alias + ".fdb")).string()), now.end());
  // Every line of the shipped file is still there, in order, the block unchanged.
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
