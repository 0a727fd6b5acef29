// The notification record as the shell would receive it, and the icon's events.
#include "shell/Busy.h"
#include "shell/TrayIcon.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vantrel;

namespace {

struct Call {
  DWORD message;
  NOTIFYICONDATAW data;
};

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tray.SetNotifyFunction([this](DWORD m, const NOTIFYICONDATAW& d) {
      calls.push_back({m, d});
      return TRUE;
    });
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  TTrayIcon tray;
  std::vector<Call> calls;
};

}  // namespace

TEST_F(TrayIconTest, RecordCarriesWindowFlagsCallbackIconAndTip) {
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  tray.SetIcon(icon);
  tray.SetToolTip(L"Vantrel\r\nDurduruldu");
  EXPECT_TRUE(calls.empty());  // nothing reaches the shell while inactive
  tray.SetActive(true);
  ASSERT_EQ(calls.size(), 1u);
  const NOTIFYICONDATAW& d = calls[0].data;
  EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(d.cbSize, NOTIFYICONDATAW_V2_SIZE);
  EXPECT_EQ(d.hWnd, tray.Handle());
  EXPECT_EQ(d.uID, 0u);
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 1025u);
  EXPECT_NE(d.hIcon, nullptr);
  EXPECT_STREQ(d.szTip, L"Vantrel\r\nDurduruldu");
  EXPECT_EQ(d.dwState, 0u);
  EXPECT_EQ(d.szInfo[0], L'\0');
}

TEST_F(TrayIconTest, TipIsCutTo62CharactersAndUnchangedActiveSendsNothing) {
  tray.SetToolTip(std::wstring(70, L'x'));
  EXPECT_EQ(tray.ToolTip().size(), 62u);
  tray.SetActive(true);
  tray.SetActive(true);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(std::wstring(calls[0].data.szTip), std::wstring(62, L'x'));
  tray.SetToolTip(L"y");
  EXPECT_EQ(calls.back().message, static_cast<DWORD>(NIM_MODIFY));
  tray.SetActive(false);
  EXPECT_EQ(calls.back().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(TrayIconTest, EmptyTipOnAddIsReappliedByThePrivateMessage) {
  tray.SetActive(true);
  tray.SetToolTip(L"");  // unchanged: nothing sent
  calls.clear();
  tray.SetActive(false);
  tray.SetActive(true);
  Pump();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.back().message, static_cast<DWORD>(NIM_MODIFY));
}

// The status refresh sets both every second; only a change may reach the shell.
TEST_F(TrayIconTest, RepeatedIconAndTipSendNothingAndAChangeSendsOneModify) {
  HICON stopped = LoadIconW(nullptr, IDI_APPLICATION);
  HICON running = LoadIconW(nullptr, IDI_WARNING);
  tray.SetIcon(stopped);
  tray.SetToolTip(L"Vantrel\r\nDurduruldu");
  tray.SetActive(true);
  calls.clear();
  for (int refresh = 0; refresh < 3; ++refresh) {
    tray.SetIcon(stopped);
    tray.SetToolTip(L"Vantrel\r\nDurduruldu");
  }
  EXPECT_TRUE(calls.empty());
  tray.SetIcon(running);
  tray.SetToolTip(L"Vantrel\r\nDurduruldu");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_NE(calls[0].data.hIcon, nullptr);
}

TEST_F(TrayIconTest, MouseMessagesRaiseTheEvents) {
  int clicks = 0, doubles = 0, rights = 0;
  tray.OnClick = [&] { ++clicks; };
  tray.OnDblClick = [&] { ++doubles; };
  tray.OnRightClick = [&](int, int) { ++rights; };
  SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_LBUTTONUP);
  SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_LBUTTONDBLCLK);
  SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_RBUTTONUP);  // no popup menu set
  SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_MOUSEMOVE);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(rights, 1);
}

// While a start or stop waits, the menu does not open: its loop would run a second action.
TEST_F(TrayIconTest, TheMenuDoesNotOpenWhileAnActionWaits) {
  int rights = 0;
  tray.OnRightClick = [&](int, int) { ++rights; };
  {
    TBusyScope busy;
    SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_RBUTTONUP);
  }
  EXPECT_EQ(rights, 0);
  SendMessageW(tray.Handle(), WM_TRAYICON_CALLBACK, 0, WM_RBUTTONUP);
  EXPECT_EQ(rights, 1);
}

TEST_F(TrayIconTest, DestroyingAnActiveIconRemovesIt) {
  std::vector<DWORD> messages;
  {
    TTrayIcon other;
    other.SetNotifyFunction([&](DWORD m, const NOTIFYICONDATAW&) {
      messages.push_back(m);
      return TRUE;
    });
    other.SetActive(true);
  }
  EXPECT_EQ(messages, (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
}
