#pragma once
// The about page: the program's version and the server project's link. Its tab is never shown.
#include <windows.h>

#include <string>

#include "shell/Page.h"

namespace vantrel {

class TAboutPage final : public TPage {
 public:
  explicit TAboutPage(IPageHost& host);
  void SetTitle(const std::wstring& title);
  void URLClick(HWND link);

 protected:
  void CreateControls() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::wstring title_;
  HWND lblTitle = nullptr;
};

}  // namespace vantrel
