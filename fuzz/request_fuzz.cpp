// libFuzzer target: bytes as they would arrive on a connection, cut into request lines and served
// against an in-memory alias list. Checks what must hold for any input.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "remote/CommandProtocol.h"
#include "remote/IB_Ext.h"
#include "remote/Socket.h"

namespace {

using namespace vantrel;

constexpr char kFolder[] = "/data/";
constexpr char kPrefix[] = "127.0.0.1:";

void Check(bool condition) {
  if (!condition) std::abort();
}

class TFuzzHost : public TMutexCommandHost {
 public:
  std::vector<std::string> lines{"# Socket_Port=3049", "Old=/data/old.fdb", "#DONE!!!"};
  std::set<std::string> files{"/data/old.fdb"};

  std::vector<std::string> AliasLines() override { return lines; }
  std::string DefaultPath() override { return kFolder; }
  bool HasAliasName(const std::string& name) override {
    for (const std::string& l : lines) {
      auto eq = l.find('=');
      if (eq == std::string::npos || eq != name.size()) continue;
      bool same = true;
      for (std::size_t i = 0; i < eq && same; ++i)
        same = std::toupper(static_cast<unsigned char>(l[i])) ==
               std::toupper(static_cast<unsigned char>(name[i]));
      if (same) return true;
    }
    return false;
  }
  std::optional<std::string> NewAliasProblem(const std::string&, const std::string&) override { return {}; }
  void ReserveAlias(const std::string&) override {}
  void ReleaseAlias(const std::string&) override {}
  bool AddAlias(const std::string& alias, const std::string& path) override {
    if (HasAliasName(alias)) return false;
    lines.push_back(alias + "=" + path);
    return true;
  }
  void KeepAliasPending(const std::string&, const std::string&, const std::string&) override {}
  void RefreshCurrentPage() override {}
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  std::string LocalIPAddress() override { return "192.0.2.1"; }
  char DateSeparator() override { return '.'; }
  char TimeSeparator() override { return ':'; }
};

// Whatever reaches the database server stays inside the default folder, in both path styles.
void CheckPathStaysInFolder(const std::string& path) {
  Check(path.rfind(std::string(kPrefix) + kFolder, 0) == 0);
  std::string name = path.substr(sizeof kPrefix - 1 + sizeof kFolder - 1);
  Check(!name.empty() && name.find(':') == std::string::npos && name.find('#') == std::string::npos);
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    Check(name.substr(start, end - start) != ".." && !(start == 0 && end == 0));
    start = end + 1;
  }
  for (char c : name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFuzzHost host;
  TFuzzHost* hostPtr = &host;
  TProtocolOptions options;
  options.serverPrefix = kPrefix;
  options.localTime = [] { return std::tm{}; };
  options.createDatabase = [hostPtr](const std::string& path, const std::string&,
                                     const std::string&, std::uint16_t dialect,
                                     const std::string& clause) {
    CheckPathStaysInFolder(path);
    Check(dialect == 3);
    Check(clause.rfind("PAGE_SIZE ", 0) == 0);
    if (!clause.empty() && clause[10] == '7') throw EDatabaseError("Error creating database!  ISC# 1\n\rSQL Code: -1, Message: x");
    hostPtr->files.insert(path.substr(sizeof kPrefix - 1));
  };
  TCommandProtocol protocol(host, options);

  // The input arrives in two pieces, split where its first byte says.
  net::TLineBuffer buffer;
  std::size_t split = size ? data[0] % (size + 1) : 0;
  const char* bytes = reinterpret_cast<const char*>(data);
  buffer.Append(bytes, split);
  std::vector<std::string> lines;
  while (auto line = buffer.NextLine()) lines.push_back(*line);
  buffer.Append(bytes + split, size - split);
  while (auto line = buffer.NextLine()) lines.push_back(*line);

  for (const std::string& line : lines) {
    Check(line.size() <= net::kMaxRequestLine);
    std::size_t before = host.lines.size();
    TCommandProtocol::TReply reply = protocol.Serve(line);
    Check(reply.bytes.size() >= 2 && reply.bytes.compare(reply.bytes.size() - 2, 2, "\r\n") == 0);
    TRequestKind kind = ClassifyRequest(line);
    Check(reply.close == (kind == TRequestKind::Quit));
    if (kind != TRequestKind::CreateDb) {
      Check(host.lines.size() == before);
      continue;
    }
    // One line per create request, apart from the library's own LF CR inside a failure.
    std::size_t breaks = 0;
    for (char c : reply.bytes) breaks += c == '\n';
    Check(breaks == 1 || (breaks == 2 && reply.bytes.find("Can not create db...") != std::string::npos));
    Check(host.lines.size() <= before + 1);
    if (host.lines.size() == before + 1) {
      const std::string& added = host.lines.back();
      std::string alias = added.substr(0, added.find('='));
      Check(!alias.empty() && alias.find_first_of("#'\"") == std::string::npos);
      Check(reply.bytes.rfind("#Create_db Okey >", 0) == 0);
    }
  }
  return 0;
}
