// The main window with all its pages and both dialogs, laid out at the DPI of the screen: every
// control at its design rectangle scaled, the fonts scaled, no caption wider than its control;
// a change of DPI and back leaves the same rectangles. CTest runs this program once more at 120,
// 144 and 192 DPI, each in a Wine prefix of its own (scripts/wine-dpi).
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "aliases/fAlias.h"
#include "shell/Dpi.h"
#include "shell/TextConv.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tools/fTools.h"

using namespace vantrel;
using namespace vantrel::testing_support;

namespace {

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> found;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

RECT InParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::string Describe(HWND window) { return ToUtf8(ClassOf(window) + L" \"" + ui::GetText(window) + L"\""); }

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

bool Near(const RECT& a, const RECT& b) {
  return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 && std::abs(a.right - b.right) <= 1 &&
         std::abs(a.bottom - b.bottom) <= 1;
}

std::map<HWND, RECT> PlacedRects(HWND top) {
  std::map<HWND, RECT> placed;
  ui::Rect design{};
  for (HWND child : Descendants(top))
    if (dpi::DesignRect(child, design)) placed[child] = InParent(child);
  return placed;
}

// Controls that place themselves: a status bar along its parent's bottom, an up-down control
// beside its edit, a page in its tab control, and whatever a list view or a combo box makes inside
// itself.
bool PlacesItself(HWND control) {
  const std::wstring cls = ClassOf(control), parent = ClassOf(GetParent(control));
  // The pages fill the tab control's display area, which the main window works out.
  return cls == STATUSCLASSNAMEW || cls == UPDOWN_CLASSW || cls == L"TTabSheet" || parent == WC_LISTVIEWW ||
         parent == WC_COMBOBOXW;
}

// The design edge at a DPI, worked out here rather than by the helpers under test: rounded to
// the nearest pixel.
int EdgeAt(int designUnits, UINT dpi) { return (designUnits * static_cast<int>(dpi) + 48) / 96; }

void ExpectPlacedAt(HWND top, UINT dpi) {
  int checked = 0;
  for (HWND child : Descendants(top)) {
    if (PlacesItself(child)) continue;
    ui::Rect design{};
    if (!dpi::DesignRect(child, design)) {
      ADD_FAILURE() << Describe(child) << " was not placed from design units";
      continue;
    }
    ++checked;
    const RECT want{EdgeAt(design.x, dpi), EdgeAt(design.y, dpi), EdgeAt(design.x + design.w, dpi),
                    EdgeAt(design.y + design.h, dpi)};
    const RECT got = InParent(child);
    EXPECT_TRUE(Near(want, got)) << Describe(child) << " at " << dpi << " DPI: " << Show(got) << " instead of "
                                 << Show(want);
  }
  EXPECT_GT(checked, 3) << "nothing was placed from design units";
}

void ExpectClientArea(HWND window, int width, int height, UINT dpi) {
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_NEAR(client.right, dpi::Scale(width, dpi), 1);
  EXPECT_NEAR(client.bottom, dpi::Scale(height, dpi), 1);
}

// The width a control needs for its caption in its own font, with what it draws beside the text.
int NeededWidth(HWND control, UINT dpi) {
  const std::wstring text = ui::GetText(control);
  if (text.empty()) return 0;
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, 0, 0};
  const bool isStatic = ClassOf(control) == L"Static";
  DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | (isStatic && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (isStatic) return r.right;
  const LONG type = style & BS_TYPEMASK;
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
    return r.right + dpi::SystemMetric(SM_CXMENUCHECK, dpi) + dpi::Scale(3, dpi);
  return r.right + dpi::Scale(6, dpi);  // a push button's frame and focus rectangle
}

// Labels and buttons whose caption is one line of text: a path panel ends in an ellipsis by
// design, a multi-line button wraps, list and edit contents scroll.
bool CaptionMustFit(HWND control) {
  const std::wstring cls = ClassOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (cls == L"Static") return (style & (SS_PATHELLIPSIS | SS_ICON | SS_BITMAP)) == 0;
  if (cls == L"Button") return (style & BS_MULTILINE) == 0 && (style & BS_TYPEMASK) != BS_GROUPBOX;
  return false;
}

void ExpectCaptionsFit(HWND top, UINT dpi) {
  for (HWND child : Descendants(top)) {
    if (!CaptionMustFit(child)) continue;
    RECT r{};
    GetClientRect(child, &r);
    EXPECT_LE(NeededWidth(child, dpi), r.right) << Describe(child) << " is cut at " << dpi << " DPI";
  }
}

// The rectangle Windows suggests with WM_DPICHANGED: the same place, the size for the new DPI.
void SendDpiChange(HWND window, UINT dpi, int clientWidth, int clientHeight) {
  RECT frame = dpi::Scale({0, 0, clientWidth, clientHeight}, dpi);
  dpi::AdjustWindowRect(frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                        static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi);
  RECT now{};
  GetWindowRect(window, &now);
  RECT suggested{now.left, now.top, now.left + frame.right - frame.left, now.top + frame.bottom - frame.top};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

UINT OtherDpi(UINT dpi) { return dpi == 144 ? 192 : 144; }

class DpiLayout : public MainWindow {
 protected:
  void SetUp() override {
    Create();
    form->CreateAllPages();
    screenDpi = dpi::ForWindow(form->Handle());
    // The runs at a DPI of their own say which: the prefix must really have it.
    wchar_t expected[16] = {};
    if (GetEnvironmentVariableW(L"VANTREL_EXPECTED_DPI", expected, 16)) {
      ASSERT_EQ(screenDpi, static_cast<UINT>(_wtoi(expected)));
    }
  }
  UINT screenDpi = 96;
};

}  // namespace

TEST_F(DpiLayout, TheMainWindowAndItsPagesFollowTheScreensDpi) {
  EXPECT_EQ(form->Dpi(), screenDpi);
  ExpectClientArea(form->Handle(), 420, 213, screenDpi);
  LOGFONTW font{};
  GetObjectW(form->Font(false), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(screenDpi), 72));
  ExpectPlacedAt(form->Handle(), screenDpi);
  ExpectCaptionsFit(form->Handle(), screenDpi);
}

