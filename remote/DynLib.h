#pragma once
// Loading a shared library at run time (dlopen or LoadLibrary); implemented per platform.
#include <string>

namespace vantrel {

// The library's handle, or null with the system's reason in error. Libraries stay loaded.
void* OpenSharedLibrary(const char* name, std::string& error);
void* SharedLibrarySymbol(void* library, const char* name);

}  // namespace vantrel
