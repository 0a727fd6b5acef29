#pragma once
// Names of the two kinds of simulated installation: files, windows, services and registry values.
#include <string_view>

namespace vantrel::sim {

// Firebird: the 2.5 layout (programs in bin\); FirebirdRoot: Firebird 3 and later, everything in
// the root folder, the server program firebird.exe; InterBase: the bin\ layout with its names.
enum class Kind { Firebird, InterBase, FirebirdRoot };

struct KindNames {
  std::wstring_view serverExe;
  std::wstring_view guardianExe;
  std::wstring_view serverWindowClass;
  std::wstring_view guardianWindowClass;
  std::wstring_view serverService;
  std::wstring_view guardianService;
  std::wstring_view serverDisplayName;
  std::wstring_view guardianDisplayName;
  std::wstring_view rootKey;    // under HKEY_LOCAL_MACHINE
  std::wstring_view rootValue;  // string value naming the root directory
  bool rootLayout = false;      // programs and tools in the root folder, not in a bin folder
};

inline constexpr KindNames kFirebirdNames{
    L"fbserver.exe",
    L"fbguard.exe",
    L"FB_Server",
    L"FB_Guard",
    L"FirebirdServerDefaultInstance",
    L"FirebirdGuardianDefaultInstance",
    L"Firebird Server - DefaultInstance",
    L"Firebird Guardian - DefaultInstance",
    L"Software\\Firebird Project\\Firebird Server\\Instances",
    L"DefaultInstance",
};

inline constexpr KindNames kInterBaseNames{
    L"ibserver.exe",
    L"ibguard.exe",
    L"IB_Server",
    L"IB_Guard",
    L"InterBaseServer",
    L"InterBaseGuardian",
    L"InterBase Server",
    L"InterBase Guardian",
    L"Software\\Borland\\InterBase\\CurrentVersion",
    L"RootDirectory",
};

inline constexpr KindNames kFirebirdRootNames{
    L"firebird.exe",
    L"fbguard.exe",
    L"FB_Server",
    L"FB_Guard",
    L"FirebirdServerDefaultInstance",
    L"FirebirdGuardianDefaultInstance",
    L"Firebird Server - DefaultInstance",
    L"Firebird Guardian - DefaultInstance",
    L"Software\\Firebird Project\\Firebird Server\\Instances",
    L"DefaultInstance",
    true,
};

constexpr const KindNames& NamesOf(Kind kind) {
  switch (kind) {
    case Kind::Firebird: return kFirebirdNames;
    case Kind::FirebirdRoot: return kFirebirdRootNames;
    default: return kInterBaseNames;
  }
}

// Services of the root layout run "<root>\firebird.exe" -s DefaultInstance.
inline constexpr wchar_t kInstanceArguments[] = L" -s DefaultInstance";

// Set to "32": instreg writes and removes the root value in the 32-bit registry view, as a
// 32-bit server installed on 64-bit Windows does.
inline constexpr wchar_t kRegistryViewVariable[] = L"VANTREL_SIM_REGISTRY_VIEW";

// Environment variable naming one log shared by every registration tool; unset: <root>\sim-tools.log.
inline constexpr wchar_t kToolLogVariable[] = L"VANTREL_SIM_LOG";
inline constexpr wchar_t kToolLogName[] = L"sim-tools.log";

}  // namespace vantrel::sim