TEST_F(DpiLayout, ADpiChangeAndBackLeavesTheSameRectangles) {
  const std::map<HWND, RECT> before = PlacedRects(form->Handle());
  const UINT other = OtherDpi(screenDpi);
  SendDpiChange(form->Handle(), other, 420, 213);
  EXPECT_EQ(form->Dpi(), other);
  ExpectClientArea(form->Handle(), 420, 213, other);
  ExpectPlacedAt(form->Handle(), other);
  LOGFONTW font{};
  GetObjectW(form->Font(false), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(other), 72));

  SendDpiChange(form->Handle(), screenDpi, 420, 213);
  for (const auto& [control, rect] : PlacedRects(form->Handle()))
    EXPECT_TRUE(Near(rect, before.at(control))) << Describe(control) << " " << Show(rect) << " was " << Show(before.at(control));
  ExpectCaptionsFit(form->Handle(), screenDpi);
}

TEST_F(DpiLayout, BothDialogsFollowTheScreensDpiAndItsChanges) {
  TfrmAlias alias(form->Handle(), dialogs);
  TfrmTools tools(form->Handle(), dialogs);
  for (const auto& [window, width, height] :
       {std::tuple{alias.Handle(), 292, 136}, std::tuple{tools.Handle(), 410, 116}}) {
    ExpectClientArea(window, width, height, screenDpi);
    ExpectPlacedAt(window, screenDpi);
    ExpectCaptionsFit(window, screenDpi);
    const std::map<HWND, RECT> before = PlacedRects(window);
    SendDpiChange(window, OtherDpi(screenDpi), width, height);
    ExpectPlacedAt(window, OtherDpi(screenDpi));
    SendDpiChange(window, screenDpi, width, height);
    for (const auto& [control, rect] : PlacedRects(window))
      EXPECT_TRUE(Near(rect, before.at(control))) << Describe(control) << " " << Show(rect) << " was " << Show(before.at(control));
  }
}

