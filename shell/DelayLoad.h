#pragma once
// Functions of system libraries the program needs only now and then (the file dialog, COM for
// the folder chooser, the data protection of the stored password): their library is loaded at
// the first call instead of at every start, and stays loaded until the process ends.
#include <windows.h>

namespace vantrel {

// The library of that name from the system folder; null when it cannot be loaded.
HMODULE SystemLibrary(const wchar_t* fileName);

template <typename Function>
Function* SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = SystemLibrary(library);
  return module ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A function of a library the process has loaded already (user32, comctl32 of the program's own
// version); null when the library or the function is missing.
template <typename Function>
Function* LoadedFunction(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  return module ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace vantrel
