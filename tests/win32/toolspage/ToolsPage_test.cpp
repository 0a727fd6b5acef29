// The tools page, the tray menu's tool items and the launcher, on the main window in-process.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/Application.h"
#include "shell/ControlIds.h"
#include "shell/Controls.h"
#include "app/fMain.h"
#include "tests/win32/app/PageControls.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/uConfig.h"
#include "tests/win32/app/Fakes.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/toolspage/ToolDialogDriver.h"

using namespace vantrel;
using namespace tools_testing;

namespace {

const std::wstring kDefaultLine = L"Firebird günlüğü=notepad.exe|$SERVERLOG";

struct RecordingLauncher : fakes::Launcher {
  std::vector<int> shows;
  std::vector<HCURSOR> cursors;  // the application cursor while the shell was asked
  bool ShellOpen(const std::wstring& file, const std::wstring& params, const std::wstring& dir, int show,
                 std::uint32_t& error) override {
    shows.push_back(show);
    cursors.push_back(ApplicationCursor());
    return fakes::Launcher::ShellOpen(file, params, dir, show, error);
  }
};

class ToolsPage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (!created) CreateApplicationWindow(GetModuleHandleW(nullptr));
    created = true;
  }

  void SetUp() override {
    DeleteFileW(Config().FileName().c_str());
    Config().LoadTools();
  }

  void Create() {
    root = testing_support::MakeRoot(true);
    services.setups[L"FirebirdGuardianDefaultInstance"] = {L"Firebird Guardian", true, false, false};
    services.activeDependents[L"FirebirdServerDefaultInstance"] = {};
    services.inactiveDependents[L"FirebirdServerDefaultInstance"] = {};
    form = OpenMainForm(platform);
  }

  void ShowToolsPage() {
    form->SetActivePage(TfrmMain::tabTools);
    form->pagMainChange();
  }

  // Replaces the stored tools by lines and shows them on the page.
  void UseTools(const std::vector<std::wstring>& lines) {
    while (Config().Tools().Count() > 0) Config().Tools().Delete(0);
    for (const auto& line : lines) Config().Tools().Add(line);
    form->ToolsPage().RebuildTrayToolsMenu();
    ShowToolsPage();
  }

  std::vector<std::wstring> ListLines() {
    std::vector<std::wstring> lines;
    const int count = static_cast<int>(SendMessageW(Ctl(*form, idToolList), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[256] = {};
      SendMessageW(Ctl(*form, idToolList), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
    return lines;
  }
  int Selected() { return static_cast<int>(SendMessageW(Ctl(*form, idToolList), LB_GETCURSEL, 0, 0)); }
  void Select(int line) { SendMessageW(Ctl(*form, idToolList), LB_SETCURSEL, line, 0); }

  struct MenuItem {
    UINT id;
    std::wstring caption;  // "-" for a separator
    bool operator==(const MenuItem&) const = default;
  };
  // The tray menu's items after its fixed ones (up to and including the second separator).
  std::vector<MenuItem> TrayItemsAfterFixed() {
    std::vector<MenuItem> items;
    int separators = 0;
    for (int i = 0; i < GetMenuItemCount(form->TrayMenu()); ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      wchar_t text[256] = {};
      info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
      info.dwTypeData = text;
      info.cch = 256;
      GetMenuItemInfoW(form->TrayMenu(), i, TRUE, &info);
      const bool separator = (info.fType & MFT_SEPARATOR) != 0;
      if (separators >= 2) items.push_back({separator ? 0u : info.wID, separator ? L"-" : text});
      if (separator) ++separators;
    }
    return items;
  }
  static MenuItem Exit() { return {idMenuCloseCPA, L"Çı&kış"}; }
  static MenuItem Tool(int position, const std::wstring& title) {
    return {TToolsPage::kFirstTrayToolId + position, title};
  }

  // The "Tools" section as the initialization file holds it, one "key=value" per entry.
  std::vector<std::wstring> StoredToolsSection() {
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetPrivateProfileSectionW(L"Tools", buffer.data(), static_cast<DWORD>(buffer.size()),
                                              Config().FileName().c_str());
    std::vector<std::wstring> entries;
    for (DWORD at = 0; at < n;) {
      std::wstring entry(buffer.data() + at);
      at += static_cast<DWORD>(entry.size()) + 1;
      entries.push_back(entry);
    }
    return entries;
  }
  std::string StoredBytes() {
    std::ifstream in(std::filesystem::path(Config().FileName()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::wstring LogPath() { return root + L"\\firebird.log"; }

  fakes::Services services;
  fakes::Probes probes;
  fakes::Dialogs dialogs;
  RecordingLauncher launcher;
  Platform platform{services, probes, dialogs, launcher};
  std::wstring root;
  std::unique_ptr<TfrmMain> form;
};

}  // namespace

TEST_F(ToolsPage, FreshConfigurationHasTheServerLogToolWhichOpensInNotepad) {
  Create();
  EXPECT_EQ(Config().Tools().Lines(), std::vector<std::wstring>{kDefaultLine});
  EXPECT_EQ(StoredToolsSection(), (std::vector<std::wstring>{L"Count=1", L"Item0=" + kDefaultLine}));
  // The file keeps the line in the ANSI code page, not in UTF-16 or UTF-8.
  EXPECT_NE(StoredBytes().find("[Tools]\r\nCount=1\r\nItem0=" + ToAnsi(kDefaultLine) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(TrayItemsAfterFixed(), (std::vector<MenuItem>{Tool(0, L"Firebird günlüğü"), {0, L"-"}, Exit()}));

  ShowToolsPage();
  EXPECT_EQ(ListLines(), std::vector<std::wstring>{L"Firebird günlüğü"});
  EXPECT_EQ(Selected(), 0);
  form->ToolsPage().acLaunchToolsExecute();
  ASSERT_EQ(launcher.opened, std::vector<std::wstring>{L"notepad.exe " + LogPath() + L" @"});
  EXPECT_EQ(launcher.shows, std::vector<int>{SW_SHOWNORMAL});
  EXPECT_EQ(launcher.cursors, std::vector<HCURSOR>{LoadCursorW(nullptr, IDC_WAIT)});
  EXPECT_EQ(ApplicationCursor(), nullptr);
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ToolsPage, DefaultToolIsAddedOnlyWhenNoEntryHasItsTitle) {
  Create();
  form->ToolsPage().AddDefaultTool();
  EXPECT_EQ(Config().Tools().Count(), 1u);
  UseTools({L"FIREBIRD GÜNLÜĞÜ=wordpad.exe"});
  form->ToolsPage().AddDefaultTool();
  EXPECT_EQ(Config().Tools().Lines(), std::vector<std::wstring>{L"FIREBIRD GÜNLÜĞÜ=wordpad.exe"});
  UseTools({});  // deleted: the next start brings it back, at the end
  form->ToolsPage().AddDefaultTool();
  EXPECT_EQ(Config().Tools().Lines(), std::vector<std::wstring>{kDefaultLine});
}

TEST_F(ToolsPage, AddEditAndDeletePersistAndFollowInListAndTrayMenu) {
  Create();
  ShowToolsPage();
  ASSERT_TRUE(DriveToolDialog([&] { form->ToolsPage().acAddToolsExecute(); },
                              [&](HWND d) {
                                EXPECT_EQ(ItemText(d, TfrmTools::idTitleEdit), L"");
                                Type(d, TfrmTools::idTitleEdit, L"  Isql ");
                                Type(d, TfrmTools::idProgramEdit, L" isql.exe ");
                                Press(d, IDOK);
                              }));
  EXPECT_EQ(StoredToolsSection(),
            (std::vector<std::wstring>{L"Count=2", L"Item0=" + kDefaultLine, L"Item1=Isql=isql.exe"}));
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"Firebird günlüğü", L"Isql"}));
  EXPECT_EQ(TrayItemsAfterFixed(),
            (std::vector<MenuItem>{Tool(0, L"Firebird günlüğü"), Tool(1, L"Isql"), {0, L"-"}, Exit()}));

  // Parameters added through edit bring the bar; the dialog opened with the stored values.
  Select(1);
  ASSERT_TRUE(DriveToolDialog([&] { form->ToolsPage().acEditToolsExecute(); },
                              [&](HWND d) {
                                EXPECT_EQ(ItemText(d, TfrmTools::idTitleEdit), L"Isql");
                                EXPECT_EQ(ItemText(d, TfrmTools::idProgramEdit), L"isql.exe");
                                EXPECT_EQ(ItemText(d, TfrmTools::idParamsEdit), L"");
                                Type(d, TfrmTools::idParamsEdit, L"-z ");
                                Press(d, IDOK);
                              }));
  EXPECT_EQ(StoredToolsSection(),
            (std::vector<std::wstring>{L"Count=2", L"Item0=" + kDefaultLine, L"Item1=Isql=isql.exe|-z"}));
  EXPECT_EQ(Selected(), 1);

  // A cancelled edit stores nothing.
  ASSERT_TRUE(DriveToolDialog([&] { form->ToolsPage().acEditToolsExecute(); },
                              [&](HWND d) {
                                EXPECT_EQ(ItemText(d, TfrmTools::idParamsEdit), L"-z");
                                Type(d, TfrmTools::idProgramEdit, L"other.exe");
                                Press(d, IDCANCEL);
                              }));
  EXPECT_EQ(Config().Tools()[1], L"Isql=isql.exe|-z");

  // Delete asks with the line's title; No keeps, Yes removes exactly that entry.
  dialogs.answers = {AnswerNo, AnswerYes};
  form->ToolsPage().acDeleteToolsExecute();
  EXPECT_EQ(dialogs.questions, std::vector<std::wstring>{L"Bu aracı silmek istediğinizden emin misiniz: Isql ?"});
  EXPECT_EQ(Config().Tools().Count(), 2u);
  form->ToolsPage().acDeleteToolsExecute();
  EXPECT_EQ(StoredToolsSection(), (std::vector<std::wstring>{L"Count=1", L"Item0=" + kDefaultLine}));
  EXPECT_EQ(ListLines(), std::vector<std::wstring>{L"Firebird günlüğü"});
  EXPECT_EQ(Selected(), LB_ERR);  // line 1 is gone
  EXPECT_EQ(TrayItemsAfterFixed(), (std::vector<MenuItem>{Tool(0, L"Firebird günlüğü"), {0, L"-"}, Exit()}));

  // The last tool gone: only "Count" 0 is stored and the tray menu loses its separator.
  Select(0);
  dialogs.answers.clear();
  dialogs.answer = AnswerYes;
  form->ToolsPage().acDeleteToolsExecute();
  EXPECT_EQ(StoredToolsSection(), std::vector<std::wstring>{L"Count=0"});
  EXPECT_TRUE(ListLines().empty());
  EXPECT_EQ(TrayItemsAfterFixed(), std::vector<MenuItem>{Exit()});
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ToolsPage, CancelledAddStoresNothingAndDeleteKeepsTheSelectionPosition) {
  Create();
  UseTools({L"A=a.exe", L"B=b.exe", L"C=c.exe"});
  ASSERT_TRUE(DriveToolDialog([&] { form->ToolsPage().acAddToolsExecute(); },
                              [&](HWND d) {
                                Type(d, TfrmTools::idTitleEdit, L"D");
                                Type(d, TfrmTools::idProgramEdit, L"d.exe");
                                Press(d, IDCANCEL);
                              }));
  EXPECT_EQ(Config().Tools().Count(), 3u);
  Select(1);
  form->ToolsPage().acDeleteToolsExecute();
  EXPECT_EQ(Config().Tools().Lines(), (std::vector<std::wstring>{L"A=a.exe", L"C=c.exe"}));
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(SendMessageW(Ctl(*form, idToolList), LB_GETITEMDATA, 1, 0), 1);
}

TEST_F(ToolsPage, RepeatedTitleIsListedTwiceAndBothLaunchAndEditTheFirst) {
  Create();
  UseTools({L"Other=x.exe", L"Tool=first.exe|-a", L"TOOL=second.exe|-b"});
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"Other", L"Tool", L"TOOL"}));
  EXPECT_EQ(TrayItemsAfterFixed(),
            (std::vector<MenuItem>{Tool(0, L"Other"), Tool(1, L"Tool"), Tool(2, L"TOOL"), {0, L"-"}, Exit()}));
  Select(2);
  form->ToolsPage().acLaunchToolsExecute();
  form->ToolsPage().TrayToolClick(TToolsPage::kFirstTrayToolId + 1);
  form->ToolsPage().TrayToolClick(TToolsPage::kFirstTrayToolId + 2);
  EXPECT_EQ(launcher.opened, std::vector<std::wstring>(3, L"first.exe -a @"));

  ASSERT_TRUE(DriveToolDialog([&] { form->ToolsPage().acEditToolsExecute(); },
                              [&](HWND d) {
                                // The line's own title with the first entry's values.
                                EXPECT_EQ(ItemText(d, TfrmTools::idTitleEdit), L"TOOL");
                                EXPECT_EQ(ItemText(d, TfrmTools::idProgramEdit), L"first.exe");
                                EXPECT_EQ(ItemText(d, TfrmTools::idParamsEdit), L"-a");
                                EXPECT_FALSE(IsWindowVisible(Item(d, TfrmTools::idDuplicate)));
                                // A title an earlier entry has: the warning shows, OK still works.
                                Type(d, TfrmTools::idTitleEdit, L"Tool");
                                EXPECT_TRUE(IsWindowVisible(Item(d, TfrmTools::idDuplicate)));
                                Press(d, IDOK);
                              }));
  EXPECT_EQ(Config().Tools().Lines(),
            (std::vector<std::wstring>{L"Other=x.exe", L"Tool=first.exe|-a", L"Tool=first.exe|-a"}));
}

