// The window's alias file and the four settings that live in it.
#include "aliases/AliasFile.h"

#include <windows.h>

#include <filesystem>

#include "shell/Files.h"
#include "shell/TextConv.h"

namespace vantrel {
namespace {

// The user locale's case-insensitive comparison of two names in the ANSI code page.
bool SameNameUserLocale(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace

bool TAliasFile::TSettings::DirectoryExists(const std::string& path) const {
  return vantrel::DirectoryExists(FromAnsi(path));
}

TAliasFile::TAliasFile()
    : settings_(ToAnsi(IncludeTrailingDelimiter(ProgramFolder()))), list_(&settings_, SameNameUserLocale) {
  // Until a file says otherwise: the tunnel on its usual port, the protocol's own port.
  settings_.SetZeeBeeDee(true);
  settings_.SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  settings_.SetSocketPort(kDefaultSocketPort);
  settings_.saveAliasFile = [this] { Save(); };
}

bool TAliasFile::Load(const std::wstring& path) {
  path_ = path;
  list_.SetRules(RulesForFile(std::filesystem::path(path)));
  if (!FileExists(path)) return false;
  list_.Load(std::filesystem::path(path));
  return true;
}

void TAliasFile::Save() { list_.Save(std::filesystem::path(path_)); }

}  // namespace vantrel
