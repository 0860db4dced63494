#include "platform/kernel/CommandLine.h"

namespace {
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\r'; }
}  // namespace

std::u16string QuoteCommandLineArgument(std::u16string_view argument) {
  bool plain = !argument.empty();
  for (char16_t c : argument) plain = plain && !IsBlank(c) && c != u'"';
  if (plain) return std::u16string(argument);

  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quotation mark are doubled and the mark escaped; elsewhere they stand.
    quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, u'\\');  // before the closing mark
  quoted += u'"';
  return quoted;
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  std::u16string current;
  bool inArgument = false;  // a quoted part makes an argument even when it is empty
  bool quoted = false;
  size_t i = 0;
  while (i < line.size()) {
    const char16_t c = line[i];
    if (c == u'\\') {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') {
        ++backslashes;
        ++i;
      }
      inArgument = true;
      if (i < line.size() && line[i] == u'"') {
        current.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          current += u'"';
          ++i;
        }
      } else {
        current.append(backslashes, u'\\');
      }
      continue;
    }
    if (c == u'"') {
      quoted = !quoted;
      inArgument = true;
    } else if (IsBlank(c) && !quoted) {
      if (inArgument) arguments.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
    ++i;
  }
  if (inArgument) arguments.push_back(std::move(current));
  return arguments;
}
