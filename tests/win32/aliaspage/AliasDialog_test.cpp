// The alias editor on its own: refusals, duplicate warnings, the OK button's state and the file
// chooser, with the dialog shown without its modal loop or driven from inside it.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>

#include "aliases/AliasList.h"
#include "shell/Controls.h"
#include "shell/TextConv.h"
#include "tests/win32/aliaspage/DialogDriver.h"
#include "tests/win32/app/Fakes.h"

using namespace vantrel;
using namespace aliastest;

namespace {

class CountingAlias : public TfrmAlias {
 public:
  using TfrmAlias::TfrmAlias;
  int beeps = 0;

 protected:
  void Beep() override { ++beeps; }
};

class AliasDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"vantrel-aliasdialog";
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    database = folder + L"\\stock.fdb";
    HANDLE f = CreateFileW(database.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
    dialog = std::make_unique<CountingAlias>(nullptr, dialogs);
  }

  void TearDown() override {
    dialog.reset();
    DeleteFileW(database.c_str());
    RemoveDirectoryW(folder.c_str());
  }

  // Shown without a modal loop, so that the focus can move between its fields.
  void ShowModeless() {
    ShowWindow(dialog->Handle(), SW_SHOW);
    SetForegroundWindow(dialog->Handle());
  }

  // Presses OK with the focus elsewhere; returns the field that got the focus, null when none.
  HWND PressOkFrom(HWND focused) {
    SetFocus(focused);
    const int beepsBefore = dialog->beeps;
    dialog->btnOKClick();
    if (dialog->beeps == beepsBefore) return nullptr;
    EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrNone);
    return GetFocus();
  }

  std::wstring Error() { return ui::GetText(dialog->lblError); }

  fakes::Dialogs dialogs;
  std::wstring folder, database;
  std::unique_ptr<CountingAlias> dialog;
};

TEST_F(AliasDialog, RefusedNamesAndPathsMoveTheFocusToTheirFieldWithABeep) {
  ShowModeless();
  dialog->SetDatabase(database);
  for (const wchar_t* name : {L"", L"  \t ", L"noname", L"NoNaMe", L" NONAME\t", L"a=b", L"a#b"}) {
    dialog->SetAliasName(name);
    EXPECT_EQ(PressOkFrom(dialog->edtDatabase), dialog->edtAliasName) << "name: [" << name << "]";
  }
  dialog->SetAliasName(L"stock");
  for (const std::wstring& path : {std::wstring(), folder, folder + L"\\missing.fdb",
                                   std::wstring(L" \t"), folder + L"\\stock.fdb#1"}) {
    dialog->SetDatabase(path);
    EXPECT_EQ(PressOkFrom(dialog->edtAliasName), dialog->edtDatabase) << "path: [" << path << "]";
  }
  // The name is looked at first.
  dialog->SetAliasName(L"");
  EXPECT_EQ(PressOkFrom(dialog->btnCancel), dialog->edtAliasName);
  EXPECT_EQ(dialog->beeps, 13);

  dialog->SetAliasName(L"nonamed");
  dialog->SetDatabase(L"  " + database + L" ");
  EXPECT_EQ(PressOkFrom(dialog->edtAliasName), nullptr);
  EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrOk);
  EXPECT_EQ(dialog->AliasName(), L"nonamed");
  EXPECT_EQ(dialog->Database(), database);
}

