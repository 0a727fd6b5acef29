#pragma once
// One line of the user's tool list: title "=" program, then "|" and parameters when given.
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr std::string_view kServerLogPlaceholder = "$SERVERLOG";

struct TToolEntry {
  std::string title;
  std::string program;
  std::string params;
};

// The line as given: title "=" program, plus "|" params when params is not empty.
std::string FormatToolEntry(std::string_view title, std::string_view program, std::string_view params);

// The line the add dialog stores: title and program trimmed, parameters kept as typed.
std::string ToolEntryFromAdd(std::string_view title, std::string_view program, std::string_view params);

// The line the edit dialog stores: title trimmed, and the value (program "|" params) trimmed as a
// whole, so blanks at the end of the parameters go.
std::string ToolEntryFromEdit(std::string_view title, std::string_view program, std::string_view params);

// The text before the line's first "=", empty when it has none.
std::string ToolTitleOf(std::string_view line);

// Position of the first line whose title equals title ignoring case; -1 when there is none.
int FindToolByTitle(const std::vector<std::string>& lines, std::string_view title);

enum class ToolUse { Launch, Edit };

// Entry at index: its title, and the program and parameters of the FIRST line with that title
// (ignoring case). The program is trimmed, except for editing a value without "|".
// Throws std::out_of_range for an index outside the list.
TToolEntry ReadToolEntry(const std::vector<std::string>& lines, std::size_t index, ToolUse use);

// The whole parameter text, trimmed, is "$SERVERLOG" in any letter case.
bool IsServerLogPlaceholder(std::string_view params);

}  // namespace vantrel
