#include "tests/e2e/Harness.h"

#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>

#include "shell/ControlIds.h"
#include "tests/sim/SimTesting.h"

namespace e2e {
namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

std::wstring TempRoot() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"vantrel-e2e";
}

void DeleteTree(const std::wstring& path) {
  std::wstring from = path + L'\0' + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationW(&op);
}

struct BoxSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<BoxSearch*>(lp);
  wchar_t cls[64], title[64];
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 64);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"Vantrel") == 0 &&
      IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<ControlSearch*>(lp);
  if (GetDlgCtrlID(hwnd) == search->id) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::wstring LayInstallation(const std::wstring& name, Kind kind) {
  std::wstring root = TempRoot() + L"\\" + name;
  DeleteTree(root);
  const bool rootLayout = kind == Kind::FirebirdRoot;
  const std::wstring programs = rootLayout ? root : root + L"\\bin";
  SHCreateDirectoryExW(nullptr, programs.c_str(), nullptr);
  const std::wstring server = kind == Kind::Firebird       ? L"fbserver.exe"
                              : kind == Kind::FirebirdRoot ? L"firebird.exe"
                                                           : L"ibserver.exe";
  const std::wstring guardian = kind == Kind::InterBase ? L"ibguard.exe" : L"fbguard.exe";
  for (const auto& file : {server, guardian}) {
    if (!CopyFileW((BinDir() + L"\\" + file).c_str(), (programs + L"\\" + file).c_str(), FALSE))
      throw std::runtime_error("cannot copy a simulated program");
  }
  return root;
}

namespace {

const wchar_t* RootKey(Kind kind) {
  return kind == Kind::InterBase ? L"Software\\Borland\\InterBase\\CurrentVersion"
                                 : L"Software\\Firebird Project\\Firebird Server\\Instances";
}
const wchar_t* RootValue(Kind kind) { return kind == Kind::InterBase ? L"RootDirectory" : L"DefaultInstance"; }

}  // namespace

void RegisterRoot(Kind kind, const std::wstring& root, RegistryView view) {
  HKEY key = nullptr;
  const REGSAM flag = view == RegistryView::Bits32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, RootKey(kind), 0, nullptr, 0, KEY_SET_VALUE | flag, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot register the root");
  std::wstring data = root + L"\\";
  RegSetValueExW(key, RootValue(kind), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void ClearRegistrations() {
  for (Kind kind : {Kind::Firebird, Kind::InterBase}) {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RootKey(kind), 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS)
        continue;
      RegDeleteValueW(key, RootValue(kind));
      RegCloseKey(key);
    }
  }
}

void ResetUserSettings() {
  wchar_t profile[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile)))
    DeleteFileW((std::wstring(profile) + L"\\.firebird\\vantrel.ini").c_str());
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

Vantrel::Vantrel(const std::wstring& arguments, bool waitIdle) {
  std::wstring commandLine = L"\"" + BinDir() + L"\\vantrel.exe\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  if (!vantrel::sim::testing::StartProcess(commandLine, BinDir(), pi_))
    throw std::runtime_error("cannot start vantrel.exe");
  if (waitIdle) WaitForInputIdle(pi_.hProcess, 10000);
}

Vantrel::~Vantrel() {
  // Asked to end as "vantrel.exe -exit" asks, so that it lets go of what it holds (the services it
  // follows: Wine keeps a killed process's service handles open); killed only when it does not end.
  if (Running()) {
    const UINT exitRequest = RegisterWindowMessageW(L"ExitVANTREL");
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"TApplication", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == pi_.dwProcessId) PostMessageW(window, exitRequest, 0, 0);
    }
    if (!WaitExit(15000)) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
  }
  CloseHandle(pi_.hThread);
  CloseHandle(pi_.hProcess);
}

bool Vantrel::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(pi_.hProcess, exitCode);
  return true;
}

bool Vantrel::Running() { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

HWND Vantrel::MainWindow() {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"TfrmMain", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == Pid()) return window;
  }
  return nullptr;
}

HWND Vantrel::WaitMainWindow(DWORD timeoutMs) {
  const DWORD started = GetTickCount();
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = MainWindow()) != nullptr; }, timeoutMs)) return window;
  // The window shows before its start-up is over: the pages not in view, the command server and
  // the notification-area icon follow the first paint. The last control made is the socket
  // page's status bar; a start-up that never gets there leaves the window to the test's checks.
  const DWORD spent = GetTickCount() - started;
  WaitFor([&] { return FindControl(window, vantrel::idStatusBar) != nullptr; },
          timeoutMs > spent ? timeoutMs - spent : 0);
  return window;
}

HWND Vantrel::WaitMessageBox(DWORD timeoutMs) {
  BoxSearch search{Pid(), nullptr};
  WaitFor([&] {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }, timeoutMs);
  return search.found;
}

HWND FindControl(HWND window, int id) {
  ControlSearch search{id, nullptr};
  EnumChildWindows(window, FindById, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring Text(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buffer;
}

std::wstring MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? Text(text) : std::wstring();
}

void PressButton(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring FileVersionString(const std::wstring& path, const wchar_t* key) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (!size) return {};
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  wchar_t* value = nullptr;
  UINT length = 0;
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + key;
  if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
  return value;
}

}  // namespace e2e
