// Simulated registration tool: "install [dir]" names the root directory in the registry, "remove" drops it.
#include <windows.h>

#include <cstdio>

#include "tests/sim/SimSupport.h"

using namespace vantrel::sim;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The registry view the tool writes to: the 32-bit one when the environment asks for it.
REGSAM View() {
  wchar_t value[8] = {};
  const DWORD length = GetEnvironmentVariableW(kRegistryViewVariable, value, 8);
  return length == 2 && value[0] == L'3' && value[1] == L'2' ? KEY_WOW64_32KEY : 0;
}

int Install(const KindNames& names, const std::wstring& root) {
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, std::wstring(names.rootKey).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | View(), nullptr, &created, nullptr) != ERROR_SUCCESS)
    return kExitFailed;
  RegistryKey key = RegistryKey::Adopt(created);
  // The registered root always ends with a delimiter, as the real tool writes it.
  std::wstring value = WithTrailingDelimiter(FullPath(root));
  auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key.Get(), std::wstring(names.rootValue).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()), bytes) != ERROR_SUCCESS)
    return kExitFailed;
  return kExitOk;
}

int Remove(const KindNames& names) {
  const std::wstring path(names.rootKey);
  {
    RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS | View());
    if (!key) return kExitOk;  // nothing registered
    LSTATUS status = RegDeleteValueW(key.Get(), std::wstring(names.rootValue).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return kExitFailed;
    if (!key.IsEmpty()) return kExitOk;
  }
  // A key left empty goes too, so a removed installation leaves no trace of its kind.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), View(), 0);
  return kExitOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  AppendToolLog(GetCommandLineW());
  const KindNames& names = NamesOf(KindOfBinFolder(OwnBinFolder()));
  std::wstring command = argc > 1 ? argv[1] : L"";
  bool emptyRoot = argc == 3 && argv[2][0] == L'\0';
  if (CompareStringOrdinal(command.c_str(), -1, L"install", -1, TRUE) == CSTR_EQUAL && argc <= 3 &&
      !emptyRoot)
    return Install(names, argc == 3 ? argv[2] : OwnRootFolder());
  if (CompareStringOrdinal(command.c_str(), -1, L"remove", -1, TRUE) == CSTR_EQUAL && argc == 2)
    return Remove(names);
  std::fputs("usage: instreg install [root directory] | instreg remove\n", stderr);
  return kExitUsage;
}
