// libFuzzer target: a create request against an alias file of any content, through the command
// protocol and the command server's own host, written to a real file. An input is the file's
// bytes, then "\n#CREATE_DB#" and the rest of the request line; without that, the whole input is
// the request's fields against Debian's shipped databases.conf. Whatever the input, a request
// answered Okey leaves a file whose aliases are the old ones, unchanged, plus the new one, that
// the server's rules read as exactly its name and path and that adds nothing the server would
// refuse; every other answer leaves the file's bytes as they were; every answer is one line.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AliasFuzzSupport.h"
#include "aliases/DatabasesConf.h"
#include "remote/CommandProtocol.h"
#include "remote/ServeHost.h"

namespace {

using namespace vantrel;
using vantrel::fuzz::Check;
namespace fs = std::filesystem;

constexpr char kShipped[] =
    "# Makes it possible to specify per-database configuration parameters.\n"
    "#employee.fdb = $(dir_sampleDb)/employee.fdb\n"
    "security.db = $(dir_secDb)/security3.fdb\n"
    "{\n"
    "\tRemoteAccess = false\n"
    "\tDefaultDbCachePages = 50\n"
    "}\n";
constexpr std::string_view kRequest = "\n#CREATE_DB#";

const fs::path& File() {
  static const vantrel::fuzz::ScratchFolder folder("vantrel-alias-request-fuzz-");
  static const fs::path file = folder.path / "databases.conf";
  return file;
}

std::string ReadBack(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<TAliasEntry> Aliases(const std::string& bytes) {
  TAliasList list;
  list.SetRules(AliasFileRules::DatabasesConf);
  list.SetText(bytes);
  std::vector<TAliasEntry> aliases;
  for (TListedAlias& listed : list.ListedAliases()) aliases.push_back(std::move(listed.entry));
  return aliases;
}

bool SameAliases(const std::vector<TAliasEntry>& a, const std::vector<TAliasEntry>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
           return x.name == y.name && x.path == y.path;
         });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find(kRequest);
  std::string content = split == std::string::npos ? kShipped : input.substr(0, split + 1);
  std::string line = split == std::string::npos ? "#CREATE_DB#>#" + input : input.substr(split + 1);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();

  std::ofstream(File(), std::ios::binary | std::ios::trunc) << content;
  TServeHost host(File(), "/vantrel-fuzz-data/", '.', ':');
  try {
    host.LoadAliasFile();  // adds the settings lines it lacks
  } catch (const EAliasFileError&) {
    return 0;  // a content the server would refuse gets no settings lines either
  }
  const std::string before = ReadBack(File());

  int created = 0;
  TProtocolOptions options;
  options.serverPrefix = "127.0.0.1:";
  options.localTime = [] { return std::tm{}; };
  options.pause = [](std::chrono::milliseconds) {};
  options.createDatabase = [&](const std::string&, const std::string&, const std::string&, std::uint16_t,
                               const std::string&) { ++created; };
  TCommandProtocol protocol(host, options);
  const std::string reply = protocol.Serve(line).bytes;
  const std::string after = ReadBack(File());

  Check(reply.size() >= 2 && reply.find_first_of("\r\n") == reply.size() - 2, "one reply line");
  const bool okay = reply.rfind("#Create_db Okey >", 0) == 0;
  // Nothing here holds the file: a database is made only for a request whose alias is written.
  Check(created == (okay ? 1 : 0), "a database made is a request answered Okey");
  if (!okay) {
    Check(after == before, "a refused request leaves the file as it was");
    return 0;
  }
  const TCreateRequest request = ParseCreateRequest(line);
  // The folder is the file's default path when it names one, the data folder otherwise.
  constexpr std::string_view kOkay = "#Create_db Okey >", kCreated = " db Created...\r\n";
  const std::string path = reply.substr(kOkay.size(), reply.size() - kOkay.size() - kCreated.size());
  Check(path.size() > request.fileName.size() && path.compare(path.size() - request.fileName.size(),
                                                              std::string::npos, request.fileName) == 0,
        "the path ends in the file name asked for");
  std::vector<TAliasEntry> expected = Aliases(before);
  expected.push_back({request.alias, path});
  Check(SameAliases(Aliases(after), expected), "the old aliases and the new one, unchanged");
  Check(!NewConfConcern(SplitAliasText(before), SplitAliasText(after)), "nothing the server would refuse");
  const TConfLineReading reading = ReadConfLine(request.alias + "=" + path);
  Check(reading.kind == TConfLineReading::Alias && reading.name == request.alias && reading.value == path,
        "the server reads the line as that name and path");
  // Only the new line and a line end for a last line that had none are new.
  Check(after.size() > before.size() && after.compare(0, before.size(), before) == 0, "the old bytes stay");
  return 0;
}
