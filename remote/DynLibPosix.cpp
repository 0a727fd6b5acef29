#include "remote/DynLib.h"

#include <dlfcn.h>

namespace vantrel {

void* OpenSharedLibrary(const char* name, std::string& error) {
  void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    error = reason ? reason : name;
  }
  return library;
}

void* SharedLibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

}  // namespace vantrel
