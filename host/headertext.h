// Header values made fit for a table: MIME encoded words (RFC 2047,
// "=?charset?B?...?=" and "=?charset?Q?...?=") decoded, and long values cut
// to a column's width with a marker. No Win32 here; the conversion from a
// word's charset to the output's is the caller's.
#pragma once

#include <functional>
#include <string>

// (charset as written, lower case; the decoded bytes) -> text to show.
using CharsetConverter = std::function<std::string(const std::string&, const std::string&)>;

// The value with every well-formed encoded word decoded and passed through
// convert; blanks between two encoded words dropped, as RFC 2047 asks.
// Anything malformed stays as it was.
std::string decodeEncodedWords(const std::string& value, const CharsetConverter& convert);

// The text, or its first width - 3 characters and "..." when longer.
std::string cut(const std::string& text, std::size_t width);
