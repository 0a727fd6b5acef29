// Database creation through the command server (request to reply, alias registered and the
// file rewritten) against isql-fb creating the same kind of database on the same server.
// Needs the local Firebird server (scripts/firebird start).
//   create_bench [databases-per-side]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "remote/CommandServer.h"
#include "remote/IB_Ext.h"
#include "remote/ServeHost.h"
#include "remote/Socket.h"

namespace fs = std::filesystem;
using namespace vantrel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kClause[] = "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1254";

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string ReadLine(net::TSocket& s) {
  std::string line;
  char c = 0;
  while (net::ReceiveBytes(s.Get(), &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// One connection, one create request after another; milliseconds per request.
std::vector<double> ThroughCommandServer(const fs::path& data, const fs::path& aliasFile, int count,
                                         const std::string& password, bool& ok) {
  TServeHost host(aliasFile, data.string() + "/", '.', ':');
  host.LoadAliasFile();
  TProtocolOptions options;
  options.serverPrefix = "127.0.0.1:";
  options.password = password;
  TCommandServer server(host, options);
  server.Start({{"127.0.0.1", 0}});
  net::TSocket client(net::OpenTcpSocket());
  net::ConnectSocket(client.Get(), {0x7F000001u, server.BoundPort(0)});
  ReadLine(client);
  std::vector<double> ms;
  for (int i = 0; i < count && ok; ++i) {
    const std::string request =
        "#CREATE_DB#>#served" + std::to_string(i) + ".fdb>#>#Served" + std::to_string(i) + ">#4096\r\n";
    const auto t0 = Clock::now();
    net::SendBytes(client.Get(), request.data(), request.size());
    const std::string reply = ReadLine(client);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    if (reply.rfind("#Create_db Okey >", 0) != 0) {
      std::fprintf(stderr, "command server refused: %s\n", reply.c_str());
      ok = false;
    }
  }
  server.Stop();
  return ms;
}

// isql-fb started once per database, as an administrator would script it.
std::vector<double> ThroughIsql(const fs::path& data, int count, const std::string& password,
                                bool& ok) {
  std::vector<double> ms;
  for (int i = 0; i < count && ok; ++i) {
    const fs::path script = data / ("isql" + std::to_string(i) + ".sql");
    const std::string path = "127.0.0.1:" + (data / ("isql" + std::to_string(i) + ".fdb")).string();
    if (FILE* f = std::fopen(script.c_str(), "w")) {
      std::fprintf(f, "%s;\n", CreateDatabaseStatement(path, "SYSDBA", password, kClause).c_str());
      std::fclose(f);
    }
    const std::string command = "ISC_USER= ISC_PASSWORD= isql-fb -q -i '" + script.string() + "'";
    const auto t0 = Clock::now();
    const int rc = std::system(command.c_str());
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    if (rc != 0) {
      std::fprintf(stderr, "isql-fb failed (%d)\n", rc);
      ok = false;
    }
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 10;
  const char* fromEnv = std::getenv("VANTREL_SYSDBA_PASSWORD");
  const std::string password = fromEnv && *fromEnv ? fromEnv : TProtocolOptions{}.password;
  const fs::path root = fs::temp_directory_path() / ("vantrel-create-bench-" + std::to_string(getpid()));
  const fs::path data = root / "Data";
  fs::create_directories(data);
  chmod(data.c_str(), 0777);  // the server writes the files as its own user

  bool ok = true;
  const auto served = ThroughCommandServer(data, root / "aliases.conf", count, password, ok);
  const auto isql = ThroughIsql(data, count, password, ok);
  fs::remove_all(root);
  if (!ok) return 1;

  const double s = Median(served), i = Median(isql);
  std::printf("create database, median of %d each: command server %.1f ms (request to reply), "
              "isql-fb %.1f ms (process start to end); ratio %.2f\n", count, s, i, s / i);
  return 0;
}
