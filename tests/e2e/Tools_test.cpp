// The default tool launched from the running program really opens the server log in Notepad.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/ControlIds.h"
#include "tools/ToolsPage.h"
#include "tests/e2e/Harness.h"

using namespace e2e;

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr ULONG kProcessBasicInformation = 0;
constexpr DWORD kProcessRights = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE;

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The command line another process was started with, read from its environment block.
std::optional<std::wstring> CommandLineOf(HANDLE process) {
  using QueryFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  if (!query) return std::nullopt;
  PROCESS_BASIC_INFORMATION basic{};
  if (query(process, kProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) return std::nullopt;
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) ||
      !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr))
    return std::nullopt;
  std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(), parameters.CommandLine.Length,
                         nullptr))
    return std::nullopt;
  return line;
}

struct Started {
  DWORD pid = 0;
  DWORD parent = 0;
  std::wstring commandLine;
};

// Notepad processes whose command line names the file.
std::vector<Started> NotepadsOpening(const std::wstring& file) {
  std::vector<Started> found;
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (Lower(entry.szExeFile) != L"notepad.exe") continue;
    Handle process(OpenProcess(kProcessRights, FALSE, entry.th32ProcessID));
    if (!process) continue;
    const auto line = CommandLineOf(process.get());
    if (line && Lower(*line).find(Lower(file)) != std::wstring::npos)
      found.push_back({entry.th32ProcessID, entry.th32ParentProcessID, *line});
  }
  return found;
}

struct TitleSearch {
  DWORD pid;
  std::wstring title;
};

BOOL CALLBACK FindVisibleTitle(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<TitleSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd)) return TRUE;
  search->title = Text(hwnd);
  return search->title.empty();
}

void EndProcess(DWORD pid) {
  Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (!process) return;
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 5000);
}

// Both Firebird layouts keep firebird.log in the root folder.
class Tools : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    ClearRegistrations();
    ResetUserSettings();
    root = LayInstallation(L"tools", GetParam());
    RegisterRoot(GetParam(), root);
    logPath = root + L"\\firebird.log";
    std::ofstream(std::filesystem::path(logPath)) << "server log\r\n";
  }
  void TearDown() override {
    for (const Started& notepad : NotepadsOpening(logPath)) EndProcess(notepad.pid);
    ClearRegistrations();
  }

  // Waits for the one Notepad that opens the log, checks it, then ends it.
  void ExpectNotepadOpensTheLog(DWORD launcherPid) {
    std::vector<Started> notepads;
    ASSERT_TRUE(WaitFor([&] { return !(notepads = NotepadsOpening(logPath)).empty(); }, kStartTimeoutMs))
        << "no notepad.exe was started with " << testing::PrintToString(logPath);
    ASSERT_EQ(notepads.size(), 1u);
    EXPECT_EQ(notepads[0].parent, launcherPid);
    TitleSearch search{notepads[0].pid, {}};
    EXPECT_TRUE(WaitFor([&] {
      EnumWindows(FindVisibleTitle, reinterpret_cast<LPARAM>(&search));
      return Lower(search.title).find(L"firebird.log") != std::wstring::npos;
    }, kStartTimeoutMs)) << "notepad's title: " << testing::PrintToString(search.title);
    EndProcess(notepads[0].pid);
    EXPECT_TRUE(WaitFor([&] { return NotepadsOpening(logPath).empty(); }));
  }

  std::wstring root, logPath;
};

std::wstring StoredTool(const wchar_t* key) {
  wchar_t profile[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile))) return {};
  wchar_t value[512] = {};
  GetPrivateProfileStringW(L"Tools", key, L"", value, 512,
                           (std::wstring(profile) + L"\\.firebird\\vantrel.ini").c_str());
  return value;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Layouts, Tools, ::testing::Values(Kind::Firebird, Kind::FirebirdRoot),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                           return std::string(info.param == Kind::FirebirdRoot ? "RootLayout" : "BinLayout");
                         });

TEST_P(Tools, DefaultToolOpensTheServerLogInNotepadFromPageAndTrayMenu) {
  Vantrel app;
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_EQ(StoredTool(L"Count"), L"1");
  EXPECT_EQ(StoredTool(L"Item0"), L"Firebird günlüğü=notepad.exe|$SERVERLOG");

  // The tray menu's "Ayarlama araçları..." brings the tools page with the tool selected.
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::idMenuConfigTools, 0), 0);
  HWND list = FindControl(main, vantrel::idToolList);
  HWND launch = FindControl(main, vantrel::idLaunchTool);
  ASSERT_TRUE(WaitFor([&] {
    return SendMessageW(list, LB_GETCURSEL, 0, 0) == 0 && IsWindowEnabled(launch) && IsWindowVisible(list);
  }));
  wchar_t title[64] = {};
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(title));
  EXPECT_STREQ(title, L"Firebird günlüğü");

  PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::idLaunchTool, BN_CLICKED), reinterpret_cast<LPARAM>(launch));
  ExpectNotepadOpensTheLog(app.Pid());

  PostMessageW(main, WM_COMMAND, MAKEWPARAM(vantrel::TToolsPage::kFirstTrayToolId, 0), 0);
  ExpectNotepadOpensTheLog(app.Pid());
}