TEST_F(AliasDialog, TextTheAliasFileCannotHoldAsTypedIsRefused) {
  ShowModeless();
  dialog->SetDatabase(database);
  // Not in the ANSI code page: it would be stored as another character.
  dialog->SetAliasName(L"\u4E2D\u6587");
  EXPECT_EQ(PressOkFrom(dialog->edtDatabase), dialog->edtAliasName);
  dialog->SetAliasName(L"line\nbreak");
  EXPECT_EQ(PressOkFrom(dialog->edtDatabase), dialog->edtAliasName);
  // What the server would read as something else, or refuse the file for.
  for (const wchar_t* name : {L"}", L"{", L"a\"b", L"include C:\\x", L"a$(b)"}) {
    dialog->SetAliasName(name);
    EXPECT_EQ(PressOkFrom(dialog->edtDatabase), dialog->edtAliasName) << ToUtf8(name);
  }
  dialog->SetAliasName(L"ok");
  const std::wstring braced = folder + L"\\stock{1}.fdb";
  CloseHandle(CreateFileW(braced.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  dialog->SetDatabase(braced);
  EXPECT_EQ(PressOkFrom(dialog->edtAliasName), dialog->edtDatabase);
  DeleteFileW(braced.c_str());
  dialog->SetDatabase(database);
  // Letters of the code page pass.
  dialog->SetAliasName(L"Müşteri");
  EXPECT_EQ(PressOkFrom(dialog->edtDatabase), nullptr);
  EXPECT_EQ(dialog->ModalResult(), TModalDialog::mrOk);
}

TEST_F(AliasDialog, DuplicatesWarnWithoutStoppingOk) {
  TAliasList list;
  list.SetText(std::string("# DEFAULT_PATH=C:\\Data\\\r\n"
               "Stock=C:\\db\\stock.fdb\r\n"
               "Spaced = C:\\db\\spaced.fdb\r\n"
               "; no equals sign\r\n"
               ) + ToAnsi(L"Şema=C:\\db\\schema.fdb\r\n"));
  dialog->AliasList = &list;
  struct Case {
    const wchar_t* name;
    bool duplicate;
  };
  for (const Case& c : {Case{L"stock", true}, Case{L"STOCK", true}, Case{L"stocks", false},
                        Case{L"Spaced", false}, Case{L"ŞEMA", true},
                        Case{L"şema", false}, Case{L"# default_path", true}}) {
    EXPECT_EQ(dialog->IsDuplicateAlias(c.name), c.duplicate) << "name: [" << c.name << "]";
  }
  for (const Case& c : {Case{L"c:\\DB\\STOCK.FDB", true}, Case{L"C:\\db\\spaced.fdb", false},
                        Case{L"C:\\db\\schema.fdb", true}, Case{L"C:\\Data\\", true}}) {
    EXPECT_EQ(dialog->IsDuplicateDatabase(c.name), c.duplicate) << "path: [" << c.name << "]";
  }

  // The label shows whichever check ran last.
  dialog->SetAliasName(L"stock");
  EXPECT_EQ(Error(), L"Mükerrer takma ad");
  dialog->SetDatabase(L"C:\\db\\new.fdb");
  EXPECT_EQ(Error(), L"");
  dialog->SetDatabase(L"C:\\db\\stock.fdb");
  EXPECT_EQ(Error(), L"Mükerrer veri tabanı");

  // The edited alias is not its own duplicate.
  dialog->EditIndex = 1;
  dialog->SetAliasName(L"Stock");
  EXPECT_EQ(Error(), L"");
  dialog->SetDatabase(L"C:\\DB\\stock.fdb");
  EXPECT_EQ(Error(), L"");

  // Without a list nothing is a duplicate.
  dialog->AliasList = nullptr;
  EXPECT_FALSE(dialog->IsDuplicateAlias(L"stock"));
  EXPECT_FALSE(dialog->IsDuplicateDatabase(L"C:\\db\\stock.fdb"));
}

TEST_F(AliasDialog, PropertiesTrimOnReadAndRunTheHandlerOnlyForANewText) {
  dialog->SetAliasName(L" \tname\r ");
  EXPECT_EQ(ui::GetText(dialog->edtAliasName), L" \tname\r ");
  EXPECT_EQ(dialog->AliasName(), L"name");

  ui::Enable(dialog->btnOK, false);
  dialog->SetAliasName(L" \tname\r ");  // the same text: no change
  EXPECT_FALSE(ui::IsEnabled(dialog->btnOK));
  dialog->SetDatabase(L"x");
  EXPECT_TRUE(ui::IsEnabled(dialog->btnOK));
}

TEST_F(AliasDialog, OkStaysDisabledUntilAFieldChangesAndEnterDoesNothingBefore) {
  TAliasList list;
  list.SetText("stock=C:\\db\\stock.fdb\r\n");
  dialog->AliasList = &list;
  dialog->SetAliasName(L"stock");
  dialog->SetDatabase(database);
  bool okEnabledAtOpen = true, closedByEnter = true;
  std::wstring errorAtOpen, focusedAtOpen;
  DialogDriver driver({
      [&](HWND d) {
        okEnabledAtOpen = IsWindowEnabled(Field(d, IDOK)) != FALSE;
        errorAtOpen = TextOf(Field(d, TfrmAlias::idError));
        focusedAtOpen = GetFocus() == Field(d, TfrmAlias::idAliasName) ? L"name" : L"other";
        PressKey(GetFocus(), VK_RETURN);
      },
      [&](HWND d) {
        closedByEnter = DialogDriver::OpenDialog() == nullptr;
        Type(d, TfrmAlias::idAliasName, L"stock2");
      },
      [&](HWND d) { PressKey(GetFocus(), VK_RETURN); },
  });
  EXPECT_TRUE(dialog->Execute());
  EXPECT_TRUE(driver.AllStepsRan());
  EXPECT_FALSE(driver.HadToClose());
  EXPECT_FALSE(okEnabledAtOpen);
  EXPECT_EQ(errorAtOpen, L"Mükerrer takma ad");  // a duplicate shows at once
  EXPECT_EQ(focusedAtOpen, L"name");
  EXPECT_FALSE(closedByEnter);
  EXPECT_EQ(dialog->AliasName(), L"stock2");
}

TEST_F(AliasDialog, CancelButtonEscapeAndCloseBoxReturnFalse) {
  dialog->SetAliasName(L"stock");
  dialog->SetDatabase(database);
  const std::vector<DialogDriver::Step> closers = {
      [](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                reinterpret_cast<LPARAM>(Field(d, IDCANCEL))); },
      [](HWND d) { PressKey(GetFocus(), VK_ESCAPE); },
      [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); },
  };
  for (const auto& close : closers) {
    DialogDriver driver({[](HWND d) { Type(d, TfrmAlias::idDatabase, L"changed"); }, close});
    EXPECT_FALSE(dialog->Execute());
    EXPECT_TRUE(driver.AllStepsRan());
    EXPECT_FALSE(driver.HadToClose());
  }
}

