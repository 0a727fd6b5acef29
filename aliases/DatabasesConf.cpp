#include "aliases/DatabasesConf.h"

#include "aliases/AliasList.h"
#include "shell/rules/TextRules.h"

namespace vantrel {

std::string_view WithoutConfComment(std::string_view line) {
  const std::string_view trimmed = TrimView(line);
  if (!trimmed.empty() && trimmed.front() == '#') return {};
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == '#' && !quoted) return line.substr(0, i);
  }
  return line;
}

namespace {

std::size_t TrailingCount(std::string_view text, char c) {
  std::size_t n = 0;
  while (n < text.size() && text[text.size() - 1 - n] == c) ++n;
  return n;
}

bool IsLone(std::string_view line, std::string_view brace) { return TrimView(WithoutConfComment(line)) == brace; }

}  // namespace

bool EndsWithBlockOpen(std::string_view text) { return TrailingCount(TrimView(text), '{') % 2 == 1; }

std::string_view WithoutBlockOpen(std::string_view line) {
  std::string_view text = TrimView(WithoutConfComment(line));
  return EndsWithBlockOpen(text) ? TrimView(text.substr(0, text.size() - 1)) : text;
}

std::vector<ConfLine> ClassifyDatabasesConf(const std::vector<std::string>& lines) {
  std::vector<ConfLine> roles(lines.size(), ConfLine::Other);
  int depth = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = TrimView(WithoutConfComment(lines[i]));
    if (depth > 0) {
      if (IsLone(lines[i], "}")) {
        --depth;
        roles[i] = depth == 0 ? ConfLine::BlockClose : ConfLine::BlockBody;
      } else {
        if (EndsWithBlockOpen(text)) ++depth;  // a block within the block: its lines are the block's
        roles[i] = ConfLine::BlockBody;
      }
      continue;
    }
    if (text == "{") {
      roles[i] = ConfLine::BlockOpen;
      depth = 1;
    } else if (text.find('=') != std::string_view::npos) {
      if (EndsWithBlockOpen(text)) {
        roles[i] = ConfLine::AliasBlock;
        depth = 1;
      } else {
        roles[i] = ConfLine::Alias;
      }
    }
  }
  return roles;
}

std::optional<TAliasEntry> DatabasesConfEntryOf(std::string_view line) {
  const std::string_view text = WithoutBlockOpen(line);
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::string_view path = TrimView(text.substr(eq + 1));
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  TAliasEntry entry{Trim(text.substr(0, eq)), std::string(path)};
  if (entry.name.empty() || entry.path.empty()) return std::nullopt;
  return entry;
}

std::size_t EndOfAliasWithBlock(const std::vector<ConfLine>& roles, std::size_t index) {
  std::size_t next = index + 1;
  if (index >= roles.size()) return next;
  if (roles[index] == ConfLine::Alias) {
    // The block may open on the next line, after blank or comment lines between them.
    while (next < roles.size() && roles[next] == ConfLine::Other) ++next;
    if (next >= roles.size() || roles[next] != ConfLine::BlockOpen) return index + 1;
  } else if (roles[index] != ConfLine::AliasBlock) {
    return next;
  } else {
    next = index;
  }
  for (std::size_t i = next + 1; i < roles.size(); ++i)
    if (roles[i] == ConfLine::BlockClose) return i + 1;
  return roles.size();  // a block left open runs to the end
}

}  // namespace vantrel
