#include "aliases/AliasFileSync.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "aliases/DatabasesConf.h"
#include <system_error>

namespace vantrel {
namespace {

// Bounds the reads and applies of one Apply while another program keeps replacing the file.
constexpr int kApplyAttempts = 8;
// How long one Apply waits for another writer's lock; callers that may wait longer try again.
constexpr std::chrono::milliseconds kLockWait{200};

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

void RetryWhileHeld(const std::function<void()>& attempt,
                    const std::function<void(std::chrono::milliseconds)>& pause) {
  auto next = kHeldFileFirstPause;
  std::chrono::milliseconds waited{0};
  for (;;) {
    try {
      attempt();
      return;
    } catch (const EAliasFileError& e) {
      if (!e.Held() || !pause || waited >= kHeldFileWait) throw;
    }
    pause(next);
    waited += next;
    next = std::min(next * 2, kHeldFileLongestPause);
  }
}

void TAliasFileSync::SetPath(std::filesystem::path path) {
  // Aliases waiting for another file are not written into this one: they wait for their own.
  if (path != path_ && !pending_.empty()) {
    auto& waiting = elsewhere_[path_];
    waiting.insert(waiting.end(), pending_.begin(), pending_.end());
    pending_.clear();
  }
  if (auto back = elsewhere_.find(path); back != elsewhere_.end()) {
    pending_ = std::move(back->second);
    elsewhere_.erase(back);
  }
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
  for (const std::string& reserved : reserved_)
    if (sameName_(reserved, name)) return true;
  return false;
}

void TAliasFileSync::WritePendingElsewhere() {
  for (auto it = elsewhere_.begin(); it != elsewhere_.end();) {
    TAliasFileSync other(base_, sameName_);
    other.notice = notice;
    other.SetPath(it->first);
    for (const TPendingAlias& pending : it->second) other.KeepPending(pending);
    try {
      other.Apply();
      Notice(TNotice::WaitingWritten, it->first.string());
      it = elsewhere_.erase(it);
    } catch (const EAliasFileError&) {
      ++it;  // tried again at the next turn
    }
  }
}

TAliasFileSync::TPendingWrite TAliasFileSync::WritePending() {
  WritePendingElsewhere();
  if (pending_.empty()) return TPendingWrite::Nothing;
  try {
    Apply();
  } catch (const EAliasFileError&) {
    return TPendingWrite::Waiting;  // tried again at the next turn
  }
  return TPendingWrite::Written;
}

std::size_t TAliasFileSync::PendingCount() const {
  std::size_t count = pending_.size();
  for (const auto& [file, waiting] : elsewhere_) count += waiting.size();
  return count;
}

void TAliasFileSync::Release(const std::string& name) {
  const auto found = std::find(reserved_.begin(), reserved_.end(), name);
  if (found != reserved_.end()) reserved_.erase(found);
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

namespace {

// Why the line just added to list as alias=path would not do: the server would not read it as
// that alias (a block left open above swallows it) or would refuse the file for it.
std::optional<std::string> AddedLineProblem(const TAliasList& before, const TAliasList& list, int line,
                                            const std::string& alias, const std::string& path) {
  const auto listed = list.ListedAliases();
  const bool readAsAlias = std::any_of(listed.begin(), listed.end(), [&](const TListedAlias& a) {
    return a.line == line && a.entry.name == alias && a.entry.path == path;
  });
  if (!readAsAlias) return "the line would not be read as an alias (a block above it is not closed)";
  if (auto concern = NewConfConcern(before.Lines(), list.Lines(), list.Rules() == AliasFileRules::DatabasesConf))
    return "the database server would refuse the file (" + *concern + ")";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TAliasFileSync::NewAliasProblem(const std::string& alias, const std::string& path) {
  RefreshQuietly();
  TAliasList work(nullptr, sameName_);
  work.SetRules(list_.Rules());
  work.CopyLinesFrom(list_);
  const int line = work.AddLine(alias + "=" + path);
  return AddedLineProblem(list_, work, line, alias, path);
}

bool TAliasFileSync::AddAlias(const std::string& alias, const std::string& path) {
  bool added = false;
  Apply([&](TAliasList& list) {
    added = !list.ContainsAlias(alias);
    if (!added) return;
    TAliasList before(nullptr, sameName_);
    before.SetRules(list.Rules());
    before.CopyLinesFrom(list);
    const int line = list.AddLine(alias + "=" + path);
    if (const auto problem = AddedLineProblem(before, list, line, alias, path)) {
      const std::string where = path_.string();
      throw EAliasFileError("Cannot write file \"" + where + "\". " + *problem, where, *problem,
                            static_cast<int>(std::errc::invalid_argument));
    }
  });
  return added;
}

void TAliasFileSync::Apply(const TAliasChange& change) {
  const bool blocks = list_.Rules() == AliasFileRules::DatabasesConf;
  for (int attempt = 0; attempt < kApplyAttempts; ++attempt) {
    const TAliasFileLock lock = TAliasFileLock::Take(path_, kLockWait);
    Refresh();
    TScratchSettings settings(base_, settings_);
    TAliasList work(&settings, sameName_);
    work.SetRules(list_.Rules());
    work.CopyLinesFrom(list_);
    std::vector<std::string> dropped;
    for (const TPendingAlias& pending : pending_) {
      if (work.ContainsAlias(pending.alias))
        dropped.push_back(pending.alias + "=" + pending.path);
      else
        work.AddLine(pending.alias + "=" + pending.path);
    }
    if (change) change(work);
    work.UpdateSettingsLines();
    std::string text = work.Text();
    if (stamp_.exists && text == text_) {
      pending_.clear();
      for (const std::string& line : dropped) Notice(TNotice::AliasDropped, line);
      return;
    }
    // Whatever asked for it, a content the server would refuse is never written.
    if (const auto concern = NewConfConcern(list_.Lines(), work.Lines(), blocks)) {
      const std::string where = path_.string();
      const std::string reason = "the database server would refuse the file (" + *concern + ")";
      throw EAliasFileError("Cannot write file \"" + where + "\". " + reason, where, reason,
                            static_cast<int>(std::errc::invalid_argument));
    }
    const TFileStamp readStamp = stamp_;
    TFileStamp written;
    TNotKept notKept;
    if (!WriteFileAtomically(path_, text, &readStamp, &written, &notKept)) continue;
    for (const std::string& what : notKept) Notice(TNotice::NotKept, path_.string() + ": " + what);
    for (const std::string& line : dropped) Notice(TNotice::AliasDropped, line);
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

void TAliasFileSync::Notice(TNotice kind, const std::string& detail) const {
  if (notice) notice(kind, detail);
}

}  // namespace vantrel
