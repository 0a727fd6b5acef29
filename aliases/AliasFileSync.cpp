#include "aliases/AliasFileSync.h"

#include <optional>
#include <system_error>

namespace vantrel {
namespace {

// Bounds the reads and applies of one Apply while another program keeps replacing the file.
constexpr int kApplyAttempts = 8;

std::optional<TListedAlias> FindListed(const TAliasList& list, const std::string& name) {
  const int line = list.FindAlias(name);
  if (line < 0) return std::nullopt;
  for (TListedAlias& alias : list.ListedAliases())
    if (alias.line == line) return std::move(alias);
  return std::nullopt;
}

// The settings a read starts from; folders are looked up as the base looks them up.
class TScratchSettings final : public TPlainAliasSettings {
 public:
  TScratchSettings(const IAliasSettings& base, const TAliasSettingsValues& start)
      : TPlainAliasSettings(base.ExecutableFolder()), base_(base) {
    SetValues(start);
  }
  bool DirectoryExists(const std::string& path) const override { return base_.DirectoryExists(path); }

 private:
  const IAliasSettings& base_;
};

TAliasSettingsValues ValuesOf(const IAliasSettings& settings) {
  return {settings.DefaultPath(), settings.ZeeBeeDee(), settings.ZeeBeeDeePort(), settings.SocketPort()};
}

}  // namespace

bool EditConflicts(const TAliasList& list, const TAliasEdit& edit) {
  if (edit.kind == TAliasEdit::Add) return list.ContainsAlias(edit.newName);
  const auto found = FindListed(list, edit.name);
  if (!found) return edit.kind == TAliasEdit::Change;  // a deleted alias that is gone is no conflict
  return found->entry.path != edit.path;
}

void ApplyAliasEdit(TAliasList& list, const TAliasEdit& edit, const std::function<bool()>& keepPage) {
  const bool conflict = EditConflicts(list, edit);
  if (conflict && !(keepPage && keepPage())) return;
  const std::string& key = edit.kind == TAliasEdit::Add ? edit.newName : edit.name;
  const std::optional<TListedAlias> found = FindListed(list, key);
  switch (edit.kind) {
    case TAliasEdit::Add:
    case TAliasEdit::Change:
      if (found)
        list.EditAlias(found->line, edit.newName, edit.newPath);
      else
        list.AddLine(edit.newName + "=" + edit.newPath);
      break;
    case TAliasEdit::Delete:
      if (found) list.DeleteAlias(found->line);
      break;
  }
}

TAliasFileSync::TAliasFileSync(const IAliasSettings& base, NameComparer sameName)
    : base_(base), sameName_(sameName), list_(nullptr, std::move(sameName)) {}

void TAliasFileSync::SetPath(std::filesystem::path path) {
  // Aliases waiting for another file are not written into this one.
  if (path != path_) pending_.clear();
  path_ = std::move(path);
  list_.SetRules(RulesForFile(path_));
  list_.SetText({});
  settings_ = {};
  text_.clear();
  stamp_ = {};
  read_ = false;
  defaultsUsed_ = false;
}

void TAliasFileSync::Parse(const std::string& text) {
  TScratchSettings settings(base_, read_ ? settings_ : ValuesOf(base_));
  TAliasList parsed(&settings, sameName_);
  parsed.SetRules(list_.Rules());
  defaultsUsed_ = parsed.LoadText(text);
  list_.CopyLinesFrom(parsed);
  settings_ = settings.Values();
  text_ = text;
  ++version_;
}

bool TAliasFileSync::Refresh() {
  const TFileStamp now = FileStampOf(path_);
  if (read_ && now == stamp_) return false;
  std::string text;
  TFileStamp stamp;
  if (now.exists) {
    try {
      text = ReadWholeFile(path_, &stamp);
    } catch (const EAliasFileError&) {
      if (FileStampOf(path_).exists) throw;
      text.clear();  // removed between the two calls: it reads as missing
      stamp = {};
    }
  }
  stamp_ = stamp;
  if (read_ && text == text_) return false;
  Parse(text);
  read_ = true;
  return true;
}

void TAliasFileSync::RefreshQuietly() {
  try {
    Refresh();
  } catch (const EAliasFileError&) {
    // The content read last stays the answer until the file can be read again.
  }
}

bool TAliasFileSync::HasAlias(const std::string& name) const {
  if (list_.ContainsAlias(name)) return true;
  for (const TPendingAlias& pending : pending_)
    if (sameName_(pending.alias, name)) return true;
  return false;
}

std::vector<std::string> TAliasFileSync::SendableLinesNow() {
  RefreshQuietly();
  return list_.SendableLines();
}

std::string TAliasFileSync::DefaultPathNow(const std::string& withoutFile) {
  RefreshQuietly();
  return Exists() ? settings_.defaultPath : withoutFile;
}

bool TAliasFileSync::HasAliasNow(const std::string& name) {
  RefreshQuietly();
  return HasAlias(name);
}

void TAliasFileSync::AddAlias(const std::string& alias, const std::string& path) {
  Apply([&](TAliasList& list) {
    if (!list.ContainsAlias(alias)) list.AddLine(alias + "=" + path);
  });
}

void TAliasFileSync::Apply(const TAliasChange& change) {
  for (int attempt = 0; attempt < kApplyAttempts; ++attempt) {
    Refresh();
    TScratchSettings settings(base_, settings_);
    TAliasList work(&settings, sameName_);
    work.SetRules(list_.Rules());
    work.CopyLinesFrom(list_);
    for (const TPendingAlias& pending : pending_)
      if (!work.ContainsAlias(pending.alias)) work.AddLine(pending.alias + "=" + pending.path);
    if (change) change(work);
    work.UpdateSettingsLines();
    std::string text = work.Text();
    if (stamp_.exists && text == text_) {
      pending_.clear();
      return;
    }
    const TFileStamp readStamp = stamp_;
    TFileStamp written;
    if (!WriteFileAtomically(path_, text, [&] { return FileStampOf(path_) == readStamp; }, &written)) continue;
    list_.CopyLinesFrom(work);
    settings_ = settings.Values();
    text_ = std::move(text);
    stamp_ = written;
    defaultsUsed_ = false;
    pending_.clear();
    ++version_;
    return;
  }
  const std::string where = path_.string();
  const std::string reason = "another program kept changing it";
  throw EAliasFileError("Cannot write file \"" + where + "\". " + reason, where, reason,
                        static_cast<int>(std::errc::resource_unavailable_try_again), /*held=*/true);
}

}  // namespace vantrel
