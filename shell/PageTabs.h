#pragma once
// A tab control that hosts pages: a tab for each visible page, the chosen page shown in the
// control's display area and the others hidden. Pages are known by their number in the list.
#include <windows.h>

#include <vector>

#include "shell/Controls.h"
#include "shell/Page.h"

namespace vantrel {

class TPageTabs {
 public:
  TPageTabs(std::vector<TPage*> pages, int firstActive);

  void Create(HWND parent, int id, const ui::Rect& design, HFONT font, UINT dpi);
  HWND Handle() const { return tabs_; }

  // The tabs for the visible pages again, the pages resized to the display area at dpi.
  void Rebuild(UINT dpi);
  void CreateAll();
  void ShowActive();

  int Active() const { return active_; }
  void Select(int page);
  // The tab step places away (wrapping); false when there is no other tab.
  bool SelectNeighbour(int step);
  // The user picked a tab (TCN_SELCHANGE).
  void FollowSelection();

  bool Visible(int page) const { return visible_[static_cast<std::size_t>(page)]; }
  // Shows or hides the page's tab; true when that changed anything.
  bool SetVisible(int page, bool visible, UINT dpi);

 private:
  int PageOfTab(int tab) const;

  std::vector<TPage*> pages_;
  std::vector<bool> visible_;
  int active_;
  HWND tabs_ = nullptr, parent_ = nullptr;
  ui::Rect design_{};
  RECT area_{};
};

}  // namespace vantrel
