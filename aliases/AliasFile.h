#pragma once
// The window's alias file: the file as it is on disk, the page's unapplied edits shown on top of
// it, and the four settings kept in it as plain values shown on the tunnel and socket pages.
// Every change reaches the file as an operation on its current content (see AliasFileSync.h).
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "aliases/AliasFileSync.h"
#include "aliases/AliasList.h"

namespace vantrel {

class TAliasFile {
 public:
  TAliasFile();
  TAliasFile(const TAliasFile&) = delete;
  TAliasFile& operator=(const TAliasFile&) = delete;

  // What the alias page lists: the file's lines with the page's unapplied edits made on them.
  const TAliasList& List() const { return view_; }
  // The default database folder, the tunnel and the two ports: shown on the tunnel settings
  // and socket pages, changed there and by what the file holds.
  TPlainAliasSettings& Settings() { return settings_; }
  bool ReadOnly() const { return readOnly_; }

  // Takes the file's lines and settings; false, with nothing read, when the file does not exist.
  // Raises EAliasFileError when it exists but cannot be read, or lacks settings lines that cannot
  // be written back.
  bool Load(const std::wstring& path);

  // The page's edits: shown at once, made on the file at the next Save.
  void AddAlias(const std::string& name, const std::string& path);
  void EditAlias(int line, const std::string& name, const std::string& path);
  void DeleteAlias(int line);
  bool HasUnappliedEdits() const { return !edits_.empty(); }
  // The page's edits are dropped (Cancel): the list shows the file again.
  void DiscardEdits();

  // Apply: the page's edits and the settings changed since the file was last shown, made on the
  // file as it is now. keepPage(alias) decides, once per alias, where the same alias was changed
  // on disk too (true: the page's version). A file held by another program is tried again after
  // each pause (RetryWhileHeld), as a create's alias is. Raises EAliasFileError; the edits stay
  // then, so a later Save tries them again.
  void Save(const std::function<bool(const std::string& alias)>& keepPage = {},
            const std::function<void(std::chrono::milliseconds)>& pauseWhileHeld = {});

  // Reads the file again when it changed on disk (or the command server has read or changed it
  // since it was last shown). The list shown becomes what it holds now with the page's edits made
  // on it again; the settings shown follow it unless keepShown (the user has unapplied changes).
  // A file that could not be opened for writing (held by another program at start, say) is
  // looked at again every few seconds and becomes editable once it can. True when the list shown
  // or whether it is read-only changed.
  bool FollowDisk(bool keepShown);

  // The file as the command server reads and changes it.
  TAliasFileSync& Disk() { return disk_; }

 private:
  class TSettings final : public TPlainAliasSettings {
   public:
    using TPlainAliasSettings::TPlainAliasSettings;
    bool DirectoryExists(const std::string& path) const override;
  };

  void ShowDisk(bool keepSettings);
  bool BecameWritable();

  TSettings settings_;
  TAliasFileSync disk_;
  TAliasList view_;
  std::vector<TAliasEdit> edits_;
  TAliasSettingsValues shownFromDisk_;  // the settings as the file held them when last shown
  std::uint64_t shownVersion_ = 0;
  bool readOnly_ = false;
  std::chrono::steady_clock::time_point readOnlySince_;
};

}  // namespace vantrel
