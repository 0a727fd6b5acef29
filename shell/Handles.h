#pragma once
// Owners of system handles: each closes its handle on every path out of the owning scope.
#include <windows.h>

namespace vantrel {

template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class TOwnedHandle {
 public:
  explicit TOwnedHandle(Handle handle = nullptr) : handle_(handle) {}
  ~TOwnedHandle() {
    if (handle_) Close(handle_);
  }
  TOwnedHandle(TOwnedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
    if (this != &other) {
      if (handle_) Close(handle_);
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  explicit operator bool() const { return handle_ != nullptr; }
  Handle Get() const { return handle_; }

 private:
  Handle handle_;
};

using OwnedHandle = TOwnedHandle<HANDLE, CloseHandle>;
using ScHandle = TOwnedHandle<SC_HANDLE, CloseServiceHandle>;

}  // namespace vantrel
