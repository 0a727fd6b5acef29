// Command server throughput and latency over loopback, against a minimal epoll line-echo server
// (echo_server, started from this program's folder), and its memory per idle connection.
//   remote_bench [seconds-per-phase]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "remote/CommandServer.h"
#include "remote/ServeHost.h"
#include "remote/Socket.h"

extern char** environ;

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 64;


class TClient {
 public:
  explicit TClient(std::uint16_t port) : socket_(net::OpenTcpSocket()) {
    if (!net::ConnectSocket(socket_.Get(), {0x7F000001u, port})) socket_.Close();
  }
  bool Ok() const { return socket_.Valid(); }
  bool Send(const std::string& s) {
    return net::SendBytes(socket_.Get(), s.data(), s.size()) == static_cast<long>(s.size());
  }
  // Reads until `lines` line feeds have arrived.
  bool ReadLines(int lines) {
    while (lines > 0) {
      std::size_t lf = buffer_.find('\n', scanned_);
      if (lf != std::string::npos) {
        scanned_ = lf + 1;
        --lines;
        continue;
      }
      buffer_.erase(0, scanned_);
      scanned_ = 0;
      char chunk[65536];
      long n = net::ReceiveBytes(socket_.Get(), chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    buffer_.erase(0, scanned_);
    scanned_ = 0;
    return true;
  }

 private:
  net::TSocket socket_;
  std::string buffer_;
  std::size_t scanned_ = 0;
};

struct TResult {
  double perSecond = 0;
  double p50us = 0;
  double p99us = 0;
  long requests = 0;
};

// kClients clients, each sending `request` and reading `replyLines` lines again and again.
TResult Hammer(std::uint16_t port, const std::string& request, int replyLines, int greetingLines,
               double seconds, int clients = kClients) {
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
  std::atomic<bool> go{false}, stop{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i)
    threads.emplace_back([&, i] {
      TClient c(port);
      if (!c.Ok() || !c.ReadLines(greetingLines)) return;
      while (!go) std::this_thread::yield();
      while (!stop) {
        auto t0 = Clock::now();
        if (!c.Send(request) || !c.ReadLines(replyLines)) return;
        latencies[static_cast<std::size_t>(i)].push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
      }
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto start = Clock::now();
  go = true;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  for (auto& t : threads) t.join();
  std::vector<double> all;
  for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  TResult r;
  if (all.empty()) return r;
  std::sort(all.begin(), all.end());
  r.requests = static_cast<long>(all.size());
  r.perSecond = static_cast<double>(all.size()) / elapsed;
  r.p50us = all[all.size() / 2];
  r.p99us = all[all.size() * 99 / 100];
  return r;
}

void Print(const char* what, const TResult& r) {
  std::printf("%-44s %10.0f req/s   p50 %8.1f us   p99 %8.1f us   (%ld requests)\n", what,
              r.perSecond, r.p50us, r.p99us, r.requests);
}

long StatusField(const char* name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::string(name).size());
  return 0;
}

struct TEcho {
  pid_t pid = -1;
  int stdinFd = -1;
  std::uint16_t port = 0;
};

TEcho StartEcho() {
  TEcho echo;
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return echo;
  std::string path = self;
  path = path.substr(0, path.rfind('/') + 1) + "echo_server";
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return echo;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char* argv[] = {path.data(), nullptr};
  if (posix_spawn(&echo.pid, path.c_str(), &actions, nullptr, argv, environ) != 0) echo.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  echo.stdinFd = in[1];
  char buffer[32] = {};
  if (echo.pid > 0 && read(out[0], buffer, sizeof buffer - 1) > 0) echo.port = static_cast<std::uint16_t>(std::atoi(buffer));
  close(out[0]);
  return echo;
}

void StopEcho(TEcho& echo) {
  if (echo.stdinFd >= 0) close(echo.stdinFd);
  if (echo.pid > 0) waitpid(echo.pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  unsigned cores = std::thread::hardware_concurrency();
  std::printf("remote_bench: %d concurrent clients, %.1f s per phase, %u cores, clients and server on one machine\n\n",
              kClients, seconds, cores);

  // The real host over a real alias file: each list request looks at the file on disk.
  char folderTemplate[] = "/tmp/remote_bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(folderTemplate);
  const std::filesystem::path aliasFile = folder / "aliases.conf";
  auto writeAliases = [&](int count, const char* name, const char* path) {
    std::ofstream out(aliasFile, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < count; ++i) out << name << i << "=" << path << i << ".fdb\n";
  };
  writeAliases(20, "Alias", "/srv/db/a");
  TServeHost host(aliasFile, (folder / "Data/").string(), '.', ':');
  // Every client here connects from 127.0.0.1: its share is the whole cap.
  net::TListenerLimits limits;
  limits.perClient = limits.maxConnections;
  TCommandServer server(host, {}, limits);
  server.Start({{"127.0.0.1", 0}});
  std::uint16_t port = server.BoundPort(0);

  TEcho echo = StartEcho();
  if (echo.port == 0) {
    std::fprintf(stderr, "echo_server did not start (it is built beside this program)\n");
    return 1;
  }
  Print("echo server, one line (\"TIME\")", Hammer(echo.port, "TIME\r\n", 1, 0, seconds));
  Print("command server, TIME", Hammer(port, "TIME\r\n", 1, 1, seconds));
  // Fewer clients than threads the machine can run at once show the server's own latency.
  Print("  echo server, 16 clients", Hammer(echo.port, "TIME\r\n", 1, 0, seconds, 16));
  Print("  command server, TIME, 16 clients", Hammer(port, "TIME\r\n", 1, 1, seconds, 16));
  Print("command server, GIVEALIASLIST (20 aliases)", Hammer(port, "GIVEALIASLIST\r\n", 22, 1, seconds));
  std::string twentyTwo;
  for (int i = 0; i < 22; ++i) twentyTwo += "Alias" + std::to_string(i) + "=/srv/db/a.fdb\r\n";
  Print("echo server, 22 lines in one request", Hammer(echo.port, twentyTwo, 22, 0, seconds));
  StopEcho(echo);

  writeAliases(10000, "Database", "/srv/firebird/data/database");
  Print("command server, GIVEALIASLIST (10 000 lines)", Hammer(port, "GIVEALIASLIST\r\n", 10002, 1, seconds));
  Print("  the same, one client", Hammer(port, "GIVEALIASLIST\r\n", 10002, 1, seconds, 1));

  constexpr int kIdle = 200;
  long rssBefore = StatusField("VmRSS:");
  long vmBefore = StatusField("VmSize:");
  std::vector<std::unique_ptr<TClient>> idle;
  for (int i = 0; i < kIdle; ++i) {
    idle.push_back(std::make_unique<TClient>(port));
    idle.back()->ReadLines(1);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  long rssAfter = StatusField("VmRSS:");
  long vmAfter = StatusField("VmSize:");
  std::printf("\nidle connections: %zu open; per connection %.1f KiB resident, %.0f KiB address space "
              "(thread stack reserved, mostly untouched)\n",
              server.OpenConnections(), static_cast<double>(rssAfter - rssBefore) / kIdle,
              static_cast<double>(vmAfter - vmBefore) / kIdle);
  idle.clear();
  server.Stop();
  std::filesystem::remove_all(folder);
  return 0;
}
