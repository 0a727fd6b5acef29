#pragma once
// The advanced page: the root directory and its change, and whether the program lives in the
// notification area.
#include <windows.h>

#include <functional>
#include <string>

#include "server/StartPage.h"
#include "server/Installation.h"
#include "server/Probes.h"
#include "server/uService.h"
#include "shell/Page.h"

namespace vantrel {

class TEnhancedPage final : public TPage {
 public:
  TEnhancedPage(IPageHost& host, TStartPage& server);

  void ShowRootDirectory(const std::wstring& root, bool changeable);
  // Moves the server registration to another root directory (server/RootChange.cpp).
  void btnChangeRootClick();
  // After a change of the registration: the window discovers the installation again.
  std::function<void()> onRootChanged;

  bool ShowTrayIcon() const { return showTrayIcon_; }
  void SetShowTrayIcon(bool show);  // as a user's click would
  std::function<void(bool show)> onShowTrayIconChanged;

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void cbxShowTrayIconClick(bool checked);

  TStartPage& server_;
  std::wstring rootText_;
  bool rootChangeable_ = true;
  bool showTrayIcon_ = false;
  HWND pnlRootDir = nullptr, btnChangeRoot = nullptr, cbxShowTrayIcon = nullptr;
};

}  // namespace vantrel
