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

// One line as the database server's configuration reader takes it (a NUL is text to it): blanks,
// tabs and CRs trimmed, a first "#" making it a comment, a later "#" outside quotes ending it, quotes
// allowed only around a whole value, "include" and a blank making it an include, braces opening
// and closing a database's block. Where the reader's handling is unusual (a brace inside a value,
// a macro) the line counts as one this program cannot vouch for: never as a plain alias.
struct TConfLineReading {
  enum Kind {
    Skipped,      // empty or a comment
    Bad,          // the server refuses the whole file for it
    Include,      // include <file>
    Alias,        // name = value
    AliasOpens,   // name = value {
    BlockOpen,    // {
    BlockClose,   // }
    Unvouched,    // read by rules this program does not follow (a macro, a brace inside a value)
  };
  Kind kind = Skipped;
  std::string name;   // trimmed, as written
  std::string value;  // comment cut, trimmed, surrounding quotes removed
};
// blocks: the file has per-database blocks (databases.conf); in aliases.conf braces are text.
TConfLineReading ReadConfLine(std::string_view line, bool blocks = true);

// What in the lines the server would refuse or that this program cannot vouch for, one text each
// (a bad line, a block left open or closed twice, an alias named twice, an include, a macro).
// A change may only be written when it adds nothing to this list.
std::vector<std::string> ConfConcerns(const std::vector<std::string>& lines, bool blocks = true);
// The first concern of after that before does not have (counted: a second alias named twice is
// new); nothing when after adds none. Without blocks (aliases.conf) there is none: that server
// skips what it cannot read.
std::optional<std::string> NewConfConcern(const std::vector<std::string>& before, const std::vector<std::string>& after,
                                          bool blocks = true);

// Whether name can be written as an alias that the server and this program read back as exactly
// that name: no control characters, quotes, "=", "#", braces or "$(", no blank at either end, not
// "include" and a blank.
bool IsWritableAliasName(std::string_view name);
// Whether path can be written as an alias's path read back as exactly that path: absolute, no
// control characters, quotes, "#", braces or "$(", no blank at either end, no path delimiter at
// its end.
bool IsWritableAliasPath(std::string_view path);
// Both, and the line name=path read by the server's rules as that name and that path.
bool AliasLineReadsBack(std::string_view name, std::string_view path);

}  // namespace vantrel
