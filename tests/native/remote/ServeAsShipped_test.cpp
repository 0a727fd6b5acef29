// vantrel-serve as the package runs it: the identity its unit gives it (read from the unit, so
// the test follows the unit), the options of the shipped defaults, Debian's own databases.conf
// and data folder, the real Firebird 3 server reading the file after every request.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <fstream>
#include <future>
#include <regex>
#include <sstream>

#include "RemoteTestSupport.h"
#include "FirebirdHost.h"
#include "ServeProcess.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

const fs::path kConf = kServerConf;
const fs::path kData = kServerData;

std::string SourceFile(const std::string& name) {
  std::ifstream in(fs::path(VANTREL_SOURCE_DIR) / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// setpriv with what the unit grants: its capability bounding set (an empty assignment clears
// it, later lines add), its user and group, no new privileges. The unit's lines are its own and
// the shared sandbox the package puts into it.
std::vector<std::string> UnitLauncher() {
  std::istringstream unit(SourceFile("packaging/vantrel-serve.service") + "\n" +
                          SourceFile("packaging/vantrel-serve-sandbox.conf"));
  std::vector<std::string> caps;
  std::string user, group;
  for (std::string line; std::getline(unit, line);) {
    auto value = [&](const std::string& key) -> std::optional<std::string> {
      if (line.rfind(key + "=", 0) != 0) return std::nullopt;
      return line.substr(key.size() + 1);
    };
    if (auto v = value("CapabilityBoundingSet")) {
      if (v->empty()) caps.clear();
      for (std::string cap : Words(*v)) {
        for (char& ch : cap) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        caps.push_back(cap.rfind("cap_", 0) == 0 ? cap.substr(4) : cap);
      }
    }
    if (auto v = value("User")) user = *v;
    if (auto v = value("Group")) group = *v;
  }
  std::string bounding = "-all";
  for (const std::string& cap : caps) bounding += ",+" + cap;
  std::vector<std::string> launcher{"/usr/bin/setpriv", "--bounding-set", bounding, "--inh-caps", "-all",
                                    "--no-new-privs"};
  if (!user.empty()) launcher.insert(launcher.end(), {"--reuid", user, "--init-groups"});
  if (!group.empty()) launcher.insert(launcher.end(), {"--regid", group});
  launcher.push_back("--");
  return launcher;
}

// The options the shipped /etc/default/vantrel-serve gives, then the test's own port.
std::vector<std::string> ShippedOptions(std::uint16_t port) {
  std::smatch match;
  const std::string defaults = SourceFile("packaging/vantrel-serve.default");
  const std::regex opts("^VANTREL_SERVE_OPTS=\"([^\"]*)\"", std::regex::multiline);
  std::vector<std::string> options;
  if (std::regex_search(defaults, match, opts)) options = Words(match[1]);
  options.insert(options.end(), {"--port", std::to_string(port), "--bind", "127.0.0.1"});
  return options;
}

std::unique_ptr<TServeProcess> StartAsShipped(std::uint16_t port) {
  auto serve = std::make_unique<TServeProcess>(ShippedOptions(port),
                                               std::vector<std::string>{"ISC_USER=", "ISC_PASSWORD="}, UnitLauncher());
  const std::string bound = serve->ReadLine().value_or("(nothing)");
  EXPECT_EQ(serve->ReadLine().value_or("(nothing)"), "Sunucu başlatıldı.") << bound;
  return serve;
}

// Debian's file comes back as it was, and the databases the test made go, however it ends.
class TShippedFiles {
 public:
  ~TShippedFiles() {
    for (const auto& entry : fs::directory_iterator(kData))
      if (entry.path().filename().string().rfind("vantrel_", 0) == 0) fs::remove(entry.path());
  }

 private:
  TRestoredFile conf_{kConf};
};

gid_t FirebirdGroup() {
  const group* g = getgrnam("firebird");
  return g ? g->gr_gid : 0;
}

}  // namespace

TEST(ServeAsShipped, NoRequestBreaksTheServersFileAndEveryOkeyIsAnAliasTheServerOpens) {
  if (!RealServerWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  ASSERT_EQ(geteuid(), 0u) << "the unit runs it as root";
  ASSERT_TRUE(fs::is_regular_file(kConf));
  ASSERT_NE(FirebirdGroup(), 0u);
  TServerFilesTurn turn;
  TShippedFiles restore;
  // As administrators keep it: the server reads it through its group.
  ASSERT_EQ(chown(kConf.c_str(), 0, FirebirdGroup()), 0);
  ASSERT_EQ(chmod(kConf.c_str(), 0640), 0);

  const std::uint16_t port = FreePort();
  auto serve = StartAsShipped(port);
  TTestClient c(port);
  ASSERT_TRUE(c.Connected());
  c.ReadLine();

  // The data folder is the server's (0770 firebird:firebird): the program cannot look into it,
  // and needs not: the server made the database, so its alias is written.
  EXPECT_EQ(Ask(c, "#CREATE_DB#>#vantrel_shipped.fdb>#>#vantrel_shipped>#4096\n"),
            "#Create_db Okey >" + (kData / "vantrel_shipped.fdb").string() + " db Created...\r\n");
  EXPECT_TRUE(OpensByAlias("vantrel_shipped"));
  struct stat kept {};
  stat(kConf.c_str(), &kept);
  EXPECT_EQ(kept.st_uid, 0u);
  EXPECT_EQ(kept.st_gid, FirebirdGroup()) << "the server would be locked out of its own file";
  EXPECT_EQ(kept.st_mode & 07777, 0640u);
  const std::string written = FileBytes(kConf);

  // Each of these was once answered Okey and left a line that made the server refuse the file.
  for (const std::string& fields :
       {"vantrel_h1.fdb>#>#}", "vantrel_h2.fdb>#>#{", "vantrel_h3{>#>#vantrel_h3", "vantrel_\"h4.fdb>#>#vantrel_h4",
        "vantrel_h5.fdb>#>#include /etc/hostname", "vantrel_h6.fdb >#>#vantrel_h6",
        "$(dir_sampleDb)/vantrel_h7.fdb>#>#vantrel_h7", "vantrel_h8/>#>#vantrel_h8"}) {
    const std::string reply = Ask(c, "#CREATE_DB#>#" + fields + ">#4096\n");
    EXPECT_EQ(reply.rfind("#Create_db error >", 0), 0u) << fields << ": " << reply;
    EXPECT_NE(reply.find("< invalid "), std::string::npos) << fields << ": " << reply;
  }
  EXPECT_EQ(FileBytes(kConf), written);
  EXPECT_TRUE(OpensByAlias("vantrel_shipped")) << "the server still reads its file";
  for (const auto& entry : fs::directory_iterator(kData))
    EXPECT_EQ(entry.path().filename().string().find("vantrel_h"), std::string::npos) << entry.path();

  // Two command servers on one file, a client at each asking for the same alias at once: one
  // owner, and the other hears the truth.
  const std::uint16_t otherPort = FreePort();
  auto other = StartAsShipped(otherPort);
  for (int round = 0; round < 3; ++round) {
    const std::string alias = "vantrel_race" + std::to_string(round);
    auto ask = [&](std::uint16_t at, const std::string& file) {
      return std::async(std::launch::async, [=] {
        TTestClient client(at);
        client.ReadLine();
        return Ask(client, "#CREATE_DB#>#" + file + ">#>#" + alias + ">#4096\n");
      });
    };
    auto first = ask(port, alias + "_a.fdb");
    auto second = ask(otherPort, alias + "_b.fdb");
    int okay = 0;
    for (const std::string& reply : {first.get(), second.get()}) {
      if (reply.rfind("#Create_db Okey >", 0) == 0)
        ++okay;
      else
        EXPECT_EQ(reply.rfind("#Create_db error >" + alias + "< Alias exist...", 0), 0u) << reply;
    }
    EXPECT_EQ(okay, 1) << alias;
    EXPECT_TRUE(OpensByAlias(alias)) << alias;
    const std::string text = FileBytes(kConf);
    EXPECT_EQ(text.find(alias + "="), text.rfind(alias + "=")) << "one line for " << alias;
  }
  serve->Signal(SIGTERM);
  other->Signal(SIGTERM);
  EXPECT_EQ(serve->Wait(), 0);
  EXPECT_EQ(other->Wait(), 0);
}
