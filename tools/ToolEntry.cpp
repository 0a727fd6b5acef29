#include "tools/ToolEntry.h"

#include <stdexcept>

#include "shell/rules/TextRules.h"

namespace vantrel {

std::string FormatToolEntry(std::string_view title, std::string_view program, std::string_view params) {
  std::string line(title);
  line += '=';
  line += program;
  if (!params.empty()) {
    line += '|';
    line += params;
  }
  return line;
}

std::string ToolEntryFromAdd(std::string_view title, std::string_view program, std::string_view params) {
  return FormatToolEntry(TrimView(title), TrimView(program), params);
}

std::string ToolEntryFromEdit(std::string_view title, std::string_view program, std::string_view params) {
  std::string value(TrimView(program));
  if (!params.empty()) {
    value += '|';
    value += params;
  }
  return Trim(title) + "=" + Trim(value);
}

std::string ToolTitleOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(0, eq));
}

int FindToolByTitle(const std::vector<std::string>& lines, std::string_view title) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (SameTextCp1254(ToolTitleOf(lines[i]), title)) return static_cast<int>(i);
  return -1;
}

namespace {

std::string ValueOfLine(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

}  // namespace

TToolEntry ReadToolEntry(const std::vector<std::string>& lines, std::size_t index, ToolUse use) {
  TToolEntry entry;
  entry.title = ToolTitleOf(lines.at(index));
  const int first = FindToolByTitle(lines, entry.title);
  const std::string value = ValueOfLine(lines[static_cast<std::size_t>(first)]);
  const std::size_t bar = value.find('|');
  if (bar != std::string::npos) {
    entry.program = Trim(std::string_view(value).substr(0, bar));
    entry.params = Trim(std::string_view(value).substr(bar + 1));
  } else {
    entry.program = use == ToolUse::Launch ? Trim(value) : value;
  }
  return entry;
}

bool IsServerLogPlaceholder(std::string_view params) {
  return SameTextCp1254(TrimView(params), kServerLogPlaceholder);
}

}  // namespace vantrel
