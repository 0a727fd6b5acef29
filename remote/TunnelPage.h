#pragma once
// The tunnel settings page: the tunnel switch and port and the default database folder, which
// live in the alias file, and the administrator's login for new databases.
#include <windows.h>

#include "aliases/AliasList.h"
#include "remote/AdminLogin.h"
#include "shell/Page.h"

namespace vantrel {

class TTunnelPage final : public TPage {
 public:
  TTunnelPage(IPageHost& host, TPlainAliasSettings& settings);

  // The settings as they are now, after a load changed them.
  void ShowSettings();
  void BTN_Def_PathClick();

  // The applied login: shown again by Cancel, stored by Apply.
  const TAdminLogin& AdminLogin() const { return adminLogin_; }
  void LoadAdminLogin();
  void ShowAdminLogin();
  void ApplyAdminLogin();

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  TPlainAliasSettings& settings_;
  TAdminLogin adminLogin_;
  bool filling_ = false;  // the program writes the fields: no change of the user's
  HWND CHK_Zibidi = nullptr, ZiBiDi_Portu = nullptr, PAN_Def_Path = nullptr, edtAdminUser = nullptr,
       edtAdminPassword = nullptr;
};

// A port as a spin edit shows it; text that is no number counts as 0.
int PortOfText(const std::wstring& text);

}  // namespace vantrel
