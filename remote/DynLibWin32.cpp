#include "remote/DynLib.h"

#include <windows.h>

namespace vantrel {

void* OpenSharedLibrary(const char* name, std::string& error) {
  HMODULE library = LoadLibraryA(name);
  if (!library) {
    DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    error = std::string(name) + ": " + (n ? std::string(text, n) : "error " + std::to_string(code));
    if (text) LocalFree(text);
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
  }
  return library;
}

void* SharedLibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace vantrel
