#include "aliases/DatabasesConf.h"

#include <algorithm>
#include <map>

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

namespace {

// The server trims only these; other control characters stay part of the text.
std::string_view ServerTrim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The line as the server's reader holds it; a NUL is a character like any other to it.
std::string_view ServerLine(std::string_view line) { return ServerTrim(line); }

bool BlankOrComment(std::string_view rest) {
  rest = ServerTrim(rest);
  return rest.empty() || rest.front() == '#';
}

bool StartsWithInclude(std::string_view text) {
  constexpr std::string_view kInclude = "include";
  if (text.size() <= kInclude.size() || (text[kInclude.size()] != ' ' && text[kInclude.size()] != '\t')) return false;
  for (std::size_t i = 0; i < kInclude.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != kInclude[i]) return false;
  }
  return true;
}

bool IsAbsolutePath(std::string_view path) {
  if (path.size() >= 2 && (path.substr(0, 2) == "\\\\" || path.substr(0, 2) == "//")) return true;  // UNC
  if (!path.empty() && path.front() == '/') return true;
  const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
}

// Characters that mean something to the server's reader or to this program's own reading.
bool HasSpecialCharacter(std::string_view text, std::string_view specials) {
  return text.find_first_of(specials) != std::string_view::npos || text.find("$(") != std::string_view::npos;
}

