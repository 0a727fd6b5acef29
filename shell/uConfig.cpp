#include "shell/uConfig.h"

#include <shlobj.h>

#include <memory>

#include "shell/Files.h"
#include "shell/OsError.h"
#include "shell/TextConv.h"
#include "shell/rules/IniValues.h"

namespace vantrel {
namespace {

constexpr DWORD kMaxValue = 2048;  // values are read back with at most 2047 characters

std::wstring AsciiLower(std::wstring text) {
  for (auto& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return text;
}

struct ItemListDeleter {
  void operator()(ITEMIDLIST* list) const { ILFree(list); }
};

}  // namespace

void TToolLines::Add(std::wstring line) {
  lines_.push_back(std::move(line));
  Changed();
}

void TToolLines::Set(std::size_t i, std::wstring line) {
  lines_.at(i) = std::move(line);
  Changed();
}

void TToolLines::Delete(std::size_t i) {
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
  Changed();
}

void TToolLines::Changed() {
  if (onChange_) onChange_();
}

std::wstring SpecialFolderPath(int csidl) {
  ITEMIDLIST* raw = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)) || !raw) return {};
  std::unique_ptr<ITEMIDLIST, ItemListDeleter> list(raw);
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(list.get(), path) || path[0] == L'\0') return {};
  return IncludeTrailingDelimiter(path);
}

std::wstring ConfigFileName() {
  std::wstring exe = ProgramFilePath();
  std::wstring name = exe.substr(exe.find_last_of(L"\\/") + 1);
  auto dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  name = AsciiLower(name + L".ini");

  std::wstring folder;
  std::wstring profile = SpecialFolderPath(CSIDL_PROFILE);
  if (!profile.empty()) {
    folder = profile + L".firebird";
    if (!DirectoryExists(folder)) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  } else {
    folder = ProgramFolder();
  }
  return IncludeTrailingDelimiter(folder) + name;
}

TConfigData& Config() {
  static TConfigData config(ConfigFileName());
  return config;
}

TConfigData::TConfigData(std::wstring fileName) : fileName_(std::move(fileName)) {
  tools_.onChange_ = [this] { SaveTools(); };
  LoadTools();
}

TConfigData::~TConfigData() {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, fileName_.c_str());  // flush
}

std::wstring TConfigData::Read(const wchar_t* section, const wchar_t* key,
                               const wchar_t* fallback) const {
  wchar_t buffer[kMaxValue];
  DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer, kMaxValue, fileName_.c_str());
  return std::wstring(buffer, n);
}

int TConfigData::ReadInteger(const wchar_t* section, const wchar_t* key, int fallback) const {
  return ReadIniInteger(ToAnsi(Read(section, key, L"")), fallback);
}

void TConfigData::Write(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  if (!WritePrivateProfileStringW(section, key, value.c_str(), fileName_.c_str()))
    throw EActionError(L"Unable to write to " + fileName_);
}

bool TConfigData::ShowTrayIcon() const {
  return ReadIniBool(ToAnsi(Read(L"Generic", L"ShowTrayIcon", L"")), false);
}

void TConfigData::SetShowTrayIcon(bool value) { Write(L"Generic", L"ShowTrayIcon", value ? L"1" : L"0"); }

std::wstring TConfigData::ChosenInstallation() const { return Read(L"Generic", L"Installation", L""); }
void TConfigData::SetChosenInstallation(const std::wstring& root) { Write(L"Generic", L"Installation", root); }

RECT TConfigData::GetWinPos() const {
  return RECT{ReadInteger(L"WinPos", L"Left", 0), ReadInteger(L"WinPos", L"Top", 0),
              ReadInteger(L"WinPos", L"Right", 0), ReadInteger(L"WinPos", L"Bottom", 0)};
}

void TConfigData::SetWinPos(const RECT& r) {
  Write(L"WinPos", L"Left", std::to_wstring(r.left));
  Write(L"WinPos", L"Top", std::to_wstring(r.top));
  Write(L"WinPos", L"Right", std::to_wstring(r.right));
  Write(L"WinPos", L"Bottom", std::to_wstring(r.bottom));
}

void TConfigData::LoadTools() {
  auto handler = std::move(tools_.onChange_);
  tools_.onChange_ = nullptr;
  struct Reattach {
    TToolLines& tools;
    std::function<void()>& handler;
    ~Reattach() { tools.onChange_ = std::move(handler); }
  } reattach{tools_, handler};

  const int count = ReadInteger(L"Tools", L"Count", 0);
  tools_.lines_.clear();
  for (int i = 0; i < count; ++i) {
    std::wstring item = Read(L"Tools", (L"Item" + std::to_wstring(i)).c_str(), L"");
    if (!item.empty()) tools_.lines_.push_back(std::move(item));
  }
}

void TConfigData::SaveTools() {
  // Erasing a missing section is no error; a refused write of the erase is.
  std::wstring probe = Read(L"Tools", nullptr, L"");
  if (!probe.empty() && !WritePrivateProfileStringW(L"Tools", nullptr, nullptr, fileName_.c_str()))
    throw EActionError(L"Unable to write to " + fileName_);
  Write(L"Tools", L"Count", std::to_wstring(tools_.Count()));
  for (std::size_t i = 0; i < tools_.Count(); ++i)
    Write(L"Tools", (L"Item" + std::to_wstring(i)).c_str(), tools_[i]);
}

}  // namespace vantrel
