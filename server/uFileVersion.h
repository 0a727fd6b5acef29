#pragma once
// String values of an executable's version record (table StringFileInfo\040904E4 only).
#include <string>

namespace vantrel {

class TFileVersionData {
 public:
  TFileVersionData() = default;
  std::wstring CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
      LegalTrademarks, OriginalFilename, ProductName, ProductVersion, Comments;
  const std::wstring& WorkFileName() const { return workFileName_; }
  void SetWorkFileName(const std::wstring& path);  // reads the record; clears all on failure

 private:
  std::wstring workFileName_;
};

// FileDescription + " " + FileVersion; a single blank for a file without a record.
std::wstring VersionText(const std::wstring& path);

}  // namespace vantrel
