#include "server/rules/Instances.h"

#include <algorithm>

#include "shell/rules/PathRules.h"
#include "shell/rules/TextRules.h"

namespace vantrel {
namespace {

// The words of a command line as the C runtime splits them: blanks separate, quotes group.
std::vector<std::wstring> Words(const std::wstring& line) {
  std::vector<std::wstring> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= line.size()) break;
    std::wstring word;
    bool quoted = false;
    for (; i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t')); ++i) {
      if (line[i] == L'"')
        quoted = !quoted;
      else
        word += line[i];
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<unsigned> Number(const std::string& text) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const unsigned value = static_cast<unsigned>(std::stoul(text));
  if (value > 65535) return std::nullopt;
  return value;
}

}  // namespace

TServiceCommand ParseServiceCommand(const std::wstring& commandLine) {
  TServiceCommand command;
  const std::vector<std::wstring> words = Words(commandLine);
  if (words.empty()) return command;
  command.program = words[0];
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::wstring& word = words[i];
    if (word.size() < 2 || (word[0] != L'-' && word[0] != L'/')) continue;
    const wchar_t letter = PathLetterUpper(word[1]);
    if ((letter != L'S' && letter != L'P') || i + 1 >= words.size()) continue;
    const std::wstring value = words[++i];
    if (letter == L'S') {
      command.instance = value;
    } else {
      const std::string narrow(value.begin(), value.end());
      command.port = Number(narrow);
    }
  }
  return command;
}

std::wstring InstanceOfServerService(const std::wstring& serviceName) {
  const std::wstring prefix = kServerServicePrefix;
  if (serviceName.size() <= prefix.size() || !StartsWithPathText(serviceName, prefix)) return {};
  return serviceName.substr(prefix.size());
}

std::wstring RootOfServerProgram(const std::wstring& program) {
  const std::wstring name = FileNameOf(program);
  const std::wstring folder = ExcludeTrailingDelimiter(FolderOf(program));
  if (SamePathText(name, L"firebird.exe")) return folder;
  if (SamePathText(name, L"fbserver.exe") || SamePathText(name, L"fb_inet_server.exe")) {
    if (!SamePathText(FileNameOf(folder), L"bin")) return {};
    return ExcludeTrailingDelimiter(FolderOf(folder));
  }
  return {};
}

std::vector<TInstanceEntry> MergeInstances(const std::vector<TInstanceSighting>& sightings) {
  std::vector<TInstanceEntry> entries;
  // The DefaultInstance service's own folder decides whether the registration may use it.
  std::wstring defaultServiceRoot;
  for (const TInstanceSighting& s : sightings)
    if (s.source == foundByService && SamePathText(s.instance, kDefaultInstanceName)) defaultServiceRoot = s.root;

  std::vector<bool> serviceSeen;  // parallel to entries: a service of the folder was seen
  for (const TInstanceSighting& s : sightings) {
    if (s.root.empty()) continue;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const TInstanceEntry& e) { return SameFolder(e.root, s.root); });
    if (it == entries.end()) {
      TInstanceEntry added;
      added.root = s.root;
      it = entries.insert(entries.end(), std::move(added));
      serviceSeen.push_back(false);
    }
    TInstanceEntry& entry = *it;
    const std::size_t index = static_cast<std::size_t>(it - entries.begin());
    entry.foundBy |= s.source;
    if (s.source == foundByRegistration) {
      if (entry.instance.empty() && (defaultServiceRoot.empty() || SameFolder(defaultServiceRoot, s.root))) {
        entry.instance = kDefaultInstanceName;
        entry.serverService = std::wstring(kServerServicePrefix) + kDefaultInstanceName;
        entry.guardianService = std::wstring(kGuardianServicePrefix) + kDefaultInstanceName;
      }
    } else if (s.source == foundByService) {
      // The first service seen drives the folder, except that DefaultInstance takes over.
      if (!serviceSeen[index] || SamePathText(s.instance, kDefaultInstanceName)) {
        entry.instance = s.instance;
        entry.serverService = std::wstring(kServerServicePrefix) + s.instance;
        entry.guardianService = s.guardianService;
        entry.portOverride = s.port;
      }
      serviceSeen[index] = true;
    }
  }
  return entries;
}

