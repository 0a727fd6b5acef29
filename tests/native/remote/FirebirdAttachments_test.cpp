// Who is connected, read from the real Firebird 3 server while clients hold databases open.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

#include "FirebirdHost.h"
#include "RemoteTestSupport.h"
#include "remote/ServerAttachments.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// An isql-fb session attached to a database until it is told to quit.
class TAttachedClient {
 public:
  explicit TAttachedClient(const fs::path& database) {
    const std::string command = "ISC_USER= ISC_PASSWORD= isql-fb -q -user SYSDBA -password velmoraxe 127.0.0.1:" +
                                database.string() + " >/dev/null 2>&1";
    pipe_ = popen(command.c_str(), "w");
  }
  ~TAttachedClient() {
    if (!pipe_) return;
    std::fputs("quit;\n", pipe_);
    pclose(pipe_);
  }
  TAttachedClient(const TAttachedClient&) = delete;
  TAttachedClient& operator=(const TAttachedClient&) = delete;

 private:
  FILE* pipe_ = nullptr;
};

// What fbsvcmgr, the server's own tool, says of the same.
std::optional<TServerAttachments> FromFbsvcmgr() {
  FILE* out = popen("fbsvcmgr 127.0.0.1:service_mgr -user SYSDBA -password velmoraxe info_svr_db_info 2>&1", "r");
  if (!out) return std::nullopt;
  std::string text;
  char chunk[512];
  while (std::fgets(chunk, sizeof chunk, out)) text += chunk;
  pclose(out);
  std::smatch m;
  TServerAttachments numbers;
  if (!std::regex_search(text, m, std::regex("Number of attachments: (\\d+)"))) return std::nullopt;
  numbers.attachments = std::stoi(m[1]);
  if (!std::regex_search(text, m, std::regex("Number of databases: (\\d+)"))) return std::nullopt;
  numbers.databases = std::stoi(m[1]);
  const std::regex path("Database in use: (.*)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), path); it != std::sregex_iterator(); ++it)
    numbers.paths.push_back((*it)[1]);
  return numbers;
}

}  // namespace

TEST(FirebirdAttachments, TheQueryReadsWhatTheServersOwnToolReadsAndAWrongPasswordIsAReason) {
  if (!RealServerWanted()) GTEST_SKIP() << "VANTREL_FIREBIRD=1 runs this (scripts/firebird start)";
  const fs::path folder = FreshFolder("attachments");
  fs::permissions(folder, fs::perms::all);
  const fs::path first = folder / "first.fdb", second = folder / "second.fdb";
  ASSERT_TRUE(CreatedWithIsql(first));
  ASSERT_TRUE(CreatedWithIsql(second));
  const TClientApi api = LoadClientLibrary(ClientLibraryNames());
  const std::string manager = ServiceManagerName("127.0.0.1:");
  {
    TAttachedClient a(first), b(first), c(second);
    // Other tests may attach meanwhile: ours agree with the server's tool, read back to back,
    // and hold at least these three and both paths.
    std::optional<TServerAttachments> ours, theirs;
    for (int attempt = 0; attempt < 600; ++attempt) {
      ours = ReadServerAttachments(api, manager, "SYSDBA", "velmoraxe").numbers;
      theirs = FromFbsvcmgr();
      const auto again = ReadServerAttachments(api, manager, "SYSDBA", "velmoraxe").numbers;
      auto holds = [&](const TServerAttachments& n) {
        auto has = [&](const fs::path& p) { return std::find(n.paths.begin(), n.paths.end(), p.string()) != n.paths.end(); };
        return n.attachments >= 3 && has(first) && has(second);
      };
      if (ours && theirs && again && *ours == *again && holds(*ours) &&
          ours->attachments == theirs->attachments && ours->databases == theirs->databases)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(ours && theirs);
    EXPECT_EQ(ours->attachments, theirs->attachments);
    EXPECT_EQ(ours->databases, theirs->databases);
    std::sort(ours->paths.begin(), ours->paths.end());
    std::sort(theirs->paths.begin(), theirs->paths.end());
    EXPECT_EQ(ours->paths, theirs->paths);
    EXPECT_GE(ours->attachments, 3);
    EXPECT_NE(std::find(ours->paths.begin(), ours->paths.end(), first.string()), ours->paths.end());
    EXPECT_NE(std::find(ours->paths.begin(), ours->paths.end(), second.string()), ours->paths.end());
  }
  const TAttachmentsReading refused = ReadServerAttachments(api, manager, "SYSDBA", "not-the-password");
  EXPECT_FALSE(refused.numbers);
  EXPECT_NE(refused.reason.find("password"), std::string::npos) << refused.reason;
  fs::remove_all(folder);
}
