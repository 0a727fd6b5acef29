#pragma once
// The tool editor: title, program and parameters of one external tool. It stores nothing; the
// tools page builds the entry from what it returns.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/ModalDialog.h"
#include "shell/uDialogs.h"

namespace vantrel {

class TfrmTools : public TModalDialog {
 public:
  enum ControlId : int {
    idTitleEdit = 10, idDuplicate, idProgramEdit, idBrowse, idParamsEdit,
    idOK = IDOK, idCancel = IDCANCEL,
  };

  TfrmTools(HWND owner, IDialogs& dialogs);

  std::wstring ToolTitle() const;
  void SetToolTitle(const std::wstring& text);
  std::wstring ToolProgram() const;
  void SetToolProgram(const std::wstring& text);
  std::wstring ToolParams() const;
  void SetToolParams(const std::wstring& text);

  // A copy of the given tool lines for the duplicate check; none empties it.
  void SetToolList(const std::vector<std::wstring>* list);
  // Opens with OK disabled and "&Kapat"; true when closed with OK.
  bool Execute();
  void SetModified(bool modified);
  void AnySettingChanged();
  void btnBrowseClick();
  // False for a title that the stored entry could not keep apart from its program.
  bool TitleFitsAnEntry() const;

  std::vector<std::wstring> ToolList;
  int EditIndex = -1;  // position of the edited entry in ToolList; -1 while adding

  HWND lblTitle = nullptr, edTitle = nullptr, lblDuplicate = nullptr, lblProgram = nullptr,
       edProgram = nullptr, btnBrowse = nullptr, lblParams = nullptr, edParams = nullptr,
       btnOK = nullptr, btnCancel = nullptr;

 protected:
  bool OnCommand(int id, int code, HWND control) override;
  void OnResize(int clientWidth, int clientHeight) override;
  LRESULT OnColor(HDC dc, HWND control) override;

 private:
  IDialogs& dialogs_;
  int duplicateWidth_ = 0;
};

}  // namespace vantrel
