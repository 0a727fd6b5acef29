#include "shell/DelayLoad.h"

#include <map>
#include <mutex>
#include <string>

namespace vantrel {

HMODULE SystemLibrary(const wchar_t* fileName) {
  // Loaded once each; the process keeps them, so nothing here is ever freed.
  static std::mutex guard;
  static std::map<std::wstring, HMODULE> loaded;
  std::lock_guard<std::mutex> lock(guard);
  auto found = loaded.find(fileName);
  if (found != loaded.end()) return found->second;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  HMODULE module = nullptr;
  if (length > 0 && length < MAX_PATH) module = LoadLibraryW((std::wstring(folder) + L"\\" + fileName).c_str());
  if (module) loaded.emplace(fileName, module);
  return module;
}

}  // namespace vantrel
