#include "shell/uBrowseDir.h"

#include <objbase.h>
#include <shlobj.h>

#include "shell/Application.h"
#include "shell/DelayLoad.h"

namespace vantrel {
namespace {

constexpr UINT DisplayNameLength = MAX_PATH;

BOOL CALLBACK DisableTaskWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// Memory handed out by the shell allocator, given back to it on every path.
class ShellMemory {
 public:
  ShellMemory(IMalloc* allocator, void* block) : allocator_(allocator), block_(block) {}
  ~ShellMemory() {
    if (block_) allocator_->Free(block_);
  }
  ShellMemory(const ShellMemory&) = delete;
  ShellMemory& operator=(const ShellMemory&) = delete;
  void* Get() const { return block_; }

 private:
  IMalloc* allocator_;
  void* block_;
};

// The dialog needs COM on this thread; a thread that already has it keeps its own setting.
class ComApartment {
 public:
  ComApartment() {
    auto* initialise = SystemFunction<decltype(CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    uninitialise_ = SystemFunction<decltype(CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    initialised_ = initialise && uninitialise_ && SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED));
  }
  ~ComApartment() {
    if (initialised_) uninitialise_();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  decltype(CoUninitialize)* uninitialise_ = nullptr;
  bool initialised_ = false;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM initialFolder) {
  if (message == BFFM_INITIALIZED) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initialFolder);
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path))
      SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
  return 0;
}

}  // namespace

TaskWindowsDisabled::TaskWindowsDisabled() : active_(GetActiveWindow()) {
  EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&disabled_));
}

TaskWindowsDisabled::~TaskWindowsDisabled() {
  for (HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  if (active_ && IsWindow(active_)) SetActiveWindow(active_);
}

bool BrowseForFolder(const std::wstring& title, const std::wstring& root,
                     const std::wstring& initialFolder, std::wstring& chosen) {
  chosen.clear();
  ComApartment apartment;
  ComPtr<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.Out())) || !allocator.Get()) return false;
  ShellMemory displayName(allocator.Get(), allocator->Alloc(DisplayNameLength * sizeof(wchar_t)));
  if (!displayName.Get()) return false;

  PIDLIST_ABSOLUTE rootItems = nullptr;
  if (!root.empty()) {
    ComPtr<IShellFolder> desktop;
    if (SUCCEEDED(SHGetDesktopFolder(desktop.Out())) && desktop.Get()) {
      std::wstring rootText = root;  // ParseDisplayName wants a writable text
      desktop->ParseDisplayName(ApplicationHandle(), nullptr, rootText.data(), nullptr,
                                reinterpret_cast<PIDLIST_RELATIVE*>(&rootItems), nullptr);
    }
  }
  ShellMemory rootOwner(allocator.Get(), rootItems);

  BROWSEINFOW browse{};
  browse.hwndOwner = ApplicationHandle();
  browse.pidlRoot = rootItems;
  browse.pszDisplayName = static_cast<wchar_t*>(displayName.Get());
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());

  PIDLIST_ABSOLUTE selection = nullptr;
  {
    TaskWindowsDisabled modal;
    selection = SHBrowseForFolderW(&browse);
  }
  if (!selection) return false;
  ShellMemory selectionOwner(allocator.Get(), selection);
  wchar_t path[MAX_PATH + 1] = {};
  // A selection without a file-system path is no choice, not an empty one.
  if (!SHGetPathFromIDListW(selection, path)) return false;
  chosen = path;
  return true;
}

}  // namespace vantrel
