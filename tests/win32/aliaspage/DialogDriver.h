#pragma once
// Drives the alias editor from inside its own modal loop: a thread timer finds the open dialog by
// its caption and runs one step per tick. A dialog still open after the last step is closed, so a
// test never hangs on it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "aliases/AliasTexts.h"
#include "aliases/fAlias.h"

namespace aliastest {

class DialogDriver {
 public:
  using Step = std::function<void(HWND dialog)>;

  explicit DialogDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, kTickMs, Tick);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  int StepsRun() const { return next_; }
  bool AllStepsRan() const { return next_ == static_cast<int>(steps_.size()); }
  bool HadToClose() const { return hadToClose_; }

  static HWND OpenDialog() {
    HWND dialog = FindWindowW(L"TVantrelDialog", vantrel::txt::alias::DialogCaption);
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
  }

 private:
  static constexpr UINT kTickMs = 20;
  static constexpr int kGraceTicks = 25;

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_) current_->OnTick();
  }
  void OnTick() {
    HWND dialog = OpenDialog();
    if (!dialog) return;
    if (next_ < static_cast<int>(steps_.size())) {
      steps_[static_cast<std::size_t>(next_++)](dialog);
    } else if (++grace_ > kGraceTicks) {
      hadToClose_ = true;
      PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
  }

  static inline DialogDriver* current_ = nullptr;
  std::vector<Step> steps_;
  UINT_PTR timer_ = 0;
  int next_ = 0;
  int grace_ = 0;
  bool hadToClose_ = false;
};

inline HWND Field(HWND dialog, int id) { return GetDlgItem(dialog, id); }

inline std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

// As typing would: the edit raises its change notification.
inline void Type(HWND dialog, int id, const std::wstring& text) {
  SetWindowTextW(Field(dialog, id), text.c_str());
}

inline void ClickOk(HWND dialog) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(Field(dialog, IDOK)));
}

inline void PressKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

}  // namespace aliastest
