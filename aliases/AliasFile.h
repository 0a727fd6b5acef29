#pragma once
// The window's alias file: the lines in memory, the four settings kept in it as plain values,
// loading from and saving to the installation's file.
#include <functional>
#include <string>

#include "aliases/AliasList.h"

namespace vantrel {

class TAliasFile {
 public:
  TAliasFile();
  TAliasFile(const TAliasFile&) = delete;
  TAliasFile& operator=(const TAliasFile&) = delete;

  TAliasList& List() { return list_; }
  const TAliasList& List() const { return list_; }
  // The default database folder, the tunnel and the two ports: shown on the tunnel settings
  // and socket pages, changed there and by a load.
  TPlainAliasSettings& Settings() { return settings_; }

  // Takes the file's lines and settings; false, with nothing read, when the file does not exist.
  // Raises EAliasFileError when it exists but cannot be read.
  bool Load(const std::wstring& path);
  void Save();

 private:
  class TSettings final : public TPlainAliasSettings {
   public:
    using TPlainAliasSettings::TPlainAliasSettings;
    bool DirectoryExists(const std::string& path) const override;
  };

  TSettings settings_;
  TAliasList list_;
  std::wstring path_;
};

}  // namespace vantrel
