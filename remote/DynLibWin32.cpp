#include "remote/DynLib.h"

#include <windows.h>

namespace vantrel {

namespace {

std::wstring Wide(const char* utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), size);
  if (!text.empty()) text.pop_back();
  return text;
}

// The name in the ANSI code page, like the system's reason beside it in the message.
std::string Ansi(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
  if (!bytes.empty()) bytes.pop_back();
  return bytes;
}

}  // namespace

// name is UTF-8. A full path is loaded with its own folder first in the search for its
// dependencies, so a client library finds the files installed beside it.
void* OpenSharedLibrary(const char* name, std::string& error) {
  const std::wstring wide = Wide(name);
  const bool fullPath = wide.find_first_of(L"\\/") != std::wstring::npos;
  HMODULE library = fullPath ? LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                             : LoadLibraryW(wide.c_str());
  if (!library) {
    DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    error = Ansi(wide) + ": " + (n ? std::string(text, n) : "error " + std::to_string(code));
    if (text) LocalFree(text);
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
  }
  return library;
}

void* SharedLibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace vantrel
