// Installation discovery: the registry's root directory, the server services, the installer's
// Uninstall keys, and what the disk holds in each folder.
#include "server/Discovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "resources/Texts.h"
#include "server/FB_Consts.h"
#include "server/rules/Instances.h"
#include "shell/Files.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"
#include "shell/rules/TextRules.h"

namespace vantrel {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstallPrefix[] = L"FBDBServer_";
constexpr wchar_t kUninstallSuffix[] = L"_is1";
constexpr wchar_t kEnvironmentKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr DWORD kKeyNameLength = 256;

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// InstallLocation of every FBDBServer_<major>_<minor>[_x64]_is1 key, 64-bit view first.
std::vector<std::wstring> UninstallLocations() {
  std::vector<std::wstring> found;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegKey uninstall = RegKey::Open(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_READ | view);
    if (!uninstall) continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[kKeyNameLength];
      DWORD length = kKeyNameLength;
      const LONG result = RegEnumKeyExW(uninstall.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_MORE_DATA) continue;
      if (result != ERROR_SUCCESS) break;
      const std::wstring keyName(name, length);
      if (keyName.rfind(kUninstallPrefix, 0) != 0 || !EndsWith(keyName, kUninstallSuffix)) continue;
      RegKey entry = RegKey::Open(HKEY_LOCAL_MACHINE, std::wstring(kUninstallKey) + L"\\" + keyName, KEY_READ | view);
      if (!entry) continue;
      if (auto location = entry.ReadString(L"InstallLocation"); location && !location->empty())
        found.push_back(*location);
    }
  }
  return found;
}

std::string ReadConf(const std::wstring& root) {
  std::ifstream file(std::filesystem::path(WithTrailingBackslash(root) + L"firebird.conf"), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

// Each value is looked for in the 64-bit view, then in the 32-bit one; Firebird's wins.
std::wstring ReadRootDirectory() {
  if (auto firebird = ReadStringInEitherView(HKEY_LOCAL_MACHINE, kFirebirdInstancesKey, L"DefaultInstance"))
    return *firebird;
  return ReadStringInEitherView(HKEY_LOCAL_MACHINE, kInterBaseKey, L"RootDirectory").value_or(L"");
}

TInstallation InstallationIn(const std::wstring& root) {
  return FindInstallation(root, [](const std::wstring& path) { return FileExists(path); });
}

std::vector<TInstallation> DiscoverInstallations(IServiceControl& services, const std::wstring& registeredRoot) {
  std::vector<TInstanceSighting> sightings;
  if (!registeredRoot.empty()) sightings.push_back({foundByRegistration, registeredRoot, {}, {}, {}});

  // Servers and guardians alike: a server's name gives its instance, a guardian is looked up by name.
  const std::vector<TServiceCommandLine> listed = services.ListServices(kFirebirdServicePrefix);
  for (const TServiceCommandLine& service : listed) {
    std::wstring instance = InstanceOfServerService(service.ServiceName);
    if (instance.empty()) continue;
    const TServiceCommand command = ParseServiceCommand(service.CommandLine);
    std::wstring guardian = std::wstring(kGuardianServicePrefix) + instance;
    const bool guardianExists = std::any_of(listed.begin(), listed.end(), [&](const TServiceCommandLine& g) {
      return CompareStringOrdinal(g.ServiceName.c_str(), -1, guardian.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    sightings.push_back({foundByService, RootOfServerProgram(command.program), instance,
                         guardianExists ? guardian : std::wstring(), command.port});
  }
  for (const std::wstring& location : UninstallLocations()) sightings.push_back({foundByUninstallKey, location, {}, {}, {}});

  std::vector<TInstallation> installations;
  for (const TInstanceEntry& entry : MergeInstances(sightings)) {
    TInstallation found = InstallationIn(entry.root);
    if (!found.Found()) continue;
    found.foundBy = entry.foundBy;
    found.isDefaultRegistration = entry.IsDefaultRegistration();
    if (found.kind == skFirebird) {
      // The installation's own services, not whatever DefaultInstance is.
      found.instanceName = entry.instance;
      found.serverServiceName = entry.serverService;
      found.guardianServiceName = entry.guardianService;
      const std::string conf = ReadConf(entry.root);
      const TServerPort port = ServerPortOf(conf, entry.portOverride);
      found.port = port.number;
      found.portText = PortText(port);
      found.ipcName = IpcNameOf(conf);
      const std::wstring pipe = Widen(ConfSetting(conf, "RemotePipeName").value_or(""));
      found.localServerPrefix = LocalServerPrefixFor(found.layout == ServerLayout::RootFolder, port, pipe);
    }
    installations.push_back(std::move(found));
  }
  return installations;
}

std::wstring SystemFirebirdVariable() {
  RegKey environment = RegKey::Open(HKEY_LOCAL_MACHINE, kEnvironmentKey, KEY_READ);
  if (!environment) return {};
  return environment.ReadString(L"FIREBIRD").value_or(L"");
}

bool GuardianIsAvailable(Platform& platform, const TInstallation& installation) {
  if (!FileExists(installation.guardianExe)) return false;
  return !platform.probes.IsWindowsNT() ||
         !platform.services.QueryServiceSetup(installation.guardianServiceName).DisplayName.empty();
}

std::wstring InstanceWarningText(const std::vector<TInstallation>& installations) {
  if (installations.size() < 2) return {};
  std::vector<TInstanceConflictFacts> facts;
  std::vector<const TInstallation*> compared;
  for (const TInstallation& found : installations) {
    if (found.kind != skFirebird) continue;
    const std::wstring name = found.instanceName.empty() || found.instanceName == kDefaultInstanceName
                                  ? ExcludeTrailingDelimiter(found.rootDir)
                                  : found.instanceName;
    facts.push_back({name, {found.port, ToAnsi(found.port ? L"" : found.portText)}, found.ipcName});
    compared.push_back(&found);
  }
  std::wstring warning;
  for (const TConflict& conflict : FindConflicts(facts)) {
    const TInstanceConflictFacts &a = facts[conflict.first], &b = facts[conflict.second];
    if (!warning.empty()) warning += L" ";
    if (conflict.kind == ConflictKind::SamePort)
      warning += FormatTexts(txt::SamePortFmt, {a.name, b.name, compared[conflict.first]->portText});
    else
      warning += FormatTexts(txt::SameIpcNameFmt, {a.name, b.name, FromAnsi(a.ipcName)});
  }
  if (const std::wstring variable = SystemFirebirdVariable(); !variable.empty()) {
    if (!warning.empty()) warning += L" ";
    warning += FormatText(txt::FirebirdVariableFmt, variable);
  }
  return warning;
}

}  // namespace vantrel
