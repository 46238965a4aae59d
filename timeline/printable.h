// Text from the outside world (file names, arguments, library messages) made
// safe and readable for one line of a terminal. Owns nothing.
#pragma once

#include <string>
#include <string_view>

// Valid UTF-8 passes unchanged. Every other byte (a Latin-1 0xF8 in a file
// name, a stray continuation byte) and every control character (a newline
// in a name would break the one-line-per-problem report) is written as a
// \xHH escape, so the name can be told apart from its UTF-8 look-alike and
// typed back in a shell as $'...\xF8...'.
std::string printable(std::string_view text);
