#pragma once
// The alias editor: one alias's name and database path, with duplicate warnings against the
// alias list. It never changes the list; the alias page writes the result.
#include <windows.h>

#include <string>

#include "aliases/AliasList.h"
#include "shell/ModalDialog.h"
#include "shell/uDialogs.h"

namespace vantrel {

class TfrmAlias : public TModalDialog {
 public:
  // btnOK is IDOK (Enter), btnCancel IDCANCEL (Escape).
  enum ControlId : int {
    idAliasNameLabel = 1001, idAliasName, idDatabaseLabel, idDatabase, idSelDB, idError,
  };

  // dialogs: where the database file is chosen.
  TfrmAlias(HWND owner, IDialogs& dialogs);

  // Reads are trimmed of blanks and control characters; writes keep the text as given and run
  // the field's change handler when the text differs.
  std::wstring AliasName() const;
  void SetAliasName(const std::wstring& name);
  std::wstring Database() const;
  void SetDatabase(const std::wstring& path);

  const TAliasList* AliasList = nullptr;  // looked at for duplicates, not owned
  int EditIndex = -1;                     // the edited alias's line, -1 for a new one

  // Shows the dialog modally; true when it was closed with OK.
  bool Execute();

  void edtAliasNameChange();
  void edtDatabaseChange();
  bool IsDuplicateAlias(const std::wstring& name) const;
  bool IsDuplicateDatabase(const std::wstring& path) const;
  bool RefusesDuplicates() const;  // databases.conf
  void btnSelDBClick();
  void btnOKClick();

  HWND lblAliasName = nullptr, edtAliasName = nullptr, lblDatabase = nullptr,
       edtDatabase = nullptr, btnSelDB = nullptr, lblError = nullptr, btnOK = nullptr,
       btnCancel = nullptr;

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  void OnResize(int clientWidth, int clientHeight) override;
  LRESULT OnColor(HDC dc, HWND control) override;
  virtual void Beep();  // the exclamation sound of refused input

 private:
  void FormCreate();
  void CreateControls();
  void SetEditText(HWND edit, const std::wstring& text, void (TfrmAlias::*changed)());
  void Refuse(HWND field);

  IDialogs& dialogs_;
  bool settingText_ = false;  // a text set by the program runs its handler once, not twice
};

}  // namespace vantrel
