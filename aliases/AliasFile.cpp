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

// The listed alias at line: the page's edits are made again by name on a later content.
TAliasEntry EntryAt(const TAliasList& list, int line) {
  for (TListedAlias& alias : list.ListedAliases())
    if (alias.line == line) return std::move(alias.entry);
  return {RawNameOf(list.LineAt(line)), RawValueOf(list.LineAt(line))};
}

}  // namespace

bool TAliasFile::TSettings::DirectoryExists(const std::string& path) const {
  return vantrel::DirectoryExists(FromAnsi(path));
}

TAliasFile::TAliasFile()
    : settings_(ToAnsi(IncludeTrailingDelimiter(ProgramFolder()))),
      disk_(settings_, SameNameUserLocale),
      view_(&settings_, SameNameUserLocale) {
  // Until a file says otherwise: the tunnel on its usual port, the protocol's own port.
  settings_.SetZeeBeeDee(true);
  settings_.SetZeeBeeDeePort(kDefaultZeeBeeDeePort);
  settings_.SetSocketPort(kDefaultSocketPort);
}

bool TAliasFile::Load(const std::wstring& path) {
  disk_.SetPath(std::filesystem::path(path));
  view_.SetRules(disk_.Rules());
  edits_.clear();
  if (!FileExists(path)) return false;
  disk_.Refresh();
  // Without administrator rights the file may be read-only; the page then offers no edits.
  readOnly_ = !CanOpenForReadWrite(std::filesystem::path(path));
  readOnlySince_ = std::chrono::steady_clock::now();
  ShowDisk(false);
  // The settings a load had to take from their defaults are written back, as the lines the
  // server's file then carries for the next start.
  if (disk_.DefaultsUsed() && !readOnly_) {
    disk_.Apply();
    ShowDisk(false);
  }
  return true;
}

void TAliasFile::ShowDisk(bool keepSettings) {
  shownVersion_ = disk_.Version();
  view_.CopyLinesFrom(disk_.Lines());
  for (const TAliasEdit& edit : edits_) ApplyAliasEdit(view_, edit, [] { return true; });
  if (keepSettings) return;
  shownFromDisk_ = disk_.Settings();
  settings_.SetValues(shownFromDisk_, /*countAsPending=*/false);
}

void TAliasFile::AddAlias(const std::string& name, const std::string& path) {
  view_.AddLine(name + "=" + path);
  edits_.push_back({TAliasEdit::Add, "", "", name, path});
}

void TAliasFile::EditAlias(int line, const std::string& name, const std::string& path) {
  const TAliasEntry before = EntryAt(view_, line);
  view_.EditAlias(line, name, path);
  edits_.push_back({TAliasEdit::Change, before.name, before.path, name, path});
}

void TAliasFile::DeleteAlias(int line) {
  const TAliasEntry before = EntryAt(view_, line);
  view_.DeleteAlias(line);
  edits_.push_back({TAliasEdit::Delete, before.name, before.path, "", ""});
}

void TAliasFile::Save(const std::function<bool(const std::string& alias)>& keepPage,
                      const std::function<void(std::chrono::milliseconds)>& pauseWhileHeld) {
  // One answer per alias, however often the change is made again on a newer content.
  std::vector<std::pair<std::string, bool>> answers;
  auto decide = [&](const std::string& alias) {
    for (const auto& [name, keep] : answers)
      if (name == alias) return keep;
    const bool keep = !keepPage || keepPage(alias);
    answers.emplace_back(alias, keep);
    return keep;
  };
  const TAliasSettingsValues shown = settings_.Values();
  const TAliasSettingsValues base = shownFromDisk_;
  RetryWhileHeld([&] { disk_.Apply([&](TAliasList& list) {
    for (const TAliasEdit& edit : edits_)
      ApplyAliasEdit(list, edit, [&] { return decide(edit.kind == TAliasEdit::Add ? edit.newName : edit.name); });
    // Only the settings the user changed: the others stay as the file has them now.
    if (shown.defaultPath != base.defaultPath) list.SetDefaultPath(shown.defaultPath);
    if (shown.zeeBeeDee != base.zeeBeeDee) list.SetZeeBeeDee(shown.zeeBeeDee);
    if (shown.zeeBeeDeePort != base.zeeBeeDeePort) list.SetZeeBeeDeePort(shown.zeeBeeDeePort);
    if (shown.socketPort != base.socketPort) list.SetSocketPort(shown.socketPort);
  }); }, pauseWhileHeld);
  edits_.clear();
  ShowDisk(false);
}

bool TAliasFile::FollowDisk(bool keepShown) {
  if (disk_.Path().empty()) return false;
  const bool writable = BecameWritable();
  disk_.RefreshQuietly();  // a file that cannot be read now leaves what is shown
  if (disk_.Version() == shownVersion_) return writable;
  ShowDisk(keepShown);
  return true;
}

// The look opens the file without sharing for a moment, so it is not made at every refresh.
bool TAliasFile::BecameWritable() {
  constexpr auto kLookEvery = std::chrono::seconds(5);
  if (!readOnly_ || std::chrono::steady_clock::now() - readOnlySince_ < kLookEvery) return false;
  readOnlySince_ = std::chrono::steady_clock::now();
  readOnly_ = !CanOpenForReadWrite(disk_.Path());
  return !readOnly_;
}

void TAliasFile::DiscardEdits() {
  if (edits_.empty()) return;
  edits_.clear();
  ShowDisk(/*keepSettings=*/true);
}

}  // namespace vantrel