std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(UpperCp1254(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

TConfLineReading ReadConfLine(std::string_view line, bool blocks) {
  TConfLineReading reading;
  const std::string_view input = ServerLine(line);
  if (input.empty() || input.front() == '#') return reading;
  auto bad = [&] {
    reading.kind = TConfLineReading::Bad;
    return reading;
  };
  if (blocks && (input.front() == '{' || input.front() == '}')) {
    if (!BlankOrComment(input.substr(1))) return bad();
    reading.kind = input.front() == '{' ? TConfLineReading::BlockOpen : TConfLineReading::BlockClose;
    return reading;
  }
  if (StartsWithInclude(input)) {
    reading.kind = TConfLineReading::Include;
    reading.value = ServerTrim(input.substr(7));
    return reading;
  }
  int quotes = 0;  // 1: inside a quoted value, 2: after it
  std::size_t equals = std::string_view::npos;
  std::size_t end = input.size();
  bool opens = false;
  bool unvouched = false;
  for (std::size_t n = 0; n < input.size(); ++n) {
    const char c = input[n];
    if (c == '"') {
      if (equals == std::string_view::npos || quotes >= 2) return bad();
      ++quotes;
    } else if (c == '=') {
      if (equals == std::string_view::npos) {
        if (ServerTrim(input.substr(0, n)).empty()) return bad();
        equals = n;
      } else if (quotes >= 2) {
        return bad();
      }
    } else if (c == '#') {
      if (quotes != 1) {
        end = n;
        break;
      }
    } else if (c == ' ' || c == '\t' || c == '\r') {
      continue;
    } else if (blocks && (c == '{' || c == '}') && quotes != 1) {
      if (c == '{' && quotes == 0 && BlankOrComment(input.substr(n + 1))) {
        opens = true;
        end = n;
        break;
      }
      unvouched = true;  // a brace inside a value: escapes and edge rules differ between versions
    } else if (quotes >= 2) {
      return bad();  // text after the closing quote
    }
  }
  if (quotes == 1) return bad();
  if (equals == std::string_view::npos) {
    // A name without a path: the server reads the file, and only that name fails to attach.
    reading.kind = TConfLineReading::Unvouched;
    reading.name = ServerTrim(input.substr(0, end));
    return reading;
  }
  reading.name = ServerTrim(input.substr(0, equals));
  std::string_view value = ServerTrim(input.substr(equals + 1, end - equals - 1));
  if (quotes == 2) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') unvouched = true;
    while (!value.empty() && value.front() == '"') value.remove_prefix(1);
    while (!value.empty() && value.back() == '"') value.remove_suffix(1);
  }
  reading.value = value;
  // The server expands macros; an empty path fails only when the alias is used.
  if (reading.value.find("$(") != std::string::npos || reading.value.empty()) unvouched = true;
  reading.kind = unvouched ? TConfLineReading::Unvouched
                 : opens   ? TConfLineReading::AliasOpens
                           : TConfLineReading::Alias;
  return reading;
}

std::vector<std::string> ConfConcerns(const std::vector<std::string>& lines, bool blocks) {
  std::vector<std::string> concerns;
  std::map<std::string, int> names;
  int depth = 0;
  bool aliasAbove = false;  // a "{" alone opens the block of the alias right above it
  for (const std::string& line : lines) {
    const std::string shown(ServerLine(line));
    if (depth > 0) {
      if (!shown.empty() && shown.front() == '{') {
        ++depth;
      } else if (!shown.empty() && shown.front() == '}') {
        if (--depth == 0 && ReadConfLine(line).kind != TConfLineReading::BlockClose)
          concerns.push_back("illegal line: " + shown);
      } else if (ReadConfLine(line, false).kind == TConfLineReading::Bad) {
        concerns.push_back("illegal line in a block: " + shown);
      }
      continue;
    }
    const TConfLineReading reading = ReadConfLine(line, blocks);
    switch (reading.kind) {
      case TConfLineReading::Skipped:
        continue;
      case TConfLineReading::Bad:
        concerns.push_back("illegal line: " + shown);
        break;
      case TConfLineReading::Include:
        concerns.push_back("include: " + shown);
        break;
      case TConfLineReading::Unvouched:
        concerns.push_back("unusual line: " + shown);
        ++names[NameKey(reading.name)];
        break;
      case TConfLineReading::Alias:
      case TConfLineReading::AliasOpens:
        if (!IsAbsolutePath(reading.value)) concerns.push_back("relative path: " + shown);
        ++names[NameKey(reading.name)];
        if (reading.kind == TConfLineReading::AliasOpens) depth = 1;
        break;
      case TConfLineReading::BlockOpen:
        if (!aliasAbove) concerns.push_back("block without an alias: " + shown);
        depth = 1;
        break;
      case TConfLineReading::BlockClose:
        concerns.push_back("closing bracket without a block: " + shown);
        break;
    }
    aliasAbove = reading.kind == TConfLineReading::Alias || reading.kind == TConfLineReading::Unvouched;
  }
  if (depth > 0) concerns.push_back("missed closing bracket");
  for (const auto& [name, count] : names)
    for (int i = 1; i < count; ++i) concerns.push_back("alias named twice: " + name);
  return concerns;
}

std::optional<std::string> NewConfConcern(const std::vector<std::string>& before, const std::vector<std::string>& after,
                                          bool blocks) {
  // aliases.conf (2.5, InterBase): the server skips what it cannot read and keeps the first of
  // two names, so no line makes it refuse the file.
  if (!blocks) return std::nullopt;
  std::vector<std::string> known = ConfConcerns(before, blocks);
  for (std::string& concern : ConfConcerns(after, blocks)) {
    const auto found = std::find(known.begin(), known.end(), concern);
    if (found == known.end()) return std::move(concern);
    known.erase(found);
  }
  return std::nullopt;
}

bool IsWritableAliasName(std::string_view name) {
  if (name.empty() || HasControlCharacter(name) || HasSpecialCharacter(name, "=#\"'{}")) return false;
  if (name.front() == ' ' || name.back() == ' ') return false;
  return !StartsWithInclude(name);
}

bool IsWritableAliasPath(std::string_view path) {
  if (path.empty() || HasControlCharacter(path) || HasSpecialCharacter(path, "#\"{}")) return false;
  if (path.front() == ' ' || path.back() == ' ' || path.back() == '/' || path.back() == '\\') return false;
  return IsAbsolutePath(path);
}

bool AliasLineReadsBack(std::string_view name, std::string_view path) {
  if (!IsWritableAliasName(name) || !IsWritableAliasPath(path)) return false;
  const std::string line = std::string(name) + "=" + std::string(path);
  const TConfLineReading reading = ReadConfLine(line);
  if (reading.kind != TConfLineReading::Alias || reading.name != name || reading.value != path) return false;
  // This program's own reading of the line agrees too.
  const std::optional<TAliasEntry> entry = AliasEntryOf(line);
  return entry && entry->name == name && entry->path == path;
}

}  // namespace vantrel
