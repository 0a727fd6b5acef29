#pragma once
// What the discovery found of the server installation: its layout and every path and name the
// program drives it by. Built once from the registered root folder and a look at which files
// exist; everything that needs a program, tool or file of the installation reads it from here.
#include <functional>
#include <string>
#include <vector>

#include "server/FB_Consts.h"

namespace vantrel {

enum class ServerLayout {
  None,        // no server program found
  BinFolder,   // Firebird 1.5 to 2.5 and InterBase: programs and tools in <root>\bin
  RootFolder,  // Firebird 3 and later: programs and tools in the root folder itself
};

struct TInstallation {
  ServerLayout layout = ServerLayout::None;
  ServerKind kind = skNone;
  std::wstring rootDir;     // exactly as registered (often with a trailing delimiter)
  std::wstring programDir;  // folder of the programs and tools, without trailing delimiter
  std::wstring serverExe;
  std::wstring guardianExe;
  std::wstring instreg;
  std::wstring instsvc;
  std::wstring instclient;     // the client-library installer; empty where the layout has none
  std::wstring clientLibrary;  // the library a root change puts into the system folder
  // The installation's own client libraries, tried in this order (by full path, so that their
  // plugins and dependencies resolve from their folder) before the search path.
  std::vector<std::wstring> clientLibraries;
  // What goes before a database path to reach this server on this machine: TCP for Firebird 3
  // and later (5.0 has no named pipes), the named-pipe form for 2.5 and InterBase.
  std::wstring localServerPrefix;
  std::wstring aliasFile;
  std::wstring serverLog;
  // The six names of the kind; the server program's file name differs between the layouts.
  std::wstring serverExeName;
  std::wstring guardianExeName;
  std::wstring serverWindowClass;
  std::wstring guardianWindowClass;
  std::wstring serverServiceName;
  std::wstring guardianServiceName;

  // Several servers on one machine: which of them this is.
  std::wstring instanceName;  // of its services; empty when it has none ("installed but not configured")
  std::wstring portText = L"3050";
  unsigned port = 3050;  // 0 when firebird.conf names a service without a number
  std::string ipcName = "FIREBIRD";
  unsigned foundBy = 0;  // FoundBy bits of server/rules/Instances.h
  bool isDefaultRegistration = false;

  bool Found() const { return layout != ServerLayout::None; }
  // databases.conf follows the stricter rules of the current servers (blocks, no duplicates).
  bool UsesDatabasesConf() const;
};

using FileExistsFn = std::function<bool(const std::wstring& path)>;

inline constexpr wchar_t kRootLayoutServerExe[] = L"firebird.exe";
inline constexpr wchar_t kAliasesConf[] = L"aliases.conf";
inline constexpr wchar_t kDatabasesConf[] = L"databases.conf";
inline constexpr wchar_t kServerLogFile[] = L"firebird.log";
// Registry keys under HKEY_LOCAL_MACHINE naming the root folder.
inline constexpr wchar_t kFirebirdInstancesKey[] = L"\\Software\\Firebird Project\\Firebird Server\\Instances";
inline constexpr wchar_t kInterBaseKey[] = L"\\Software\\Borland\\InterBase\\CurrentVersion";

// The installation of a layout and kind in root. The disk is asked only which alias file the
// root layout has: databases.conf, or aliases.conf when only that one exists.
TInstallation DescribeInstallation(const std::wstring& root, ServerLayout layout, ServerKind kind,
                                   const FileExistsFn& exists);

// Looks for the server program in this order: bin\fbserver.exe (2.5), firebird.exe in the root
// (3 and later), bin\ibserver.exe (InterBase). When none exists the result's layout is None and
// its paths and names are those of the last try (InterBase); its kind is skNone.
TInstallation FindInstallation(const std::wstring& root, const FileExistsFn& exists);

// root with a backslash added when it has none (an empty root stays a lone backslash).
std::wstring WithTrailingBackslash(std::wstring path);

}  // namespace vantrel
