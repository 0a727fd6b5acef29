#include "server/uFileVersion.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <vector>

namespace vantrel {
namespace {

constexpr std::size_t MaxValueLength = 255;
constexpr wchar_t StringTable[] = L"\\StringFileInfo\\040904E4\\";

std::wstring QueryValue(const std::vector<BYTE>& record, const wchar_t* key) {
  std::wstring subBlock = StringTable;
  subBlock += key;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(record.data(), subBlock.c_str(), &value, &length) || !value) return {};
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, std::min<std::size_t>(length, MaxValueLength)));
}

}  // namespace

void TFileVersionData::SetWorkFileName(const std::wstring& path) {
  workFileName_ = path;
  std::wstring* fields[] = {&CompanyName,    &FileDescription,  &FileVersion, &InternalName,
                            &LegalCopyright, &LegalTrademarks,  &OriginalFilename,
                            &ProductName,    &ProductVersion,   &Comments};
  for (std::wstring* field : fields) field->clear();
  if (path.empty()) return;

  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return;
  std::vector<BYTE> record(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return;

  // The trademark key is spelled with a capital M in the records this program reads.
  const wchar_t* keys[] = {L"CompanyName",    L"FileDescription", L"FileVersion",
                           L"InternalName",   L"LegalCopyright",  L"LegalTradeMarks",
                           L"OriginalFilename", L"ProductName",   L"ProductVersion",
                           L"Comments"};
  for (std::size_t i = 0; i < std::size(keys); ++i) *fields[i] = QueryValue(record, keys[i]);
}

std::wstring VersionText(const std::wstring& path) {
  TFileVersionData data;
  data.SetWorkFileName(path);
  return data.FileDescription + L" " + data.FileVersion;
}

}  // namespace vantrel
