// Load and save through real files: the bytes written are exactly the lines, each with CR LF, and
// nothing but the alias file is left in its folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AliasFuzzSupport.h"

using namespace vantrel;
using namespace vantrel::fuzz;
namespace fs = std::filesystem;

namespace {


const fs::path& Folder() {
  static const ScratchFolder folder("vantrel-alias-fuzz-");
  return folder.path;
}

std::string ReadBack(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path file = Folder() / "aliases.conf";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Host host;
  TAliasList list(&host);
  host.saveAliasFile = [&] { list.Save(file); };
  list.Load(file);
  list.AddLine("fuzz=C:\\fuzz.fdb");
  list.Save(file);
  Check(ReadBack(file) == list.Text(), "file holds the lines");
  Check(SplitAliasText(ReadBack(file)) == list.Lines(), "file reads back as the lines");
  Check(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()) == 1, "no leftovers");
  return 0;
}
