// Traces to the debug viewer: the record a viewer receives, and when the viewer is started.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/Application.h"
#include "shell/DbugIntf.h"
#include "shell/Registry.h"
#include "shell/TextConv.h"
#include "tests/win32/shellsvc/TestSupport.h"

namespace vantrel {
namespace {

struct Received {
  WPARAM sender = 0;
  ULONG_PTR data = 1;
  DWORD size = 0;
  std::string bytes;
  int count = 0;
};

Received received;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    received.sender = wParam;
    received.data = record->dwData;
    received.size = record->cbData;
    received.bytes.assign(static_cast<const char*>(record->lpData), record->cbData);
    ++received.count;
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A viewer window in this process, as a viewer started by hand would be.
class ViewerWindow {
 public:
  ViewerWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ViewerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TfmDebug";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"TfmDebug", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    received = Received{};
  }
  ~ViewerWindow() { DestroyWindow(window_); }
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

 private:
  HWND window_;
};

// The registry value that names the viewer, set for one test and removed afterwards.
class ViewerPathSetting {
 public:
  explicit ViewerPathSetting(const std::wstring* path) {
    RegKey key = RegKey::Create(HKEY_CURRENT_USER, L"Software\\GExperts\\Debug");
    if (path)
      key.WriteString(L"FilePath", *path);
    else
      key.DeleteValue(L"FilePath");
  }
  ~ViewerPathSetting() { RegKey::Create(HKEY_CURRENT_USER, L"Software\\GExperts\\Debug").DeleteValue(L"FilePath"); }
  ViewerPathSetting(const ViewerPathSetting&) = delete;
  ViewerPathSetting& operator=(const ViewerPathSetting&) = delete;
};

TEST(DebugTraceTest, ViewerReceivesCommandKindTextAndTerminators) {
  ViewerWindow viewer;
  std::wstring text = L"Sunucu durdu: Çalışma";
  DebugTrace(text);
  ASSERT_EQ(1, received.count);
  std::string ansi = ToAnsi(text);
  EXPECT_EQ(reinterpret_cast<WPARAM>(ApplicationHandle()), received.sender);
  EXPECT_EQ(0u, received.data);
  ASSERT_EQ(ansi.size() + 4, received.size);
  EXPECT_EQ(1, received.bytes[0]);
  EXPECT_EQ(3, received.bytes[1]);
  EXPECT_EQ(ansi, received.bytes.substr(2, ansi.size()));
  EXPECT_EQ(std::string(2, '\0'), received.bytes.substr(2 + ansi.size()));
}

TEST(DebugTraceTest, LoneSeparatorCharacterIsSentAsTheSeparatorCommand) {
  ViewerWindow viewer;
  DebugTrace(L"\x03");
  ASSERT_EQ(1, received.count);
  EXPECT_EQ(std::string("\x03\x03\x03\0\0", 5), received.bytes);
  DebugTrace(L"\x03\x03");
  EXPECT_EQ(1, received.bytes[0]) << "only the single character is the separator";
}

TEST(DebugViewerStartTest, WithoutAViewerOneFailedStartStopsFurtherAttempts) {
  ASSERT_EQ(nullptr, FindWindowW(L"TfmDebug", nullptr));
  ASSERT_FALSE(test::PathExists(test::BinDir() + L"\\GDebug.exe"));
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\GExperts\\Debug");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\GExperts");
  detail::ResetDebugViewerStarts();

  DebugTrace(L"first");
  EXPECT_EQ(1, detail::DebugViewerStartAttempts());
  EXPECT_TRUE(RegKey::Open(HKEY_CURRENT_USER, L"Software\\GExperts", KEY_READ))
      << "the viewer's key is created when missing";
  DebugTrace(L"second");
  DebugTrace(L"third");
  EXPECT_EQ(1, detail::DebugViewerStartAttempts());

  // A viewer started by hand afterwards is still found and used.
  ViewerWindow byHand;
  DebugTrace(L"fourth");
  EXPECT_EQ(1, received.count);
  EXPECT_EQ(1, detail::DebugViewerStartAttempts());
}

TEST(DebugViewerStartTest, ConfiguredPathThatDoesNotExistCountsAsAFailedStart) {
  std::wstring missing = L"C:\\vantrel\\nowhere\\GDebug.exe";
  ViewerPathSetting setting(&missing);
  detail::ResetDebugViewerStarts();
  DebugTrace(L"one");
  DebugTrace(L"two");
  EXPECT_EQ(1, detail::DebugViewerStartAttempts());
}

TEST(DebugViewerStartTest, ConfiguredViewerIsStartedAndReceivesTheTrace) {
  ASSERT_EQ(nullptr, FindWindowW(L"TfmDebug", nullptr));
  test::ScratchFolder folder(L"vantrel-viewer-");
  std::wstring log = folder.File(L"viewer.log");
  SetEnvironmentVariableW(L"VANTREL_VIEWER_LOG", log.c_str());
  std::wstring padded = L"  " + test::HelperPath() + L"  ";  // blanks around the path are dropped
  ViewerPathSetting setting(&padded);
  detail::ResetDebugViewerStarts();

  DebugTrace(L"hello viewer");
  EXPECT_EQ(1, detail::DebugViewerStartAttempts());
  HWND viewer = FindWindowW(L"TfmDebug", nullptr);
  ASSERT_NE(nullptr, viewer) << "the viewer did not come up";
  DebugTrace(L"again");
  EXPECT_EQ(1, detail::DebugViewerStartAttempts()) << "a running viewer is not started twice";

  DWORD processId = 0;
  GetWindowThreadProcessId(viewer, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  if (process) {
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }

  std::ifstream in(std::filesystem::path(log), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::string first = DebugPayload("hello viewer", 2) + '\0';
  std::string second = DebugPayload("again", 2) + '\0';
  ASSERT_EQ(2 * 20 + first.size() + second.size(), bytes.size());
  std::uint64_t sender = 0;
  std::uint32_t size = 0;
  std::memcpy(&sender, bytes.data(), 8);
  std::memcpy(&size, bytes.data() + 16, 4);
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(ApplicationHandle()), sender);
  EXPECT_EQ(first.size(), size);
  EXPECT_EQ(first, bytes.substr(20, first.size()));
  EXPECT_EQ(second, bytes.substr(40 + first.size()));
}

}  // namespace
}  // namespace vantrel
