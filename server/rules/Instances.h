#pragma once
// Several servers on one machine: how the three places that name an installation (the
// DefaultInstance registration, the FirebirdServer<NAME> services, the installer's Uninstall
// keys) become one list, what each server listens on, which one the user works with, and what
// makes two of them trip over each other. Plain values only; the registry and the service
// manager are read elsewhere.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "shell/rules/PathRules.h"

namespace vantrel {

inline constexpr wchar_t kDefaultInstanceName[] = L"DefaultInstance";
inline constexpr wchar_t kServerServicePrefix[] = L"FirebirdServer";
inline constexpr wchar_t kGuardianServicePrefix[] = L"FirebirdGuardian";
// What both begin with: one listing of the services finds servers and guardians.
inline constexpr wchar_t kFirebirdServicePrefix[] = L"Firebird";
inline constexpr unsigned kDefaultServerPort = 3050;

// A service's registered command line taken apart: the program (unquoted), the instance of
// -s NAME and the port of -p PORT (only the first letter of a switch counts, as for the server).
struct TServiceCommand {
  std::wstring program;
  std::wstring instance;
  std::optional<unsigned> port;
};
TServiceCommand ParseServiceCommand(const std::wstring& commandLine);

// NAME of a service called FirebirdServer<NAME>; empty for any other service.
std::wstring InstanceOfServerService(const std::wstring& serviceName);

// The root folder of a server program: the parent of bin for 2.5's bin\fbserver.exe and
// bin\fb_inet_server.exe, the program's own folder for firebird.exe; empty for anything else.
std::wstring RootOfServerProgram(const std::wstring& program);


enum FoundBy : unsigned { foundByRegistration = 1, foundByService = 2, foundByUninstallKey = 4 };

// One sighting of an installation.
struct TInstanceSighting {
  FoundBy source = foundByRegistration;
  std::wstring root;
  std::wstring instance;         // services only: NAME of FirebirdServer<NAME> (or of -s)
  std::wstring guardianService;  // services only, when FirebirdGuardian<NAME> exists
  std::optional<unsigned> port;  // services only: -p on the command line
};

// One installation as the list shows it.
struct TInstanceEntry {
  std::wstring root;  // as first seen
  // The instance whose services drive it: empty when no service was seen and the registration
  // does not name it (an installation that was "installed but not configured").
  std::wstring instance;
  std::wstring serverService, guardianService;
  std::optional<unsigned> portOverride;
  unsigned foundBy = 0;
  bool IsDefaultRegistration() const { return (foundBy & foundByRegistration) != 0; }
};

// Sightings merged by root folder, in the order first seen. The registered root is the default
// instance's: it keeps the DefaultInstance services unless the DefaultInstance service runs a
// program of another folder. A folder with several instances is driven by DefaultInstance when
// it is one of them, else by the first seen.
std::vector<TInstanceEntry> MergeInstances(const std::vector<TInstanceSighting>& sightings);

// What firebird.conf says of a setting: the value of its last uncommented `key = value` line
// (keys without regard to case, a `#` ends the line), or nothing.
std::optional<std::string> ConfSetting(const std::string& confText, const std::string& key);

// Where a server listens: a port number, or a service name the program cannot turn into one.
struct TServerPort {
  unsigned number = kDefaultServerPort;  // 0 when only the name is known
  std::string serviceName;
  bool operator==(const TServerPort&) const = default;
};
// -p wins; else RemoteServicePort when set and not zero; else RemoteServiceName (gds_db or a
// number; another name stays a name); else 3050.
TServerPort ServerPortOf(const std::string& confText, std::optional<unsigned> commandLinePort);
std::wstring PortText(const TServerPort& port);

// IpcName of firebird.conf, FIREBIRD when not set.
std::string IpcNameOf(const std::string& confText);

// What goes before a database path to reach the server on this machine. Root layout (3.0 and
// later): TCP, with the port when it is not 3050. Bin layout (2.5, InterBase): named pipes, with
// the pipe of RemotePipeName when set.
std::wstring LocalServerPrefixFor(bool rootLayout, const TServerPort& port, const std::wstring& pipeName);

// The installation to work with: the stored root when it is still in the list, else the
// DefaultInstance registration's, else the first. roots and isDefault run in parallel.
std::size_t ChooseInstance(const std::vector<std::wstring>& roots, const std::vector<bool>& isDefault,
                           const std::wstring& storedRoot);

// "Firebird 5.0.1.1469 — FB5 — 3051 — C:\Program Files\Firebird\Firebird_5_0": the parts that
// are known, joined by dashes.
std::wstring InstanceLabel(const std::wstring& version, const std::wstring& instance, const std::wstring& port,
                           const std::wstring& root);

// What each server would collide on.
struct TInstanceConflictFacts {
  std::wstring name;  // as the user knows it (instance or root)
  TServerPort port;
  std::string ipcName;
};
enum class ConflictKind { SamePort, SameIpcName };
struct TConflict {
  ConflictKind kind;
  std::size_t first, second;  // indexes into the facts
};
// Every pair that shares a port number or an IpcName (without regard to case).
std::vector<TConflict> FindConflicts(const std::vector<TInstanceConflictFacts>& facts);

}  // namespace vantrel
