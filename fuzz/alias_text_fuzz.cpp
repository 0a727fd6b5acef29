// Load and save of the alias file without the disk. Properties checked on every input:
// lines survive joining and splitting; a save keeps every line that carries no settings marker,
// in order; what a save wrote loads back with the same settings, takes no default and saves to
// the same text again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "AliasFuzzSupport.h"

using namespace vantrel;
using namespace vantrel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitAliasText(bytes);
  // The split takes one byte order mark off the front; joined again behind it, the lines come
  // back as they were (a second mark stays text of the first line).
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  const std::string_view front = bytes.substr(0, kMark.size()) == kMark ? kMark : std::string_view();
  Check(SplitAliasText(std::string(front) + JoinAliasLines(lines)) == lines, "split/join");

  Host host;
  TAliasList list(&host);
  int writeBacks = 0;
  host.saveAliasFile = [&] {
    ++writeBacks;
    list.UpdateSettingsLines();
  };
  list.LoadText(bytes);
  Check(writeBacks <= 1, "one write-back at most");
  list.UpdateSettingsLines();
  Check(WithoutSettings(list.Lines()) == WithoutSettings(lines), "other lines kept");
  const std::string saved = list.Text();

  Host again;
  TAliasList reloaded(&again);
  int secondWriteBacks = 0;
  again.saveAliasFile = [&] { ++secondWriteBacks; };
  reloaded.LoadText(saved);
  Check(secondWriteBacks == 0, "saved settings need no default");
  Check(again.DefaultPath() == host.DefaultPath(), "default path");
  Check(again.ZeeBeeDee() == host.ZeeBeeDee(), "tunnel");
  Check(again.ZeeBeeDeePort() == host.ZeeBeeDeePort(), "tunnel port");
  Check(again.SocketPort() == host.SocketPort(), "socket port");
  reloaded.UpdateSettingsLines();
  Check(reloaded.Text() == saved, "second save changes nothing");
  return 0;
}