TEST_F(AliasDialog, ChoosingAFileSetsThePathAndChecksIt) {
  TAliasList list;
  list.SetText(ToAnsi(L"old=" + database + L"\r\n"));
  dialog->AliasList = &list;
  dialog->SetDatabase(database);
  dialogs.chooseFile = true;
  dialogs.file = L"C:\\picked\\other.gdb";
  dialog->btnSelDBClick();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].filter,
            L"Veri tabanı dosyaları (fdb,gdb,fb,ib)|*.fdb;*.gdb;*.ib;*.fb|All Files (*.*)|*.*");
  EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, folder + L"\\");
  EXPECT_EQ(dialogs.fileDialogs[0].fileName, database);  // an existing file is preselected
  EXPECT_EQ(dialog->Database(), L"C:\\picked\\other.gdb");
  EXPECT_EQ(Error(), L"");

  // A path that names no file is not preselected; the picked duplicate shows its warning.
  dialogs.file = database;
  dialog->btnSelDBClick();
  EXPECT_EQ(dialogs.fileDialogs[1].initialFolder, L"C:\\picked\\");
  EXPECT_EQ(dialogs.fileDialogs[1].fileName, L"");
  EXPECT_EQ(Error(), L"Mükerrer veri tabanı");

  // A cancelled chooser changes nothing.
  dialogs.chooseFile = false;
  dialog->btnSelDBClick();
  EXPECT_EQ(dialog->Database(), database);
}

}  // namespace