TEST_F(ToolsPage, TrayItemWithAnAmpersandLaunchesNothing) {
  Create();
  UseTools({L"R&D=rd.exe", L"Calc=calc.exe"});
  EXPECT_EQ(TrayItemsAfterFixed()[0], Tool(0, L"R&D"));
  form->ToolsPage().TrayToolClick(TToolsPage::kFirstTrayToolId);
  EXPECT_TRUE(launcher.opened.empty());
  form->ToolsPage().TrayToolClick(TToolsPage::kFirstTrayToolId + 5);  // no such item
  EXPECT_TRUE(launcher.opened.empty());
  form->ToolsPage().TrayToolClick(TToolsPage::kFirstTrayToolId + 1);
  EXPECT_EQ(launcher.opened, std::vector<std::wstring>{L"calc.exe  @"});
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ToolsPage, PlaceholderIsTheWholeParameterTextInAnyCase) {
  Create();
  UseTools({L"Lower=notepad.exe| $serverlog ", L"Mixed=notepad.exe|$SERVERLOG -x"});
  form->ToolsPage().LaunchTool(0);
  form->ToolsPage().LaunchTool(1);
  EXPECT_EQ(launcher.opened, (std::vector<std::wstring>{L"notepad.exe " + LogPath() + L" @",
                                                        L"notepad.exe $SERVERLOG -x @"}));
  // A root with a blank reaches the program as one argument.
  launcher.opened.clear();
  form->SetInstallation(DescribeInstallation(L"C:\\Program Files\\Firebird\\", ServerLayout::BinFolder, skFirebird,
                                             [](const std::wstring&) { return false; }));
  form->ToolsPage().LaunchTool(0);
  EXPECT_EQ(launcher.opened,
            std::vector<std::wstring>{L"notepad.exe \"C:\\Program Files\\Firebird\\firebird.log\" @"});
}