std::optional<std::string> ConfSetting(const std::string& confText, const std::string& key) {
  std::optional<std::string> found;
  std::size_t start = 0;
  while (start <= confText.size()) {
    std::size_t end = confText.find('\n', start);
    if (end == std::string::npos) end = confText.size();
    std::string line = confText.substr(start, end - start);
    start = end + 1;
    if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = Trim(line.substr(0, equals));
    if (AsciiUpper(name) != AsciiUpper(key)) continue;
    std::string value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    found = value;
  }
  return found;
}

TServerPort ServerPortOf(const std::string& confText, std::optional<unsigned> commandLinePort) {
  if (commandLinePort && *commandLinePort != 0) return {*commandLinePort, {}};
  if (const auto port = ConfSetting(confText, "RemoteServicePort")) {
    if (const auto number = Number(*port); number && *number != 0) return {*number, {}};
  }
  if (const auto name = ConfSetting(confText, "RemoteServiceName"); name && !name->empty()) {
    if (const auto number = Number(*name)) return {*number, {}};
    if (*name == "gds_db") return {kDefaultServerPort, {}};
    return {0, *name};
  }
  return {};
}

std::wstring PortText(const TServerPort& port) {
  if (port.number != 0) return std::to_wstring(port.number);
  return std::wstring(port.serviceName.begin(), port.serviceName.end());
}

std::string IpcNameOf(const std::string& confText) {
  const auto name = ConfSetting(confText, "IpcName");
  return name && !name->empty() ? *name : "FIREBIRD";
}

std::wstring LocalServerPrefixFor(bool rootLayout, const TServerPort& port, const std::wstring& pipeName) {
  if (rootLayout) {
    if (port.number == kDefaultServerPort || (port.number == 0 && port.serviceName.empty())) return L"127.0.0.1:";
    return L"127.0.0.1/" + PortText(port) + L":";
  }
  if (pipeName.empty()) return L"\\\\127.0.0.1\\";
  return L"\\\\127.0.0.1@" + pipeName + L"\\";
}

std::size_t ChooseInstance(const std::vector<std::wstring>& roots, const std::vector<bool>& isDefault,
                           const std::wstring& storedRoot) {
  if (!storedRoot.empty())
    for (std::size_t i = 0; i < roots.size(); ++i)
      if (SameFolder(roots[i], storedRoot)) return i;
  for (std::size_t i = 0; i < isDefault.size() && i < roots.size(); ++i)
    if (isDefault[i]) return i;
  return 0;
}

std::wstring InstanceLabel(const std::wstring& version, const std::wstring& instance, const std::wstring& port,
                           const std::wstring& root) {
  std::wstring label;
  for (const std::wstring& part : {version, instance, port, ExcludeTrailingDelimiter(root)}) {
    if (part.empty()) continue;
    if (!label.empty()) label += L" \u2014 ";
    label += part;
  }
  return label;
}

std::vector<TConflict> FindConflicts(const std::vector<TInstanceConflictFacts>& facts) {
  std::vector<TConflict> conflicts;
  auto sameText = [](const std::string& a, const std::string& b) { return AsciiUpper(a) == AsciiUpper(b); };
  for (std::size_t i = 0; i < facts.size(); ++i)
    for (std::size_t j = i + 1; j < facts.size(); ++j) {
      const TServerPort &a = facts[i].port, &b = facts[j].port;
      if ((a.number != 0 && a.number == b.number) || (a.number == 0 && b.number == 0 && sameText(a.serviceName, b.serviceName)))
        conflicts.push_back({ConflictKind::SamePort, i, j});
      if (sameText(facts[i].ipcName, facts[j].ipcName)) conflicts.push_back({ConflictKind::SameIpcName, i, j});
    }
  return conflicts;
}

}  // namespace vantrel
