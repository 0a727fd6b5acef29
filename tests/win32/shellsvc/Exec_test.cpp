// Running programs: exit codes, the working directory, messages while waiting, quit requests.
#include <windows.h>

#include <gtest/gtest.h>

#include "shell/uExec.h"
#include "tests/win32/shellsvc/TestSupport.h"

namespace vantrel {
namespace {

using test::HelperPath;
using test::ScratchFolder;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

TEST(RunAndWaitTest, ReturnsTheChildsExitCode) {
  EXPECT_EQ(3, RunAndWait(L"cmd /c exit 3", SW_HIDE));
  EXPECT_EQ(0, RunAndWait(L"cmd /c exit 0", SW_HIDE));
}

TEST(RunAndWaitTest, ExitCodesFromTwoToThe31UpStayPositive) {
  EXPECT_EQ(0xC0000005LL, RunAndWait(Quoted(HelperPath()) + L" exit 0xC0000005", SW_HIDE));
  EXPECT_EQ(0xFFFFFFFFLL, RunAndWait(Quoted(HelperPath()) + L" exit 0xFFFFFFFF", SW_HIDE));
  // STILL_ACTIVE as a real exit code must not keep the wait going forever.
  EXPECT_EQ(static_cast<std::int64_t>(STILL_ACTIVE),
            RunAndWait(Quoted(HelperPath()) + L" exit 259", SW_HIDE));
}

TEST(RunAndWaitTest, ProgramThatCannotStartGivesMinusOneWithTheReasonInLastError) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(-1, RunAndWait(L"vantrel_no_such_program_here.exe", SW_HIDE));
  DWORD reason = GetLastError();
  EXPECT_TRUE(reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND) << reason;
}

TEST(RunAndWaitTest, WorkingDirectoryIsTheCommandLinesFolderWhenItExists) {
  ScratchFolder folder(L"vantrel-exec-");
  ScratchFolder elsewhere(L"vantrel-exec-cwd-");
  ASSERT_TRUE(CopyFileW(HelperPath().c_str(), folder.File(L"helper.exe").c_str(), FALSE));
  test::WriteFileText(folder.File(L"marker.txt"), "here");

  EXPECT_EQ(folder.Path(), RunAndWaitDirectory(folder.File(L"helper.exe") + L" marker"));
  EXPECT_EQ(10, RunAndWait(folder.File(L"helper.exe") + L" marker", SW_HIDE));

  // A backslash in the arguments makes the "folder" a text that names nothing: the child runs
  // in the caller's directory, which has no marker.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
  std::wstring withBackslashArgument = folder.File(L"helper.exe") + L" marker \\nowhere\\x";
  EXPECT_EQ(L".", RunAndWaitDirectory(withBackslashArgument));
  EXPECT_EQ(11, RunAndWait(withBackslashArgument, SW_HIDE));
  SetCurrentDirectoryW(previous);
}

TEST(RunAndWaitTest, DirectoryRuleForLinesWithoutAUsableFolder) {
  EXPECT_EQ(L".", RunAndWaitDirectory(L"notepad.exe"));
  EXPECT_EQ(L".", RunAndWaitDirectory(L""));
  EXPECT_EQ(L".", RunAndWaitDirectory(L"C:\\vantrel\\no\\such\\folder\\tool.exe"));
  EXPECT_EQ(L"C:\\", RunAndWaitDirectory(L"C:\\tool.exe"));
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(RunAndWaitTest, KeepsDispatchingThisThreadsMessagesWhileTheChildRuns) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VantrelExecTestWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  int ticks = 0;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ticks));
  SetTimer(window, 1, 100, nullptr);
  EXPECT_EQ(7, RunAndWait(Quoted(HelperPath()) + L" sleep-exit 2000 7", SW_HIDE));
  KillTimer(window, 1);
  DestroyWindow(window);
  EXPECT_GE(ticks, 2) << "timer messages were not dispatched during the wait";
}

TEST(RunAndWaitTest, QuitRequestWhileWaitingEndsTheProgramWithItsCode) {
  // The helper posts a quit request with code 42 and then waits for a child that ends with 5;
  // had the wait gone on, the helper would end with 105.
  EXPECT_EQ(42, RunAndWait(Quoted(HelperPath()) + L" quit-during-wait", SW_HIDE));
}

TEST(ProgramLauncherTest, ShellOpenStartsAProgramAndReportsAMissingFile) {
  auto launcher = CreateProgramLauncher();
  std::uint32_t error = 12345;
  EXPECT_TRUE(launcher->ShellOpen(HelperPath(), L"exit 0", L"", SW_HIDE, error));
  EXPECT_EQ(0u, error);
  EXPECT_FALSE(launcher->ShellOpen(L"C:\\vantrel\\missing\\nothing.exe", L"", L"", SW_HIDE, error));
  EXPECT_NE(0u, error);
  EXPECT_EQ(3, launcher->RunAndWait(L"cmd /c exit 3", SW_HIDE));
}

}  // namespace
}  // namespace vantrel
