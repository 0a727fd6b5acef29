#include "server/rules/Instances.h"

#include <algorithm>
#include <cctype>

namespace vantrel {
namespace {

wchar_t FoldW(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualFolded(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return FoldW(x) == FoldW(y) || ((x == L'/' || x == L'\\') && (y == L'/' || y == L'\\'));
         });
}

bool StartsWithFolded(const std::wstring& text, const std::wstring& head) {
  return text.size() >= head.size() && EqualFolded(text.substr(0, head.size()), head);
}

std::wstring WithoutTrailingSlash(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

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

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
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
    const wchar_t letter = FoldW(word[1]);
    if ((letter != L's' && letter != L'p') || i + 1 >= words.size()) continue;
    const std::wstring value = words[++i];
    if (letter == L's') {
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
  if (serviceName.size() <= prefix.size() || !StartsWithFolded(serviceName, prefix)) return {};
  return serviceName.substr(prefix.size());
}

std::wstring RootOfServerProgram(const std::wstring& program) {
  const std::wstring name = FileNameOf(program);
  const std::wstring folder = FolderOf(program);
  if (EqualFolded(name, L"firebird.exe")) return folder;
  if (EqualFolded(name, L"fbserver.exe") || EqualFolded(name, L"fb_inet_server.exe")) {
    if (!EqualFolded(FileNameOf(folder), L"bin")) return {};
    return FolderOf(folder);
  }
  return {};
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return EqualFolded(WithoutTrailingSlash(a), WithoutTrailingSlash(b));
}

bool PathIsInFolder(const std::wstring& path, const std::wstring& folder) {
  const std::wstring head = WithoutTrailingSlash(folder) + L"\\";
  return head.size() > 1 && path.size() > head.size() && StartsWithFolded(path, head);
}

std::vector<TInstanceEntry> MergeInstances(const std::vector<TInstanceSighting>& sightings) {
  std::vector<TInstanceEntry> entries;
  // The DefaultInstance service's own folder decides whether the registration may use it.
  std::wstring defaultServiceRoot;
  for (const TInstanceSighting& s : sightings)
    if (s.source == foundByService && EqualFolded(s.instance, kDefaultInstanceName)) defaultServiceRoot = s.root;

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
      if (!serviceSeen[index] || EqualFolded(s.instance, kDefaultInstanceName)) {
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
    if (name.size() != key.size() ||
        !std::equal(name.begin(), name.end(), key.begin(), [](char a, char b) { return Fold(a) == Fold(b); }))
      continue;
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
  for (const std::wstring& part : {version, instance, port, WithoutTrailingSlash(root)}) {
    if (part.empty()) continue;
    if (!label.empty()) label += L" \u2014 ";
    label += part;
  }
  return label;
}

std::vector<TConflict> FindConflicts(const std::vector<TInstanceConflictFacts>& facts) {
  std::vector<TConflict> conflicts;
  auto sameText = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
  };
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
