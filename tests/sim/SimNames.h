#pragma once
// Names of the two kinds of simulated installation: files, windows, services and registry values.
#include <string_view>

namespace vantrel::sim {

enum class Kind { Firebird, InterBase };

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

constexpr const KindNames& NamesOf(Kind kind) {
  return kind == Kind::Firebird ? kFirebirdNames : kInterBaseNames;
}

// Environment variable naming one log shared by every registration tool; unset: <root>\sim-tools.log.
inline constexpr wchar_t kToolLogVariable[] = L"VANTREL_SIM_LOG";
inline constexpr wchar_t kToolLogName[] = L"sim-tools.log";

}  // namespace vantrel::sim