// Monitors Wine cannot show, played by lookups of our own: the second screen is at 144 DPI and
// to the right of the first; the taskbar is on it.
namespace fakescreens {
const HMONITOR kFirst = reinterpret_cast<HMONITOR>(1), kSecond = reinterpret_cast<HMONITOR>(2);
HWND onSecond = nullptr;
HMONITOR MonitorOf(HWND window) { return window == onSecond ? kSecond : kFirst; }
HMONITOR Taskbar() { return kSecond; }
HRESULT WINAPI DpiOf(HMONITOR monitor, int, UINT* x, UINT* y) {
  *x = *y = monitor == kSecond ? 144 : 96;
  return S_OK;
}
bool WorkArea(HMONITOR monitor, RECT& area) {
  area = monitor == kSecond ? RECT{1920, 0, 3840, 1040} : RECT{0, 0, 1920, 1040};
  return true;
}
}  // namespace fakescreens

class FakeScreens : public MainWindow {
 protected:
  void SetUp() override {
    saved_ = dpi::MonitorLookups();
    dpi::TMonitorLookups& lookups = dpi::MonitorLookups();
    lookups.dpiForWindow = nullptr;  // as before Windows 10: the monitor's DPI decides
    lookups.dpiForMonitor = &fakescreens::DpiOf;
    lookups.monitorOf = &fakescreens::MonitorOf;
    lookups.taskbarMonitor = &fakescreens::Taskbar;
    lookups.workArea = &fakescreens::WorkArea;
  }
  void TearDown() override {
    dpi::MonitorLookups() = saved_;
    fakescreens::onSecond = nullptr;
  }
  dpi::TMonitorLookups saved_;
};

TEST_F(FakeScreens, TheMonitorDecidesWithoutGetDpiForWindowTheTaskbarsForTheTrayAndTheOwnersForADialog) {
  Create();
  fakescreens::onSecond = form->Handle();
  EXPECT_EQ(dpi::ForWindow(form->Handle()), 144u);
  EXPECT_EQ(dpi::ForTaskbar(), 144u);
  // The notification area's icons are made at the taskbar's DPI, whatever the window's.
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(form->StateIcon(false), &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  for (HBITMAP b : {info.hbmColor, info.hbmMask})
    if (b) DeleteObject(b);
  EXPECT_EQ(bitmap.bmWidth, dpi::SystemMetric(SM_CXSMICON, 144));

  TfrmAlias alias(form->Handle(), dialogs);
  EXPECT_EQ(alias.Dpi(), 144u);
  RECT frame{};
  GetWindowRect(alias.Handle(), &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, (1920 + 3840) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, 1040 / 2, 1);
}

// A control placed from design units loses its two properties when it is destroyed.
TEST(DesignRect, GoesWithTheControl) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  dpi::Place(control, {4, 8, 20, 10}, 96);
  dpi::Place(control, {5, 8, 20, 10}, 144);  // placed again: still one subclass
  ui::Rect design{};
  ASSERT_TRUE(dpi::DesignRect(control, design));
  EXPECT_EQ(design.x, 5);
  // Seen from inside the control's last message, after which nothing can be asked any more.
  static int left = -1;
  SetWindowSubclass(
      control,
      [](HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) -> LRESULT {
        const LRESULT result = DefSubclassProc(window, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
          left = 0;
          ui::Rect rect{};
          if (dpi::DesignRect(window, rect)) left = 1;
        }
        return result;
      },
      7, 0);
  DestroyWindow(parent);
  EXPECT_EQ(left, 0) << "the design rectangle outlived the control";
}

// Explorer started again: the icon comes back with its image and tooltip; nothing else is sent.
TEST_F(MainWindow, TheTrayIconIsAddedAgainWhenTheShellRestarts) {
  Create();
  std::vector<std::pair<DWORD, NOTIFYICONDATAW>> sent;
  TTrayIcon* icon = form->TrayIcon();
  ASSERT_NE(icon, nullptr);
  icon->SetNotifyFunction([&](DWORD message, const NOTIFYICONDATAW& data) {
    sent.emplace_back(message, data);
    return TRUE;
  });
  icon->SetActive(true);
  icon->SetToolTip(L"Firebird: çalışıyor");
  sent.clear();
  SendMessageW(icon->Handle(), TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(std::wstring(sent[0].second.szTip), L"Firebird: çalışıyor");
  EXPECT_EQ(sent[0].second.hIcon, icon->Icon());

  icon->SetActive(false);
  sent.clear();
  SendMessageW(icon->Handle(), TaskbarCreatedMessage(), 0, 0);
  EXPECT_TRUE(sent.empty()) << "an icon switched off stays away";
}
