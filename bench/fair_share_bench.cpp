// TIME latency for 16 clients of one address while a noisy address holds its whole share idle
// and 200 connections from further addresses sit on half a line, next to the same clients alone.
//   fair_share_bench [seconds-per-run]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "remote/CommandServer.h"
#include "remote/Socket.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

constexpr int kQuietClients = 16;
constexpr int kStalled = 200;
constexpr std::uint32_t kNoisy = 0x7F000002u;          // 127.0.0.2
constexpr std::uint32_t kQuiet = 0x7F000003u;          // 127.0.0.3
constexpr std::uint32_t kStallingBase = 0x7F000101u;   // 127.0.1.1 and up

class TBenchHost : public TMutexCommandHost {
 public:
  std::vector<std::string> AliasLines() override { return {}; }
  std::string DefaultPath() override { return "/tmp/"; }
  bool HasAliasName(const std::string&) override { return false; }
  std::optional<std::string> NewAliasProblem(const std::string&, const std::string&) override { return {}; }
  void ReserveAlias(const std::string&) override {}
  void ReleaseAlias(const std::string&) override {}
  bool AddAlias(const std::string&, const std::string&) override { return true; }
  void KeepAliasPending(const std::string&, const std::string&, const std::string&) override {}
  void RefreshCurrentPage() override {}
  char DateSeparator() override { return '.'; }
  char TimeSeparator() override { return ':'; }
};

// A blocking client from a given loopback address that counts reply lines.
class TClient {
 public:
  TClient(std::uint16_t port, std::uint32_t from) : socket_(net::OpenTcpSocket()) {
    if (!net::BindSocket(socket_.Get(), {from, 0}) ||
        !net::ConnectSocket(socket_.Get(), {0x7F000001u, port}))
      socket_.Close();
  }
  bool Send(const std::string& s) {
    return socket_.Valid() &&
           net::SendBytes(socket_.Get(), s.data(), s.size()) == static_cast<long>(s.size());
  }
  bool ReadLine() {
    for (;;) {
      if (auto lf = buffer_.find('\n'); lf != std::string::npos) {
        buffer_.erase(0, lf + 1);
        return true;
      }
      char chunk[4096];
      long n = socket_.Valid() ? net::ReceiveBytes(socket_.Get(), chunk, sizeof chunk) : -1;
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  net::TSocket socket_;
  std::string buffer_;
};

struct TResult {
  double p50us = 0, p99us = 0;
  long requests = 0;
};

TResult QuietTimeRequests(std::uint16_t port, double seconds) {
  std::vector<std::vector<double>> latencies(kQuietClients);
  std::atomic<bool> go{false}, stop{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kQuietClients; ++i)
    threads.emplace_back([&, i] {
      TClient c(port, kQuiet);
      if (!c.ReadLine()) return;
      while (!go) std::this_thread::yield();
      while (!stop) {
        auto t0 = Clock::now();
        if (!c.Send("TIME\r\n") || !c.ReadLine()) return;
        latencies[i].push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
      }
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  go = true;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  for (auto& t : threads) t.join();
  std::vector<double> all;
  for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  TResult r;
  if (all.empty()) return r;
  std::sort(all.begin(), all.end());
  r.requests = static_cast<long>(all.size());
  r.p50us = all[all.size() / 2];
  r.p99us = all[all.size() * 99 / 100];
  return r;
}

void Print(const char* what, const TResult& r) {
  std::printf("%-46s p50 %8.1f us   p99 %8.1f us   (%ld requests)\n", what, r.p50us, r.p99us,
              r.requests);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  std::printf("fair_share_bench: %d TIME clients from 127.0.0.3, %.1f s per run, %u cores\n\n",
              kQuietClients, seconds, std::thread::hardware_concurrency());
  TBenchHost host;
  TCommandServer server(host, {});
  server.Start({{"127.0.0.1", 0}});
  std::uint16_t port = server.BoundPort(0);

  TResult alone = QuietTimeRequests(port, seconds);
  Print("alone", alone);

  std::vector<std::unique_ptr<TClient>> noise;
  for (std::size_t i = 0; i < net::kMaxConnectionsPerClient; ++i) {
    noise.push_back(std::make_unique<TClient>(port, kNoisy));
    noise.back()->ReadLine();
  }
  // The stalled ones need further addresses: one address gets no more than its share.
  for (int i = 0; i < kStalled; ++i) {
    auto from = kStallingBase + static_cast<std::uint32_t>(i / net::kMaxConnectionsPerClient);
    noise.push_back(std::make_unique<TClient>(port, from));
    noise.back()->ReadLine();
    noise.back()->Send("#CREATE_DB#>#half");
  }
  std::printf("noise: %zu connections held open by the listener\n", server.OpenConnections());
  TResult noisy = QuietTimeRequests(port, seconds);
  Print("beside 16 idle + 200 stalled connections", noisy);
  if (alone.p50us > 0 && alone.p99us > 0)
    std::printf("\nratio noisy/alone: p50 %.2f, p99 %.2f\n", noisy.p50us / alone.p50us,
                noisy.p99us / alone.p99us);
  noise.clear();
  server.Stop();
  return 0;
}
