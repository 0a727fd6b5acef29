#pragma once
// The rules of the current servers' alias file, databases.conf: comments that respect quotes,
// and per-database blocks in braces that belong to the server. A block is never an alias, is
// never listed or sent, and is kept byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// What a line of databases.conf is.
enum class ConfLine {
  Other,       // comment, blank, include, anything without a meaning here
  Alias,       // name = path
  AliasBlock,  // name = path {   (the alias opens its block on its own line)
  BlockOpen,   // {   alone, opening the block of the alias above
  BlockBody,   // inside a block: its settings and comments
  BlockClose,  // }   alone (a comment may follow)
};

std::vector<ConfLine> ClassifyDatabasesConf(const std::vector<std::string>& lines);

// The line without its comment: a "#" ends the line unless it is inside quotes; a line whose
// first non-blank character is "#" is all comment.
std::string_view WithoutConfComment(std::string_view line);

// Whether text (comment already cut) ends with a real "{", not the escaped "{{".
bool EndsWithBlockOpen(std::string_view text);
// The alias line as it reads without the block's "{" at its end: comment cut, blanks trimmed.
std::string_view WithoutBlockOpen(std::string_view line);

struct TAliasEntry;
// name = path as the server reads it: comment cut, a block's "{" dropped, blanks trimmed and
// surrounding quotes of the path removed. Nothing when name or path is empty.
std::optional<TAliasEntry> DatabasesConfEntryOf(std::string_view line);

// The index after the block that starts at or right after the alias line at index, when it
// has one; index + 1 otherwise.
std::size_t EndOfAliasWithBlock(const std::vector<ConfLine>& roles, std::size_t index);

}  // namespace vantrel
