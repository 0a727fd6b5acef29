#include "server/rules/RunEntry.h"

namespace vantrel {

std::string QuoteAlways(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string QuotePath(std::string_view path) {
  if (path.find(' ') == std::string_view::npos) return std::string(path);
  return QuoteAlways(path);
}

std::string BuildRunEntry(std::string_view path, std::string_view params) {
  std::string entry = QuotePath(path);
  if (!params.empty()) {
    entry += ' ';
    entry += params;
  }
  return entry;
}

std::string FirstWord(std::string_view value) {
  std::size_t start = 0;
  while (start < value.size() && (value[start] == '\t' || value[start] == '\r' || value[start] == '\n'))
    ++start;
  std::size_t end = start;
  while (end < value.size() && value[end] != ' ') {
    const char c = value[end++];
    if (c == '"' || c == '\'') {
      const std::size_t close = value.find(c, end);
      end = close == std::string_view::npos ? value.size() : close + 1;
    }
  }
  return std::string(value.substr(start, end - start));
}

namespace {

// The text between the opening double quote and its closing one; "" inside stands for one quote.
// Without a closing quote the rest of the text is taken.
std::string ExtractQuoted(std::string_view word) {
  std::string text;
  for (std::size_t i = 1; i < word.size(); ++i) {
    if (word[i] != '"') {
      text += word[i];
    } else if (i + 1 < word.size() && word[i + 1] == '"') {
      text += '"';
      ++i;
    } else {
      break;
    }
  }
  return text;
}

}  // namespace

std::string RunEntryProgram(std::string_view value) {
  const std::string word = FirstWord(value);
  if (!word.empty() && word.front() == '"') return ExtractQuoted(word);
  return word;
}

}  // namespace vantrel
