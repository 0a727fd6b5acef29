#include "tests/sim/SimTesting.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/sim/SimHost.h"

namespace vantrel::sim::testing {
namespace {

constexpr auto kPoll = 100ms;
constexpr auto kCloseTimeout = 5s;
constexpr int kMaxWindowsToEnd = 10;

void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

bool CopyFolderFiles(const std::wstring& from, const std::wstring& to) {
  WIN32_FIND_DATAW entry;
  HANDLE found = FindFirstFileW((from + L"\\*").c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) return false;
  bool copied = true;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    copied = CopyFileW((from + L"\\" + entry.cFileName).c_str(), (to + L"\\" + entry.cFileName).c_str(),
                       FALSE) &&
             copied;
  } while (FindNextFileW(found, &entry));
  FindClose(found);
  return copied;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return WithoutTrailingDelimiter(std::wstring(buffer, length));
}

std::wstring UniqueName(const wchar_t* prefix) {
  static std::atomic<int> counter{0};
  return std::wstring(prefix) + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
         L"-" + std::to_wstring(GetTickCount());
}

std::wstring ReadUtf8File(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return {};
  bytes.resize(read);
  if (bytes.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::optional<std::wstring> EnvironmentValue(const wchar_t* name) {
  std::vector<wchar_t> buffer(32768);
  DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  return std::wstring(buffer.data(), length);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(kPoll.count()), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return true;
}

std::wstring LayoutRoot(Kind kind) {
  const wchar_t* name = kind == Kind::Firebird ? L"firebird" : kind == Kind::FirebirdRoot ? L"firebird5" : L"interbase";
  return FolderOf(OwnBinFolder()) + L"\\sim\\" + name;
}

TempInstallation::TempInstallation(Kind kind, const std::wstring& folderName)
    : kind_(kind), root_(TempFolder() + L"\\" + UniqueName(L"vantrel-sim-") + folderName) {
  CreateDirectoryW(root_.c_str(), nullptr);
  if (Names().rootLayout) {
    CopyFolderFiles(LayoutRoot(kind), root_);
    return;
  }
  CreateDirectoryW(Bin().c_str(), nullptr);
  CopyFolderFiles(LayoutRoot(kind) + L"\\bin", Bin());
}

TempInstallation::~TempInstallation() { DeleteTree(root_); }

ChildProcess::~ChildProcess() {
  if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

// Wine now and then refuses a process start on a loaded machine (CreateProcessW fails at once,
// well before any time-out), while the same start succeeds a moment later. Only the start is
// tried again, never what a test asserts; each refusal is written to the test's output.
bool StartProcess(const std::wstring& commandLine, const std::wstring& workingFolder, PROCESS_INFORMATION& info) {
  constexpr int kAttempts = 5;
  for (int attempt = 1;; ++attempt) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
      return true;
    const DWORD code = GetLastError();
    std::fprintf(stderr, "[process start] CreateProcessW refused (error %lu), attempt %d of %d: %ls\n",
                 static_cast<unsigned long>(code), attempt, kAttempts, commandLine.c_str());
    if (attempt == kAttempts) return false;
    Sleep(200u * static_cast<DWORD>(attempt));
  }
}

ChildProcess ChildProcess::Start(const std::wstring& commandLine, const std::wstring& workingFolder) {
  PROCESS_INFORMATION info{};
  ChildProcess child;
  if (StartProcess(commandLine, workingFolder, info)) {
    CloseHandle(info.hThread);
    child.process_ = UniqueHandle(info.hProcess);
  }
  return child;
}

std::optional<DWORD> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (!process_ || WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
  return code;
}

std::optional<DWORD> RunToEnd(const std::wstring& commandLine, std::chrono::milliseconds timeout) {
  ChildProcess child = ChildProcess::Start(commandLine);
  return child.WaitForExit(timeout);
}

HWND FindClassWindow(std::wstring_view windowClass) {
  return FindWindowW(std::wstring(windowClass).c_str(), nullptr);
}

bool WindowExists(std::wstring_view windowClass) { return FindClassWindow(windowClass) != nullptr; }

int CountClassWindows(std::wstring_view windowClass) {
  struct Search {
    std::wstring wanted;
    int count = 0;
  } search{std::wstring(windowClass)};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        if (s->wanted == name) ++s->count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.count;
}

void EndWindowsOfClass(std::wstring_view windowClass) {
  for (int i = 0; i < kMaxWindowsToEnd; ++i) {
    HWND window = FindClassWindow(windowClass);
    if (!window) return;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitUntil([window] { return !IsWindow(window); }, kCloseTimeout)) continue;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process) {
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), 5000);
    }
  }
}

