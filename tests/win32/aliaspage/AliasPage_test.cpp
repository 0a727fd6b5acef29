// The alias page of the main window in-process: the list it shows, and adding, changing and
// deleting aliases through the real editor dialog, driven from inside its modal loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <tuple>

#include "aliases/AliasTexts.h"
#include "shell/ControlIds.h"
#include "shell/TextConv.h"
#include "tests/win32/aliaspage/DialogDriver.h"
#include "tests/win32/app/MainWindowFixture.h"
#include "tests/win32/app/PageControls.h"

using namespace vantrel;
using namespace vantrel::testing_support;
using namespace aliastest;

namespace {

// Complete and valid settings lines: loading them writes nothing back.
const std::string kSettings =
    "# DEFAULT_PATH=C:\\\r\n# ZeeBeeDee=True\r\n# ZeeBeeDee_Port=3051\r\n# Socket_Port=3049\r\n";
constexpr int kFirstAliasLine = 4;

struct Item {
  std::wstring name, path;
  int line;
  bool operator==(const Item&) const = default;
};

void PrintTo(const Item& item, std::ostream* os) {
  *os << "{" << ToUtf8(item.name) << ", " << ToUtf8(item.path) << ", " << item.line << "}";
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

MSG KeyDown(HWND target, WPARAM key) {
  MSG msg{};
  msg.hwnd = target;
  msg.message = WM_KEYDOWN;
  msg.wParam = key;
  return msg;
}

class AliasPage : public MainWindow {
 protected:
  // beforeCreate runs once the file is written, before the window reads it.
  void CreateWith(const std::string& aliasLines, bool readOnly = false, const std::function<void()>& beforeCreate = {}) {
    root = MakeRoot(true);
    aliasFile = root + L"\\aliases.conf";
    SetFileAttributesW(aliasFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(std::filesystem::path(aliasFile), std::ios::binary) << kSettings << aliasLines;
    if (readOnly) SetFileAttributesW(aliasFile.c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryW((root + L"\\data").c_str(), nullptr);
    for (const wchar_t* name : {L"a.fdb", L"b.fdb"}) {
      std::ofstream(std::filesystem::path(root + L"\\data\\" + name)) << "db";
    }
    if (beforeCreate) beforeCreate();
    Create();
    form->SetActivePage(TfrmMain::tabAlias);
    form->pagMainChange();
    form->FormShow();  // settings clean: only the page's own changes count below
    form->ActionListUpdate();
  }

  void TearDown() override {
    form.reset();
    SetFileAttributesW(aliasFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(aliasFile.c_str());
    for (const wchar_t* name : {L"a.fdb", L"b.fdb"}) DeleteFileW(Data(name).c_str());
    RemoveDirectoryW((root + L"\\data").c_str());
  }

  std::wstring Data(const wchar_t* name) { return root + L"\\data\\" + name; }
  std::string AnsiData(const wchar_t* name) { return ToAnsi(Data(name)); }

  std::vector<Item> Items() {
    std::vector<Item> items;
    HWND list = Ctl(*form, idAliasList);
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
      wchar_t name[512] = {}, path[512] = {};
      ListView_GetItemText(list, i, 0, name, 512);
      ListView_GetItemText(list, i, 1, path, 512);
      LVITEMW data{};
      data.mask = LVIF_PARAM;
      data.iItem = i;
      ListView_GetItem(list, &data);
      items.push_back({name, path, static_cast<int>(data.lParam)});
    }
    return items;
  }

  void SelectLine(int line) {
    const auto items = Items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      if (items[static_cast<std::size_t>(i)].line == line)
        ListView_SetItemState(Ctl(*form, idAliasList), i, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
    form->ActionListUpdate();
  }

  std::vector<std::string> AliasLines() {
    auto lines = form->AliasFile().List().Lines();
    lines.erase(lines.begin(), lines.begin() + kFirstAliasLine);
    return lines;
  }

  bool SettingsChanged() { return ui::IsEnabled(Ctl(*form, idApply)); }

  std::wstring aliasFile;
};

// Fills the dialog and presses OK; records what the dialog showed when it opened.
struct EditorAnswer {
  EditorAnswer(std::wstring typedName, std::wstring typedPath)
      : name(std::move(typedName)), path(std::move(typedPath)) {}
  std::wstring name, path;
  std::wstring openedName, openedPath;
  bool okEnabledAtOpen = true;

  std::vector<DialogDriver::Step> Steps() {
    return {[this](HWND d) {
              openedName = TextOf(Field(d, TfrmAlias::idAliasName));
              openedPath = TextOf(Field(d, TfrmAlias::idDatabase));
              okEnabledAtOpen = IsWindowEnabled(Field(d, IDOK)) != FALSE;
              Type(d, TfrmAlias::idAliasName, name);
              Type(d, TfrmAlias::idDatabase, path);
            },
            [](HWND d) { ClickOk(d); }};
  }
};

TEST_F(AliasPage, ListsOnlyAliasEntriesTrimmedWithTheirLineIndexes) {
  CreateWith("# a comment=with equals\r\n"
             "\r\n"
             "no equals sign\r\n"
             " =C:\\nameless.fdb\r\n"
             "pathless=  \r\n"
             "  main = C:\\db\\main.fdb  # the main one\r\n"
             "=\r\n" +
             ToAnsi(L"müşteri=C:\\veri\\müşteri.fdb\r\n") +
             "#hidden=C:\\db\\hidden.fdb\r\n"
             "tab\t=\tC:\\db\\tab.fdb\r\n");
  const std::vector<Item> expected = {
      {L"main", L"C:\\db\\main.fdb", kFirstAliasLine + 5},
      {L"müşteri", L"C:\\veri\\müşteri.fdb", kFirstAliasLine + 7},
      {L"tab", L"C:\\db\\tab.fdb", kFirstAliasLine + 9},
  };
  EXPECT_EQ(Items(), expected);
  // Coming to the front selects the top item.
  EXPECT_EQ(ListView_GetNextItem(Ctl(*form, idAliasList), -1, LVNI_SELECTED), 0);
}

TEST_F(AliasPage, AddAppendsTheLineWithoutBlanksAndMarksTheSettingsChanged) {
  CreateWith("main=C:\\db\\main.fdb\r\n# tail comment\r\n");
  EditorAnswer answer{L"  yeni  ", L" " + Data(L"a.fdb") + L" "};
  {
    DialogDriver driver(answer.Steps());
    form->AliasPage().acAddAliasExecute();
    EXPECT_TRUE(driver.AllStepsRan());
    EXPECT_FALSE(driver.HadToClose());
  }
  EXPECT_EQ(answer.openedName, L"noname");
  EXPECT_EQ(answer.openedPath, L"");
  EXPECT_FALSE(answer.okEnabledAtOpen);
  EXPECT_EQ(AliasLines(), (std::vector<std::string>{"main=C:\\db\\main.fdb", "# tail comment",
                                                    "yeni=" + AnsiData(L"a.fdb")}));
  EXPECT_EQ(Items().back(), (Item{L"yeni", Data(L"a.fdb"), kFirstAliasLine + 2}));
  EXPECT_TRUE(SettingsChanged());

  // A second alias of an existing name only warns; both are kept and listed.
  EditorAnswer again{L"MAIN", Data(L"b.fdb")};
  DialogDriver driver(again.Steps());
  form->AliasPage().acAddAliasExecute();
  EXPECT_EQ(form->AliasFile().List().LineAt(form->AliasFile().List().LineCount() - 1), "MAIN=" + AnsiData(L"b.fdb"));
  EXPECT_EQ(Items().size(), 3u);
}

TEST_F(AliasPage, CancelledAddOrEditChangesNothing) {
  CreateWith("main=C:\\db\\main.fdb\r\n");
  const auto before = form->AliasFile().List().Lines();
  auto cancel = [](HWND d) {
    Type(d, TfrmAlias::idAliasName, L"other");
    PostMessageW(d, WM_CLOSE, 0, 0);
  };
  {
    DialogDriver driver({cancel});
    form->AliasPage().acAddAliasExecute();
    EXPECT_TRUE(driver.AllStepsRan());
  }
  SelectLine(kFirstAliasLine);
  {
    DialogDriver driver({cancel});
    form->AliasPage().acEditAliasExecute();
    EXPECT_TRUE(driver.AllStepsRan());
  }
  EXPECT_EQ(form->AliasFile().List().Lines(), before);
  EXPECT_FALSE(SettingsChanged());
}

TEST_F(AliasPage, EditRewritesInPlaceUnlessTheNameChangesInAnyCharacter) {
  CreateWith("main=C:\\db\\main.fdb\r\n"
             "spaced = C:\\db\\spaced.fdb # note\r\n"
             "last=C:\\db\\last.fdb\r\n");
  // Only the path: the line stays where it is.
  SelectLine(kFirstAliasLine);
  EditorAnswer path{L"main", Data(L"a.fdb")};
  {
    DialogDriver driver(path.Steps());
    form->AliasPage().acEditAliasExecute();
  }
  EXPECT_EQ(path.openedName, L"main");
  EXPECT_EQ(path.openedPath, L"C:\\db\\main.fdb");
  EXPECT_FALSE(path.okEnabledAtOpen);
  EXPECT_EQ(AliasLines()[0], "main=" + AnsiData(L"a.fdb"));
  EXPECT_TRUE(SettingsChanged());

  // The raw name has a blank before "=": the dialog gets name and value as they stand (comment
  // included), and the rewritten line goes to the end without blanks.
  SelectLine(kFirstAliasLine + 1);
  EditorAnswer spaced{L"spaced", Data(L"b.fdb")};
  {
    DialogDriver driver(spaced.Steps());
    form->AliasPage().acEditAliasExecute();
  }
  EXPECT_EQ(spaced.openedName, L"spaced ");
  EXPECT_EQ(spaced.openedPath, L" C:\\db\\spaced.fdb # note");
  EXPECT_EQ(AliasLines(), (std::vector<std::string>{"main=" + AnsiData(L"a.fdb"),
                                                    "last=C:\\db\\last.fdb",
                                                    "spaced=" + AnsiData(L"b.fdb")}));

  // A change of letter case alone is a new name: it moves too.
  SelectLine(kFirstAliasLine);
  EditorAnswer upper{L"Main", Data(L"a.fdb")};
  {
    DialogDriver driver(upper.Steps());
    form->AliasPage().acEditAliasExecute();
  }
  EXPECT_EQ(AliasLines(), (std::vector<std::string>{"last=C:\\db\\last.fdb",
                                                    "spaced=" + AnsiData(L"b.fdb"),
                                                    "Main=" + AnsiData(L"a.fdb")}));
  EXPECT_EQ(Items().size(), 3u);
}

TEST_F(AliasPage, EditingTheSecondOfTwoSameNamedAliasesLeavesTheFirstAlone) {
  CreateWith("db=C:\\db\\first.fdb\r\nmiddle=C:\\db\\middle.fdb\r\nDB=C:\\db\\second.fdb\r\n");
  SelectLine(kFirstAliasLine + 2);
  EditorAnswer answer{L"DB", Data(L"b.fdb")};
  {
    DialogDriver driver(answer.Steps());
    form->AliasPage().acEditAliasExecute();
  }
  EXPECT_EQ(answer.openedPath, L"C:\\db\\second.fdb");  // its own path, not the first's
  const auto lines = AliasLines();
  EXPECT_EQ(lines.front(), "db=C:\\db\\first.fdb");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "DB=" + AnsiData(L"b.fdb")), 1);
  EXPECT_EQ(lines.size(), 3u);
}

TEST_F(AliasPage, DeleteAsksWithTheAliasNameAndRemovesExactlyItsLine) {
  CreateWith("# keep me\r\n one = C:\\db\\one.fdb\r\n\r\ntwo=C:\\db\\two.fdb\r\n");
  SelectLine(kFirstAliasLine + 1);
  dialogs.answers = {AnswerNo, AnswerYes};
  form->AliasPage().acDeleteAliasExecute();
  EXPECT_EQ(AliasLines().size(), 4u);
  EXPECT_FALSE(SettingsChanged());

  form->AliasPage().acDeleteAliasExecute();
  ASSERT_EQ(dialogs.questions.size(), 2u);
  EXPECT_EQ(dialogs.questions[1], L"Bu takma adı silmek istediğinizden emin misiniz: one ?");
  EXPECT_EQ(AliasLines(), (std::vector<std::string>{"# keep me", "", "two=C:\\db\\two.fdb"}));
  EXPECT_EQ(Items(), (std::vector<Item>{{L"two", L"C:\\db\\two.fdb", kFirstAliasLine + 2}}));
  EXPECT_TRUE(SettingsChanged());

  // Nothing selected after the refresh: nothing to delete.
  form->AliasPage().acDeleteAliasExecute();
  EXPECT_EQ(dialogs.questions.size(), 2u);
}

// The file changes on disk while the page holds an unapplied edit of the same alias: the page
// shows the other outside edits at once, and Apply asks which version of that alias to keep.
TEST_F(AliasPage, AnAliasChangedOnDiskAndOnThePageIsTheUsersChoiceAtApply) {
  CreateWith("main=C:\\db\\main.fdb\r\n");
  auto rewriteOnDisk = [&](const std::string& lines) {
    const std::filesystem::path other = std::filesystem::path(aliasFile + L".new");
    std::ofstream(other, std::ios::binary) << kSettings << lines;
    MoveFileExW(other.c_str(), aliasFile.c_str(), MOVEFILE_REPLACE_EXISTING);
  };
  // Hidden in the notification area the page is not seen and the file is not read each second;
  // shown, the page has what was written meanwhile.
  rewriteOnDisk("main=C:\\db\\main.fdb\r\nmeanwhile=C:\\db\\meanwhile.fdb\r\n");
  form->TimerTimer();
  EXPECT_EQ(Items().size(), 1u);
  ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
  EXPECT_EQ(Items().size(), 2u);
  rewriteOnDisk("main=C:\\db\\main.fdb\r\n");
  form->TimerTimer();
  ASSERT_EQ(Items().size(), 1u);
  for (const int answer : {AnswerNo, AnswerYes}) {
    SelectLine(kFirstAliasLine);
    EditorAnswer edit{L"main", Data(L"a.fdb")};
    {
      DialogDriver driver(edit.Steps());
      form->AliasPage().acEditAliasExecute();
    }
    const std::string disk = answer == AnswerNo ? "C:\\db\\moved.fdb" : "C:\\db\\again.fdb";
    rewriteOnDisk("main=" + disk + "\r\nhand=C:\\db\\hand.fdb\r\n");
    form->TimerTimer();
    const auto shown = Items();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].path, Data(L"a.fdb")) << "the page's edit stays shown";
    EXPECT_EQ(shown[1].name, L"hand") << "the outside edit shows";

    dialogs.questions.clear();
    dialogs.answers = {answer};
    form->ApplySettings(false);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_NE(dialogs.questions[0].find(L"\"main\""), std::wstring::npos) << ToUtf8(dialogs.questions[0]);
    const std::string kept = answer == AnswerNo ? disk : AnsiData(L"a.fdb");
    EXPECT_EQ(AliasLines(), (std::vector<std::string>{"main=" + kept, "hand=C:\\db\\hand.fdb"}));
    EXPECT_EQ(ReadBytes(aliasFile), kSettings + "main=" + kept + "\r\nhand=C:\\db\\hand.fdb\r\n");
    EXPECT_FALSE(SettingsChanged());
    rewriteOnDisk("main=C:\\db\\main.fdb\r\n");
    form->TimerTimer();
  }
}

TEST_F(AliasPage, ReadOnlyFileIsListedButCannotBeChanged) {
  CreateWith("main=C:\\db\\main.fdb\r\n", true);
  ASSERT_TRUE(form->AliasFile().ReadOnly());
  EXPECT_EQ(Items().size(), 1u);
  SelectLine(kFirstAliasLine);
  EXPECT_FALSE(form->AliasPage().acAddAlias.enabled);
  EXPECT_FALSE(form->AliasPage().acEditAlias.enabled);
  EXPECT_FALSE(form->AliasPage().acDeleteAlias.enabled);
  for (HWND button : {Ctl(*form, idAddAlias), Ctl(*form, idEditAlias), Ctl(*form, idDeleteAlias)})
    EXPECT_FALSE(ui::IsEnabled(button));
  for (UINT id : {idMenuAddAlias, idMenuEditAlias, idMenuDeleteAlias})
    EXPECT_TRUE(GetMenuState(form->AliasPage().ContextMenu(), id, MF_BYCOMMAND) & MF_GRAYED);

  DialogDriver driver({[](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }});
  form->AliasPage().lvAliasDblClick();
  const MSG insert = KeyDown(Ctl(*form, idAliasList), VK_INSERT);
  EXPECT_FALSE(form->HandleShortcut(insert));
  EXPECT_EQ(driver.StepsRun(), 0);  // no dialog opened
  EXPECT_EQ(AliasLines().size(), 1u);
}

TEST_F(AliasPage, KeysAndDoubleClickActOnlyWhileThePageIsInFront) {
  CreateWith("main=C:\\db\\main.fdb\r\n");
  form->SetActivePage(TfrmMain::tabStartup);
  form->pagMainChange();
  form->ActionListUpdate();
  const MSG insert = KeyDown(Ctl(*form, idAliasList), VK_INSERT);
  {
    DialogDriver driver({[](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }});
    EXPECT_FALSE(form->HandleShortcut(insert));
    form->AliasPage().lvAliasDblClick();
    EXPECT_EQ(driver.StepsRun(), 0);
  }

  form->SetActivePage(TfrmMain::tabAlias);
  form->pagMainChange();  // selects the top item
  form->ActionListUpdate();
  {
    DialogDriver driver({[](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }});
    EXPECT_TRUE(form->HandleShortcut(insert));
    EXPECT_EQ(driver.StepsRun(), 1);
  }
  EditorAnswer answer{L"main", Data(L"b.fdb")};
  {
    DialogDriver driver(answer.Steps());
    form->AliasPage().lvAliasDblClick();
  }
  EXPECT_EQ(answer.openedName, L"main");
  EXPECT_EQ(AliasLines(), std::vector<std::string>{"main=" + AnsiData(L"b.fdb")});
}

TEST_F(AliasPage, PathColumnTakesTheRestOfTheWidthButNeverLessThanNothing) {
  CreateWith("main=C:\\db\\main.fdb\r\n");
  RECT client;
  GetClientRect(Ctl(*form, idAliasList), &client);
  ListView_SetColumnWidth(Ctl(*form, idAliasList), 0, 120);
  form->AliasPage().lvAliasResize();
  EXPECT_EQ(ListView_GetColumnWidth(Ctl(*form, idAliasList), 1), client.right - 120);

  // One or two pixels short would read as "fit the contents" to the list view.
  for (int over : {1, 2, 50}) {
    ListView_SetColumnWidth(Ctl(*form, idAliasList), 0, client.right + over);
    form->AliasPage().lvAliasResize();
    EXPECT_EQ(ListView_GetColumnWidth(Ctl(*form, idAliasList), 1), 0) << over;
  }
}

}  // namespace
// Held by a scanner or a backup at start: read-only for the moment, editable once it is free.
// Held a moment at Apply: waited for with the window's messages read, then written.
TEST_F(AliasPage, AFileHeldAtStartOrAtApplyIsWaitedForNotGivenUp) {
  static HANDLE held = INVALID_HANDLE_VALUE;
  auto hold = [this] {
    held = CreateFileW(aliasFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  };
  CreateWith("main=C:\\db\\main.fdb\r\n", false, hold);
  ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
  EXPECT_TRUE(form->AliasFile().ReadOnly());
  CloseHandle(held);
  bool editable = false;
  for (int i = 0; i < 300 && !editable; ++i) {  // the file is looked at again every few seconds
    form->TimerTimer();
    form->ActionListUpdate();
    editable = form->AliasPage().acAddAlias.enabled;
    if (!editable) Sleep(100);
  }
  ASSERT_TRUE(editable);

  EditorAnswer answer{L"held", Data(L"a.fdb")};
  {
    DialogDriver driver(answer.Steps());
    form->AliasPage().acAddAliasExecute();
  }
  hold();
  // Freed by a timer that only the Apply's own wait can run.
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    CloseHandle(held);
  });
  form->ApplySettings(false);
  EXPECT_TRUE(dialogs.errors.empty()) << (dialogs.errors.empty() ? "" : ToUtf8(dialogs.errors[0]));
  EXPECT_NE(ReadBytes(aliasFile).find("held=" + AnsiData(L"a.fdb")), std::string::npos);
}

