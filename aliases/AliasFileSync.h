#pragma once
// The alias file kept in step with the disk. It belongs to the database server and is edited by
// hand and by other tools too, so reads see the file as it is now, and every change is applied to
// the file's current content and never written as an older copy over what someone else wrote.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "aliases/AliasList.h"

namespace vantrel {

// A change to the file's lines and settings. The list's host holds the settings read with those
// lines. It may run more than once (again when the file changes under it), each time on a fresh
// copy, so it must act only on what it is given.
using TAliasChange = std::function<void(TAliasList& list)>;

// A held alias file is tried again after pauses that grow from the first to the longest, until
// they add up to the whole wait: by a create's connection, and by the page's Apply.
inline constexpr std::chrono::milliseconds kHeldFileFirstPause{50};
inline constexpr std::chrono::milliseconds kHeldFileLongestPause{1000};
inline constexpr std::chrono::milliseconds kHeldFileWait{10000};

// Runs attempt until it does not fail with a held file, pausing between tries as above; a held
// failure after the whole wait, or any other failure, propagates. Without pause it runs once.
void RetryWhileHeld(const std::function<void()>& attempt,
                    const std::function<void(std::chrono::milliseconds)>& pause);

// An alias whose database exists but whose line could not be written yet.
struct TPendingAlias {
  std::string alias;
  std::string path;
};

// An edit of the alias page, made again by name on whatever the file holds at Apply. name and
// path are the alias as the page showed it before the edit (none for an add).
struct TAliasEdit {
  enum Kind { Add, Change, Delete };
  Kind kind = Add;
  std::string name, path;        // before (Change, Delete)
  std::string newName, newPath;  // after (Add, Change)
};

// Whether an edit no longer meets the alias it was made on: the alias was changed or removed on
// disk meanwhile, or (for an add) another alias of that name was added.
bool EditConflicts(const TAliasList& list, const TAliasEdit& edit);
// Makes the edit on list by name. keepPage is asked when the edit conflicts: true makes the page's
// version win (a vanished alias is added again, an existing one of an added name is changed),
// false leaves the file's version.
void ApplyAliasEdit(TAliasList& list, const TAliasEdit& edit, const std::function<bool()>& keepPage);

// Not locked: callers serialise every call (the window thread, or the command host's lock).
class TAliasFileSync {
 public:
  // base: where a read's settings start (a default-path line naming no existing folder keeps its
  // value) and how folders are looked up. The sync reads it and never changes it.
  TAliasFileSync(const IAliasSettings& base, NameComparer sameName);

  // Starts over with a file; nothing is read yet. Aliases waiting for the file given before stay
  // waiting for that file (PendingElsewhere), never written into this one.
  void SetPath(std::filesystem::path path);
  const std::filesystem::path& Path() const { return path_; }
  AliasFileRules Rules() const { return list_.Rules(); }

  // Reads the file again when its stamp differs from the last read's (otherwise it costs one
  // status call) and tells whether the content differs. A missing file reads as empty. Raises
  // EAliasFileError when the file exists but cannot be read; the last content stays then.
  bool Refresh();
  // Refresh, with a failed read leaving the last content: for answers that must not fail.
  void RefreshQuietly();
  bool Exists() const { return stamp_.exists; }
  const TAliasList& Lines() const { return list_; }
  const TAliasSettingsValues& Settings() const { return settings_; }
  // Whether a setting had no line in the content read last.
  bool DefaultsUsed() const { return defaultsUsed_; }
  // Counts the contents seen: changes with every read or write that changed the lines.
  std::uint64_t Version() const { return version_; }

  // Applies the pending aliases and then change to the file's current content, brings the
  // settings lines up to date and replaces the file; when someone else replaced it meanwhile,
  // reads and applies again. The file's lock is held from the read to the replacement, so other
  // writers that lock it see the check and the write as one step. Raises EAliasFileError (Held()
  // when another process holds the file or keeps changing it; not held when the server would
  // refuse the new content, which is then never written); nothing is written then. Content that
  // stays as it is is not written.
  void Apply(const TAliasChange& change = {});

  // Whether an alias of that name exists in the file, waits to be written or is reserved.
  bool HasAlias(const std::string& name) const;
  // An alias a request is creating a database for: no other request gets it meanwhile.
  void Reserve(const std::string& name) { reserved_.push_back(name); }
  void Release(const std::string& name);
  // When no request runs any more (the listener stopped): nothing stays reserved.
  void ReleaseAll() { reserved_.clear(); }

  // The command server's answers, each from the file as it is now (a file that cannot be read
  // answers with its last content): the lines a client gets, the default database folder
  // (withoutFile while there is no file), whether an alias of that name exists or waits.
  std::vector<std::string> SendableLinesNow();
  std::string DefaultPathNow(const std::string& withoutFile);
  bool HasAliasNow(const std::string& name);
  // Why "alias=path" could not be added to the file as it is now: the server would not read the
  // line as that alias, or would refuse the file for it. Nothing when it can be added.
  std::optional<std::string> NewAliasProblem(const std::string& alias, const std::string& path);
  // "alias=path" added to the file, unless an alias of that name is there by then (false).
  // Raises EAliasFileError, not held, for the problems NewAliasProblem names.
  bool AddAlias(const std::string& alias, const std::string& path);

  // Created databases whose alias lines the next successful Apply writes.
  void KeepPending(TPendingAlias alias) { pending_.push_back(std::move(alias)); }
  const std::vector<TPendingAlias>& Pending() const { return pending_; }
  // Aliases waiting for files given before this one, by file.
  const std::map<std::filesystem::path, std::vector<TPendingAlias>>& PendingElsewhere() const { return elsewhere_; }
  // Tries once to write each of those into its own file; what cannot be written yet stays.
  void WritePendingElsewhere();
  // Tries once to write every waiting alias, each into its own file. Written: this file's are in
  // it now; Nothing: none of this file's waited; Waiting: the file still refuses them.
  enum class TPendingWrite { Nothing, Written, Waiting };
  TPendingWrite WritePending();
  // Every alias still waiting, here and elsewhere.
  std::size_t PendingCount() const;

  // Where the sync tells what happened that no caller hears of. Empty: nowhere.
  enum class TNotice {
    NotKept,         // detail: the file and what its replacement could not keep of it
    AliasDropped,    // detail: "alias=path" of a waiting alias whose name was taken meanwhile
    WaitingWritten,  // detail: the file that received the aliases waiting for it
  };
  std::function<void(TNotice notice, const std::string& detail)> notice;

 private:
  void Parse(const std::string& text);
  void Notice(TNotice notice, const std::string& detail) const;

  const IAliasSettings& base_;
  NameComparer sameName_;
  std::filesystem::path path_;
  TAliasList list_;
  TAliasSettingsValues settings_;
  std::string text_;
  TFileStamp stamp_;
  bool read_ = false;
  bool defaultsUsed_ = false;
  std::uint64_t version_ = 0;
  std::vector<TPendingAlias> pending_;
  std::map<std::filesystem::path, std::vector<TPendingAlias>> elsewhere_;
  std::vector<std::string> reserved_;
};

}  // namespace vantrel
