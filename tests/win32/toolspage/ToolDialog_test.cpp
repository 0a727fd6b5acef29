// The tool editor on its own: button state, the duplicate warning and the program browser.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/Application.h"
#include "shell/Controls.h"
#include "shell/uConfig.h"
#include "tests/win32/app/Fakes.h"
#include "tests/win32/toolspage/ToolDialogDriver.h"
#include "tools/fTools.h"

using namespace vantrel;
using namespace tools_testing;

namespace {

const std::vector<std::wstring> kTools = {L"Firebird günlüğü=notepad.exe|$SERVERLOG", L"Calc=calc.exe",
                                          L"calc=other.exe"};

class ToolDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (!created) CreateApplicationWindow(GetModuleHandleW(nullptr));
    created = true;
  }
  void SetUp() override { dialog = std::make_unique<TfrmTools>(nullptr, dialogs); }

  // The page's calling order: properties, edit index, list, then the unchanged state of Execute.
  void Prepare(const std::wstring& title, const std::wstring& program, int editIndex) {
    dialog->SetToolTitle(title);
    dialog->SetToolProgram(program);
    dialog->SetToolParams(L"");
    dialog->EditIndex = editIndex;
    dialog->SetToolList(&kTools);
    dialog->SetModified(false);
  }
  // The dialog itself is not shown here, so the label's own visibility is what counts.
  bool DuplicateShown() { return (GetWindowLongPtrW(dialog->lblDuplicate, GWL_STYLE) & WS_VISIBLE) != 0; }
  bool OkEnabled() { return ui::IsEnabled(dialog->btnOK); }
  std::wstring CancelCaption() { return ui::GetText(dialog->btnCancel); }

  fakes::Dialogs dialogs;
  std::unique_ptr<TfrmTools> dialog;
};

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"vantrel-tools-test\\";
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder;
}

}  // namespace

TEST_F(ToolDialog, OpensUnchangedEvenForAnExistingToolAndEnterWaitsForAChange) {
  bool accepted = true;
  ASSERT_TRUE(DriveToolDialog(
      [&] {
        dialog->SetToolTitle(L"Calc");
        dialog->SetToolProgram(L"calc.exe");
        dialog->EditIndex = 1;
        dialog->SetToolList(&kTools);
        accepted = dialog->Execute();
      },
      [&](HWND d) {
        EXPECT_FALSE(ui::IsEnabled(Item(d, IDOK)));
        EXPECT_EQ(ItemText(d, IDCANCEL), L"&Kapat");
        EXPECT_FALSE(IsWindowVisible(Item(d, TfrmTools::idDuplicate)));
        Press(d, IDOK);  // Enter at once
        EXPECT_TRUE(IsWindowVisible(d));
        EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrNone);
        Type(d, TfrmTools::idParamsEdit, L"-x");
        EXPECT_TRUE(ui::IsEnabled(Item(d, IDOK)));
        EXPECT_EQ(ItemText(d, IDCANCEL), L"&Vazgeç");
        Press(d, IDOK);
      }));
  EXPECT_TRUE(accepted);
  EXPECT_EQ(dialog->ToolParams(), L"-x");
}

TEST_F(ToolDialog, CancelAndCloseBoxReturnFalse) {
  for (int how : {0, 1}) {
    bool accepted = true;
    ASSERT_TRUE(DriveToolDialog([&] { accepted = dialog->Execute(); },
                                [&](HWND d) {
                                  Type(d, TfrmTools::idTitleEdit, L"T");
                                  Type(d, TfrmTools::idProgramEdit, L"p.exe");
                                  if (how == 0) Press(d, IDCANCEL);
                                  else SendMessageW(d, WM_CLOSE, 0, 0);
                                }));
    EXPECT_FALSE(accepted);
  }
}

TEST_F(ToolDialog, OkNeedsBothTitleAndProgramAsTyped) {
  Prepare(L"", L"", -1);
  dialog->SetToolTitle(L"Tool");
  EXPECT_FALSE(OkEnabled());
  EXPECT_EQ(CancelCaption(), L"&Kapat");
  dialog->SetToolProgram(L"tool.exe");
  EXPECT_TRUE(OkEnabled());
  EXPECT_EQ(CancelCaption(), L"&Vazgeç");
  dialog->SetToolTitle(L"   ");  // blanks count; the page trims when it stores
  EXPECT_TRUE(OkEnabled());
  dialog->SetToolProgram(L"");
  EXPECT_FALSE(OkEnabled());
  EXPECT_EQ(CancelCaption(), L"&Kapat");
}