// A created database whose alias could not be written waits; ending the program while the file
// is still held tells the user which alias and which file, and a later end with the file free
// writes it instead of telling.
TEST_F(AliasPage, EndingWithAnAliasStillWaitingNamesItAndItsFile) {
  CreateWith("main=C:\\db\\main.fdb\r\n");
  form->AliasFile().Disk().KeepPending({"waiting", "C:\\db\\waiting.fdb"});
  HANDLE held = CreateFileW(aliasFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  form->acCloseCPAExecute();
  CloseHandle(held);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_NE(dialogs.errors[0].find(L"waiting=C:\\db\\waiting.fdb"), std::wstring::npos) << ToUtf8(dialogs.errors[0]);
  EXPECT_NE(dialogs.errors[0].find(aliasFile), std::wstring::npos);
  EXPECT_EQ(ReadBytes(aliasFile).find("waiting"), std::string::npos);

  form.reset();
  CreateWith("main=C:\\db\\main.fdb\r\n");
  form->AliasFile().Disk().KeepPending({"waiting", "C:\\db\\waiting.fdb"});
  dialogs.errors.clear();
  form->acCloseCPAExecute();
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_NE(ReadBytes(aliasFile).find("waiting=C:\\db\\waiting.fdb"), std::string::npos);
}
