// The program's small text helpers. Text is ANSI bytes in the Windows-1252 code page; every
// comparison that ignores case folds letters as Windows does in that code page (ASCII, the
// accented Latin letters, and the four letters at 0x8A..0x9F).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// Blanks (spaces only) off both ends, as the classic Trim does.
std::string Trim(std::string_view s);
// Every piece between separators; one piece more than there are separators.
std::vector<std::string> Split(std::string_view s, char sep);
// The same pieces as views into s, for readers that split every definition line.
std::vector<std::string_view> SplitViews(std::string_view s, char sep);

char LowerAnsiChar(char c);
char UpperAnsiChar(char c);
std::string LowerAnsi(std::string_view s);
std::string UpperAnsi(std::string_view s);
std::string UpperFirst(std::string s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Position of needle in hay at or after from, ignoring case; npos when none (an empty
// needle is found at from).
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);

// Every occurrence of from replaced by to, left to right, replacements not rescanned.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The same, with from matched ignoring case.
std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view from, std::string_view to);

// Code page 1252 and Unicode. Characters the code page lacks, and malformed UTF-8
// sequences, become "?"; a leading UTF-8 byte-order mark is dropped.
char AnsiOfCodePoint(uint32_t cp);
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace kx
