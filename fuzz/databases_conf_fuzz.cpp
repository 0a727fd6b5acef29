// The databases.conf rules without the disk. Properties checked on every input: a block line is
// never listed or sent; deleting an alias removes exactly it and its block, and the others stay
// listed as before; editing an alias keeps every other line and the listing's shape; a load and
// save keeps every line that carries no settings marker.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "AliasFuzzSupport.h"
#include "aliases/DatabasesConf.h"

using namespace vantrel;
using namespace vantrel::fuzz;

namespace {

std::vector<std::string> Names(const TAliasList& list) {
  std::vector<std::string> names;
  for (const TListedAlias& alias : list.ListedAliases()) names.push_back(alias.entry.name);
  return names;
}

bool IsBlockLine(ConfLine role) {
  return role == ConfLine::BlockOpen || role == ConfLine::BlockBody || role == ConfLine::BlockClose;
}

void CheckListingAndSending(const TAliasList& list) {
  const std::vector<std::string> lines = list.Lines();
  const std::vector<ConfLine> roles = ClassifyDatabasesConf(lines);
  Check(roles.size() == lines.size(), "one role a line");
  std::size_t blockLines = 0;
  for (ConfLine role : roles) blockLines += IsBlockLine(role);
  for (const TListedAlias& alias : list.ListedAliases())
    Check(!IsBlockLine(roles[static_cast<std::size_t>(alias.line)]), "a block line listed");
  // A CR or NUL inside a line cuts it further for clients, as they have always had it.
  bool plain = true;
  for (const std::string& line : lines) plain = plain && line.find_first_of(std::string_view("\r\0", 2)) == std::string::npos;
  if (plain) Check(list.SendableLines().size() == lines.size() - blockLines, "block lines sent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TAliasList list;
  list.SetRules(AliasFileRules::DatabasesConf);
  list.SetText(bytes);
  CheckListingAndSending(list);
  const std::vector<std::string> lines = list.Lines();
  const std::vector<TListedAlias> listed = list.ListedAliases();
  const std::vector<std::string> names = Names(list);

  for (std::size_t i = 0; i < listed.size() && i < 8; ++i) {
    TAliasList deleted;
    deleted.SetRules(AliasFileRules::DatabasesConf);
    deleted.SetText(bytes);
    const auto at = static_cast<std::size_t>(listed[i].line);
    const std::size_t end = EndOfAliasWithBlock(ClassifyDatabasesConf(lines), at);
    deleted.DeleteAlias(listed[i].line);
    Check(deleted.LineCount() == static_cast<int>(lines.size() - (end - at)), "delete removes its block only");
    std::vector<std::string> others = names;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    Check(Names(deleted) == others, "the other aliases stay listed");

    TAliasList edited;
    edited.SetRules(AliasFileRules::DatabasesConf);
    edited.SetText(bytes);
    edited.EditAlias(listed[i].line, "fuzzed", "C:\\data\\fuzzed.fdb");
    Check(edited.LineCount() == static_cast<int>(lines.size()), "edit keeps the line count");
    const std::vector<TListedAlias> after = edited.ListedAliases();
    Check(after.size() == listed.size(), "edit keeps the listing");
    Check(after[i].line == listed[i].line && after[i].entry.name == "fuzzed" &&
              after[i].entry.path == "C:\\data\\fuzzed.fdb",
          "edit changes the alias in place");
    for (std::size_t l = 0; l < lines.size(); ++l)
      if (l != at) Check(edited.LineAt(static_cast<int>(l)) == lines[l], "edit touches no other line");
    CheckListingAndSending(edited);
  }

  Host host;
  TAliasList loaded(&host);
  loaded.SetRules(AliasFileRules::DatabasesConf);
  host.saveAliasFile = [&] { loaded.UpdateSettingsLines(); };
  loaded.LoadText(bytes);
  loaded.UpdateSettingsLines();
  Check(WithoutSettings(loaded.Lines()) == WithoutSettings(lines), "other lines kept");
  return 0;
}
