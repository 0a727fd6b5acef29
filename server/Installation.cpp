#include "server/Installation.h"

namespace vantrel {
namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring WithoutTrailingBackslash(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& tail) {
  if (text.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    wchar_t a = text[text.size() - tail.size() + i], b = tail[i];
    if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
    if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
    if (a != b) return false;
  }
  return true;
}

std::wstring AliasFileOf(const std::wstring& root, ServerLayout layout, const FileExistsFn& exists) {
  const std::wstring databasesConf = root + kDatabasesConf;
  const std::wstring aliasesConf = root + kAliasesConf;
  if (layout != ServerLayout::RootFolder) return aliasesConf;
  return !exists(databasesConf) && exists(aliasesConf) ? aliasesConf : databasesConf;
}

}  // namespace

std::wstring WithTrailingBackslash(std::wstring path) {
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

bool TInstallation::UsesDatabasesConf() const { return EndsWithIgnoringCase(aliasFile, kDatabasesConf); }

TInstallation DescribeInstallation(const std::wstring& root, ServerLayout layout, ServerKind kind,
                                   const FileExistsFn& exists) {
  TInstallation found;
  found.layout = layout;
  found.kind = kind;
  found.rootDir = root;
  const std::wstring rootFolder = WithTrailingBackslash(root);
  found.programDir = layout == ServerLayout::RootFolder ? WithoutTrailingBackslash(rootFolder)
                                                        : rootFolder + L"bin";
  const std::wstring programs = found.programDir + L"\\";

  found.serverExeName = layout == ServerLayout::RootFolder ? kRootLayoutServerExe
                                                           : Widen(KindNameOf(kind, ServerExe));
  found.guardianExeName = Widen(KindNameOf(kind, GuardianExe));
  found.serverWindowClass = Widen(KindNameOf(kind, ServerWindowClass));
  found.guardianWindowClass = Widen(KindNameOf(kind, GuardianWindowClass));
  found.serverServiceName = Widen(KindNameOf(kind, ServerServiceName));
  found.guardianServiceName = Widen(KindNameOf(kind, GuardianServiceName));

  found.serverExe = programs + found.serverExeName;
  found.guardianExe = programs + found.guardianExeName;
  found.instreg = programs + L"instreg.exe";
  found.instsvc = programs + L"instsvc.exe";
  // 2.5 has an instclient.exe too, but its root change copies bin\gds32.dll as it always did.
  if (layout == ServerLayout::RootFolder) found.instclient = programs + L"instclient.exe";
  found.clientLibrary = programs + (layout == ServerLayout::RootFolder ? L"fbclient.dll" : L"gds32.dll");
  if (layout == ServerLayout::RootFolder)
    found.clientLibraries = {programs + L"fbclient.dll"};
  else
    found.clientLibraries = {programs + L"fbclient.dll", programs + L"gds32.dll"};
  found.localServerPrefix = layout == ServerLayout::RootFolder ? L"127.0.0.1:" : L"\\\\127.0.0.1\\";
  found.aliasFile = AliasFileOf(rootFolder, layout, exists);
  found.serverLog = rootFolder + kServerLogFile;
  return found;
}

TInstallation FindInstallation(const std::wstring& root, const FileExistsFn& exists) {
  struct Try {
    ServerLayout layout;
    ServerKind kind;
  };
  constexpr Try kOrder[] = {{ServerLayout::BinFolder, skFirebird},
                            {ServerLayout::RootFolder, skFirebird},
                            {ServerLayout::BinFolder, skInterBase}};
  TInstallation candidate;
  for (const Try& t : kOrder) {
    candidate = DescribeInstallation(root, t.layout, t.kind, exists);
    if (exists(candidate.serverExe)) return candidate;
  }
  // No kind: its names are empty, as a guardian path without a file name shows.
  TInstallation none = DescribeInstallation(root, ServerLayout::None, skNone, exists);
  none.serverExe = candidate.serverExe;
  none.programDir = candidate.programDir;
  none.guardianExe = candidate.programDir + L"\\";
  return none;
}

}  // namespace vantrel