void EndEverythingOf(Kind kind) {
  const KindNames& names = NamesOf(kind);
  DeleteServiceByName(std::wstring(names.guardianService));
  DeleteServiceByName(std::wstring(names.serverService));
  EndWindowsOfClass(names.guardianWindowClass);
  EndWindowsOfClass(names.serverWindowClass);
}

SavedMachineValue::SavedMachineValue(std::wstring key, std::wstring name)
    : key_(std::move(key)), name_(std::move(name)) {
  keyExisted_ = MachineKeyExists(key_);
  value_ = ReadMachineString(key_, name_);
}

SavedMachineValue::~SavedMachineValue() {
  if (value_) {
    RegistryKey key = RegistryKey::Create(HKEY_LOCAL_MACHINE, key_);
    auto bytes = static_cast<DWORD>((value_->size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key.Get(), name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value_->c_str()), bytes);
    return;
  }
  bool emptyNow = false;
  {
    RegistryKey key = RegistryKey::Open(HKEY_LOCAL_MACHINE, key_, KEY_ALL_ACCESS);
    if (!key) return;
    RegDeleteValueW(key.Get(), name_.c_str());
    emptyNow = key.IsEmpty();
  }
  if (!keyExisted_ && emptyNow) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str());
}

std::optional<std::wstring> ReadMachineString(const std::wstring& key, const std::wstring& name) {
  RegistryKey opened = RegistryKey::Open(HKEY_LOCAL_MACHINE, key, KEY_READ);
  if (!opened || !opened.HasValue(name)) return std::nullopt;
  return opened.ReadString(name);
}

bool MachineKeyExists(const std::wstring& key) {
  return static_cast<bool>(RegistryKey::Open(HKEY_LOCAL_MACHINE, key, KEY_READ));
}

ToolLogCapture::ToolLogCapture()
    : path_(TempFolder() + L"\\" + UniqueName(L"vantrel-sim-log-") + L".log"),
      previous_(EnvironmentValue(kToolLogVariable)) {
  SetEnvironmentVariableW(kToolLogVariable, path_.c_str());
}

ToolLogCapture::~ToolLogCapture() {
  SetEnvironmentVariableW(kToolLogVariable, previous_ ? previous_->c_str() : nullptr);
  DeleteFileW(path_.c_str());
}

std::vector<std::wstring> ToolLogCapture::Lines() const { return ReadLines(path_); }

ToolLogDefault::ToolLogDefault() : previous_(EnvironmentValue(kToolLogVariable)) {
  SetEnvironmentVariableW(kToolLogVariable, nullptr);
}

ToolLogDefault::~ToolLogDefault() {
  if (previous_) SetEnvironmentVariableW(kToolLogVariable, previous_->c_str());
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
  std::wstring text = ReadUtf8File(path);
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

DWORD ServiceState(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.Get(), &status)) return 0;
  return status.dwCurrentState;
}

std::optional<DWORD> ServiceExitCode(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return std::nullopt;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.Get(), &status)) return std::nullopt;
  return status.dwWin32ExitCode;
}

std::optional<ServiceSetup> QueryServiceSetup(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return std::nullopt;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return std::nullopt;
  DWORD needed = 0;
  QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (needed == 0 || !QueryServiceConfigW(service.Get(), config, needed, &needed)) return std::nullopt;
  return ServiceSetup{config->dwStartType, config->dwServiceType,
                      config->lpBinaryPathName ? config->lpBinaryPathName : L"",
                      config->lpDisplayName ? config->lpDisplayName : L""};
}

bool StartServiceByName(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_START));
  return service && StartServiceW(service.Get(), 0, nullptr);
}

bool SendStop(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_STOP));
  SERVICE_STATUS status{};
  return service && ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
}

bool DeleteServiceByName(const std::wstring& name) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  {
    ServiceHandle service(OpenServiceW(manager.Get(), name.c_str(), DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    StopServiceAndWaitStopped(service.Get(), kServiceWaitMs);
    DeleteService(service.Get());
  }
  return WaitUntil(
      [&] {
        ServiceHandle probe(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
        return !probe && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
      },
      kStartTimeout);
}

}  // namespace vantrel::sim::testing
