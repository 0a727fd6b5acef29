// The cost of one reading of who is connected (service manager attach, query, detach) against
// the local Firebird server, as the start page makes it every 5 s while shown and every 30 s
// while hidden: wall time and this process's CPU time per reading, and the share of a core that
// makes at each period. Needs the local Firebird server (scripts/firebird start).
//   attachments_bench [readings]
#include <ctime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "remote/IB_Ext.h"
#include "remote/ServerAttachments.h"

using namespace vantrel;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double CpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int readings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const char* fromEnv = std::getenv("VANTREL_SYSDBA_PASSWORD");
  const std::string password = fromEnv && *fromEnv ? fromEnv : "velmoraxe";
  const TClientApi api = ClientApi();
  const std::string manager = ServiceManagerName("127.0.0.1:");
  // The first reading loads what the library loads once; it is not counted.
  if (const auto first = ReadServerAttachments(api, manager, "SYSDBA", password); !first.numbers) {
    std::fprintf(stderr, "attachments_bench: %s\n", first.reason.c_str());
    return 1;
  }
  std::vector<double> wall, cpu;
  for (int i = 0; i < readings; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuMilliseconds();
    const TAttachmentsReading reading = ReadServerAttachments(api, manager, "SYSDBA", password);
    cpu.push_back(CpuMilliseconds() - cpuStart);
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (!reading.numbers) {
      std::fprintf(stderr, "attachments_bench: %s\n", reading.reason.c_str());
      return 1;
    }
  }
  const double cpuMedian = Median(cpu);
  std::printf("one reading (median of %d): %.2f ms wall, %.2f ms CPU in this process\n", readings, Median(wall),
              cpuMedian);
  std::printf("share of a core: %.4f %% every %u s (window shown), %.4f %% every %u s (hidden)\n",
              100.0 * cpuMedian / TAttachmentsSchedule::kShownPeriodMs, TAttachmentsSchedule::kShownPeriodMs / 1000,
              100.0 * cpuMedian / TAttachmentsSchedule::kHiddenPeriodMs, TAttachmentsSchedule::kHiddenPeriodMs / 1000);
  return 0;
}