TEST_F(ToolsPage, FailedLaunchShowsTheSystemTextAndRestoresTheCursor) {
  Create();
  ShowToolsPage();
  launcher.failWith = ERROR_FILE_NOT_FOUND;
  form->ToolsPage().acLaunchToolsExecute();
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(dialogs.errors[0].empty());
  EXPECT_EQ(ApplicationCursor(), nullptr);
  EXPECT_EQ(Config().Tools().Lines(), std::vector<std::wstring>{kDefaultLine});
}

TEST_F(ToolsPage, MouseDownSelectsTheLineUnderThePointerOrNoneBelowTheLast) {
  Create();
  UseTools({L"A=a.exe", L"B=b.exe"});
  RECT second;
  SendMessageW(Ctl(*form, idToolList), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  const int x = (second.left + second.right) / 2;
  form->ToolsPage().lbxToolsMouseDown(x, (second.top + second.bottom) / 2);
  EXPECT_EQ(Selected(), 1);
  form->ToolsPage().lbxToolsMouseDown(x, second.bottom + 5);
  EXPECT_EQ(Selected(), LB_ERR);

  // Real clicks on the list: a plain click below the last line selects nothing either, and a
  // double click there launches nothing.
  const LPARAM onFirst = MAKELPARAM(x, second.top - 3);
  const LPARAM below = MAKELPARAM(x, second.bottom + 5);
  SendMessageW(Ctl(*form, idToolList), WM_LBUTTONDOWN, MK_LBUTTON, onFirst);
  SendMessageW(Ctl(*form, idToolList), WM_LBUTTONUP, 0, onFirst);
  EXPECT_EQ(Selected(), 0);
  SendMessageW(Ctl(*form, idToolList), WM_LBUTTONDOWN, MK_LBUTTON, below);
  SendMessageW(Ctl(*form, idToolList), WM_LBUTTONUP, 0, below);
  EXPECT_EQ(Selected(), LB_ERR);
  // The launch action is enabled from the last idle moment, when a line was selected.
  auto clickThenDoubleClick = [&](LPARAM at) {
    SendMessageW(Ctl(*form, idToolList), WM_LBUTTONDOWN, MK_LBUTTON, onFirst);
    SendMessageW(Ctl(*form, idToolList), WM_LBUTTONUP, 0, onFirst);
    form->ActionListUpdate();
    ASSERT_TRUE(form->ToolsPage().acLaunchTools.enabled);
    SendMessageW(Ctl(*form, idToolList), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(Ctl(*form, idToolList), WM_LBUTTONUP, 0, at);
  };
  clickThenDoubleClick(below);
  EXPECT_TRUE(launcher.opened.empty());
  clickThenDoubleClick(onFirst);
  EXPECT_EQ(launcher.opened, std::vector<std::wstring>{L"a.exe  @"});

  // A menu opened from the keyboard reports a point outside the list: the selection stays.
  form->ToolsPage().lbxToolsMouseDown(-5, -5);
  EXPECT_EQ(Selected(), 0);
}

// The menu key and Shift+F10 bring no point (-1): the menu opens below the selected tool, or at
// the list's corner, never at the screen's corner.
TEST_F(ToolsPage, KeyboardContextMenuOpensAtTheSelectedToolOrTheListCorner) {
  Create();
  UseTools({L"One=a.exe|", L"Two=b.exe|", L"Three=c.exe|"});
  POINT corner{0, 0};
  ClientToScreen(Ctl(*form, idToolList), &corner);
  Select(-1);
  POINT pt = form->ToolsPage().ContextMenuPoint(-1);
  EXPECT_EQ(pt.x, corner.x);
  EXPECT_EQ(pt.y, corner.y);

  Select(2);
  RECT item{};
  SendMessageW(Ctl(*form, idToolList), LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
  pt = form->ToolsPage().ContextMenuPoint(-1);
  EXPECT_EQ(pt.x, corner.x + item.left);
  EXPECT_EQ(pt.y, corner.y + item.bottom);
  EXPECT_GT(item.bottom, 0);

  pt = form->ToolsPage().ContextMenuPoint(MAKELPARAM(300, 200));
  EXPECT_EQ(pt.x, 300);
  EXPECT_EQ(pt.y, 200);
}

namespace {

// A host of the page's own: the page needs nothing of the main window.
struct LoneHost : IPageHost {
  explicit LoneHost(Platform& platform) : platform(platform) {
    window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 420, 213, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  }
  ~LoneHost() override { DestroyWindow(window); }
  Platform& Sys() override { return platform; }
  HWND Window() const override { return window; }
  HFONT Font(bool) const override { return nullptr; }
  const TInstallation& Installation() const override { return installation; }
  void AnyChangeToSettings() override { ++changes; }
  bool ChangesPending() const override { return changes > 0; }
  void ApplySettings(bool) override {}
  void RefreshCurrentPage() override {}
  void Quit() override {}
  void RestartElevated() override {}

  Platform& platform;
  HWND window = nullptr;
  TInstallation installation;
  int changes = 0;
};

}  // namespace

TEST_F(ToolsPage, ThePageWorksOnAHostOfItsOwn) {
  while (Config().Tools().Count() > 0) Config().Tools().Delete(0);
  Config().Tools().Add(L"One=a.exe|-x");
  Config().Tools().Add(L"Two=b.exe|$SERVERLOG");
  LoneHost host(platform);
  host.installation.serverLog = L"C:\\Program Files\\Firebird\\firebird.log";
  TToolsPage page(host);
  page.Create(host.Window(), RECT{0, 0, 406, 146});
  page.SetCurrent(true);
  page.Activated();  // lists the tools and selects the first
  HWND list = page.Control(idToolList);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  page.UpdateActions(page.Current());
  EXPECT_TRUE(page.acLaunchTools.enabled);

  page.acLaunchToolsExecute();
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  page.acLaunchToolsExecute();
  EXPECT_EQ(launcher.opened, (std::vector<std::wstring>{L"a.exe -x @",
                                                        L"b.exe \"C:\\Program Files\\Firebird\\firebird.log\" @"}));
  page.acDeleteToolsExecute();
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(Config().Tools().Count(), 1u);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
}
