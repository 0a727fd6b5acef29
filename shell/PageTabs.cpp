#include "shell/PageTabs.h"

#include <commctrl.h>

#include "shell/Dpi.h"

namespace vantrel {

TPageTabs::TPageTabs(std::vector<TPage*> pages, int firstActive)
    : pages_(std::move(pages)), visible_(pages_.size(), true), active_(firstActive) {}

void TPageTabs::Create(HWND parent, int id, const ui::Rect& design, HFONT font, UINT dpi) {
  parent_ = parent;
  design_ = design;
  tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  dpi::Place(tabs_, design, dpi);
}

void TPageTabs::Rebuild(UINT dpi) {
  TabCtrl_DeleteAllItems(tabs_);
  int index = 0, activeIndex = -1;
  for (std::size_t page = 0; page < pages_.size(); ++page) {
    if (!visible_[page]) continue;
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(pages_[page]->Caption().c_str());
    item.lParam = static_cast<LPARAM>(page);
    TabCtrl_InsertItem(tabs_, index, &item);
    if (static_cast<int>(page) == active_) activeIndex = index;
    ++index;
  }
  if (activeIndex >= 0) TabCtrl_SetCurSel(tabs_, activeIndex);
  const RECT outer = dpi::Scale(design_, dpi);
  RECT area{0, 0, outer.right - outer.left, outer.bottom - outer.top};
  TabCtrl_AdjustRect(tabs_, FALSE, &area);
  OffsetRect(&area, outer.left, outer.top);
  area_ = area;
  for (TPage* page : pages_)
    if (page->Created())
      SetWindowPos(page->Handle(), HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOACTIVATE);
  ShowActive();
}

void TPageTabs::CreateAll() {
  for (TPage* page : pages_) page->Create(parent_, area_);
  ShowActive();
}

void TPageTabs::ShowActive() {
  pages_[static_cast<std::size_t>(active_)]->Create(parent_, area_);
  for (std::size_t page = 0; page < pages_.size(); ++page) {
    const bool shown = static_cast<int>(page) == active_;
    pages_[page]->SetCurrent(shown);
    if (pages_[page]->Created()) ShowWindow(pages_[page]->Handle(), shown ? SW_SHOWNA : SW_HIDE);
  }
}

int TPageTabs::PageOfTab(int tab) const {
  TCITEMW item{};
  item.mask = TCIF_PARAM;
  return TabCtrl_GetItem(tabs_, tab, &item) ? static_cast<int>(item.lParam) : active_;
}

void TPageTabs::Select(int page) {
  active_ = page;
  TabCtrl_SetCurSel(tabs_, -1);
  const int count = TabCtrl_GetItemCount(tabs_);
  for (int tab = 0; tab < count; ++tab)
    if (PageOfTab(tab) == page) TabCtrl_SetCurSel(tabs_, tab);
  ShowActive();
}

bool TPageTabs::SelectNeighbour(int step) {
  const int count = TabCtrl_GetItemCount(tabs_);
  if (count < 2) return false;
  Select(PageOfTab((TabCtrl_GetCurSel(tabs_) + step + count) % count));
  return true;
}

void TPageTabs::FollowSelection() {
  active_ = PageOfTab(TabCtrl_GetCurSel(tabs_));
  ShowActive();
}

bool TPageTabs::SetVisible(int page, bool visible, UINT dpi) {
  if (visible_[static_cast<std::size_t>(page)] == visible) return false;
  visible_[static_cast<std::size_t>(page)] = visible;
  if (tabs_) Rebuild(dpi);
  return true;
}

}  // namespace vantrel
