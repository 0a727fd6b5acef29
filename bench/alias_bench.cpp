// Load and save times of big alias files. Each figure is the best of several runs, in ms; the
// doubled size shows whether the cost grows linearly. "save" includes flushing the file to disk.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "aliases/AliasList.h"

using namespace vantrel;
namespace fs = std::filesystem;

namespace {

std::string AliasFile(int lines, bool withSettings) {
  std::string text;
  if (withSettings) {
    text += "# Socket_Port=3049\r\n# ZeeBeeDee_Port=3051\r\n# ZeeBeeDee=True\r\n# DEFAULT_PATH=" +
            fs::temp_directory_path().string() + "/\r\n";
  }
  for (int i = 0; i < lines; ++i) {
    if (i % 10 == 0)
      text += "# database group " + std::to_string(i / 10) + "\r\n";
    else
      text += "alias" + std::to_string(i) + " = /var/lib/firebird/data/database_" + std::to_string(i) + ".fdb\r\n";
  }
  return text;
}

double BestOf(int runs, const std::function<void()>& work, const std::function<void()>& prepare = [] {}) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void Measure(const fs::path& file, int lines, bool withSettings) {
  const std::string bytes = AliasFile(lines, withSettings);
  TPlainAliasSettings settings("/opt/vantrel");
  TAliasList list(&settings);
  settings.saveAliasFile = [&] { list.Save(file); };
  auto reset = [&] {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    ::sync();  // the prepared file's own flushing is not part of the figure
  };

  // Without settings lines each load writes them into the file, so every run starts afresh.
  const double load = BestOf(15, [&] { list.Load(file); }, reset);
  reset();
  list.Load(file);
  const double inMemory = BestOf(15, [&] {
    list.UpdateSettingsLines();
    (void)list.Text();
  });
  const double save = BestOf(15, [&] { list.Save(file); });
  std::printf("%7d lines %-16s %8.2f MiB   load %7.2f ms   save %7.2f ms   (settings+text in memory %6.2f ms)\n",
              lines, withSettings ? "with settings" : "without settings", bytes.size() / 1048576.0, load, save,
              inMemory);
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / ("vantrel-alias-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "aliases.conf";
  for (bool withSettings : {true, false})
    for (int lines : {100000, 200000}) Measure(file, lines, withSettings);
  std::printf("(load without settings lines includes the write-back save)\n");
  fs::remove_all(folder);
  return 0;
}
