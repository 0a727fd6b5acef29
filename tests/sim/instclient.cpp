// Simulated client-library tool of Firebird 3 and later: "install gds32" puts a copy of the
// fbclient.dll beside it into the system folder under the name gds32.dll, "remove gds32" deletes it.
#include <windows.h>

#include <cstdio>

#include "tests/sim/SimSupport.h"

using namespace vantrel::sim;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

bool Same(const wchar_t* text, const wchar_t* word) {
  return CompareStringOrdinal(text, -1, word, -1, TRUE) == CSTR_EQUAL;
}

std::wstring SystemLibrary() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length && length < MAX_PATH ? WithTrailingDelimiter(folder) + L"gds32.dll" : L"";
}

int Install() {
  const std::wstring target = SystemLibrary();
  const std::wstring source = WithTrailingDelimiter(OwnBinFolder()) + L"fbclient.dll";
  return !target.empty() && CopyFileW(source.c_str(), target.c_str(), FALSE) ? kExitOk : kExitFailed;
}

int Remove() {
  const std::wstring target = SystemLibrary();
  return !target.empty() && (DeleteFileW(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
             ? kExitOk
             : kExitFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  AppendToolLog(GetCommandLineW());
  if (argc == 3 && Same(argv[2], L"gds32")) {
    if (Same(argv[1], L"install")) return Install();
    if (Same(argv[1], L"remove")) return Remove();
  }
  std::fputs("usage: instclient install gds32 | instclient remove gds32\n", stderr);
  return kExitUsage;
}
