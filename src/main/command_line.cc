#include "main/command_line.h"

#include "platform/utf.h"

namespace velmo {

namespace {

bool is_blank(char16_t c) {
  return c == u' ' || c == u'\t';
}

// The program name: no escape processing, quotes only delimit.
size_t take_program_name(std::u16string_view line, std::u16string& out) {
  size_t pos = 0;
  if (!line.empty() && line[0] == u'"') {
    pos = 1;
    while (pos < line.size() && line[pos] != u'"') {
      out.push_back(line[pos++]);
    }
    if (pos < line.size()) {
      ++pos;  // closing quote
    }
  } else {
    while (pos < line.size() && !is_blank(line[pos])) {
      out.push_back(line[pos++]);
    }
  }
  return pos;
}

}  // namespace

std::vector<std::string> split_command_line(std::u16string_view line) {
  std::vector<std::string> args;
  if (line.empty()) {
    return args;
  }
  std::u16string current;
  size_t pos = take_program_name(line, current);
  args.push_back(utf16_to_utf8(current));
  current.clear();

  while (pos < line.size() && is_blank(line[pos])) {
    ++pos;
  }
  if (pos >= line.size()) {
    return args;
  }

  // quotes: 0 outside quotes, 1 inside; a run of quotes inside a quoted part
  // yields one literal quote per three (the platform's documented oddity).
  int quotes = 0;
  size_t backslashes = 0;
  bool in_argument = true;
  while (pos < line.size()) {
    const char16_t c = line[pos];
    if (is_blank(c) && quotes == 0) {
      args.push_back(utf16_to_utf8(current));
      current.clear();
      backslashes = 0;
      while (pos < line.size() && is_blank(line[pos])) {
        ++pos;
      }
      in_argument = pos < line.size();
      continue;
    }
    if (c == u'\\') {
      current.push_back(c);
      ++backslashes;
      ++pos;
      continue;
    }
    if (c == u'"') {
      if (backslashes % 2 == 0) {
        current.resize(current.size() - backslashes / 2);
        ++quotes;
      } else {
        current.resize(current.size() - backslashes / 2 - 1);
        current.push_back(u'"');
      }
      backslashes = 0;
      ++pos;
      while (pos < line.size() && line[pos] == u'"') {
        if (++quotes == 3) {
          current.push_back(u'"');
          quotes = 0;
        }
        ++pos;
      }
      if (quotes == 2) {
        quotes = 0;
      }
      continue;
    }
    current.push_back(c);
    backslashes = 0;
    ++pos;
  }
  if (in_argument) {
    args.push_back(utf16_to_utf8(current));
  }
  return args;
}

}  // namespace velmo