TEST_F(ToolDialog, DuplicateTitleWarnsIgnoringCaseButNeverBlocks) {
  Prepare(L"", L"x.exe", -1);
  dialog->SetToolTitle(L"  FIREBIRD GÜNLÜĞÜ ");
  EXPECT_TRUE(DuplicateShown());
  EXPECT_TRUE(OkEnabled());
  SendMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(dialog->btnOK));
  EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrOk);
  dialog->SetToolTitle(L"Firebird");
  EXPECT_FALSE(DuplicateShown());
}

TEST_F(ToolDialog, EditedEntryKeepingItsTitleIsNoDuplicateUnlessAnEarlierOneHasIt) {
  Prepare(L"Firebird günlüğü", L"notepad.exe", 0);
  dialog->SetToolParams(L"$SERVERLOG ");
  EXPECT_FALSE(DuplicateShown());
  dialog->SetToolTitle(L"CALC");  // taken by entry 1
  EXPECT_TRUE(DuplicateShown());

  Prepare(L"calc", L"other.exe", 2);  // entry 2 shares its title with entry 1
  dialog->SetToolParams(L"-y");
  EXPECT_TRUE(DuplicateShown());
  dialog->EditIndex = 1;
  dialog->SetToolTitle(L"Calc");
  EXPECT_FALSE(DuplicateShown());

  dialog->SetToolList(nullptr);
  dialog->EditIndex = -1;
  dialog->SetToolTitle(L"calc");
  EXPECT_FALSE(DuplicateShown());
}

TEST_F(ToolDialog, TitleWithAnEqualsSignIsRefusedAtOk) {
  Prepare(L"", L"", -1);
  dialog->SetToolTitle(L"a=b");
  dialog->SetToolProgram(L"prog.exe");
  ASSERT_TRUE(OkEnabled());
  SendMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(dialog->btnOK));
  EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrNone);
  dialog->SetToolTitle(L"a-b");
  SendMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(dialog->btnOK));
  EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrOk);
}

TEST_F(ToolDialog, BrowseWithoutAnExistingProgramStartsInProgramFilesAndCancelChangesNothing) {
  Prepare(L"", L"no-such-program.exe", -1);
  dialog->btnBrowseClick();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  const FileDialogOptions& options = dialogs.fileDialogs[0];
  EXPECT_EQ(options.initialFolder, SpecialFolderPath(CSIDL_PROGRAM_FILES));
  EXPECT_FALSE(options.initialFolder.empty());
  EXPECT_EQ(options.fileName, L"*.exe");
  EXPECT_EQ(options.filter, L"Program dosyaları|*.exe;|Tüm dosyalar|*.*");
  EXPECT_EQ(dialog->ToolProgram(), L"no-such-program.exe");
  EXPECT_EQ(dialog->ToolTitle(), L"");
  EXPECT_FALSE(OkEnabled());
}

TEST_F(ToolDialog, BrowseFromAnExistingProgramStartsInItsFolderWithItChosen) {
  const std::wstring folder = TempFolder();
  const std::wstring program = folder + L"existing.exe";
  HANDLE file = CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  Prepare(L"", program, -1);
  dialog->btnBrowseClick();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, folder);
  EXPECT_EQ(dialogs.fileDialogs[0].fileName, program);
  DeleteFileW(program.c_str());
}

TEST_F(ToolDialog, ChosenProgramFillsAnEmptyOrBlankTitleFromItsName) {
  dialogs.chooseFile = true;
  dialogs.file = L"C:\\Some Folder\\my.tool.exe";
  for (const std::wstring title : {L"", L"  "}) {
    Prepare(title, L"", -1);
    dialog->btnBrowseClick();
    EXPECT_EQ(dialog->ToolProgram(), dialogs.file);
    EXPECT_EQ(dialog->ToolTitle(), L"my.tool");
    EXPECT_TRUE(OkEnabled());
  }
  dialogs.file = L"C:\\bin\\tool.exe";
  Prepare(L"Mine", L"old.exe", -1);
  dialog->btnBrowseClick();
  EXPECT_EQ(dialog->ToolProgram(), L"C:\\bin\\tool.exe");
  EXPECT_EQ(dialog->ToolTitle(), L"Mine");
}

TEST_F(ToolDialog, EditFieldsStretchWithTheWidthDownToTheMinimum) {
  RECT before, after;
  GetWindowRect(dialog->edParams, &before);
  RECT window;
  GetWindowRect(dialog->Handle(), &window);
  SetWindowPos(dialog->Handle(), nullptr, 0, 0, window.right - window.left + 100, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(dialog->edParams, &after);
  EXPECT_EQ((after.right - after.left) - (before.right - before.left), 100);

  MINMAXINFO info{};
  SendMessageW(dialog->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 310);
  EXPECT_EQ(info.ptMinTrackSize.y, 130);
}
