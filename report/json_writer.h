// The JSON text the reports share: a string written as a quoted JSON value.
#pragma once

#include <string>
#include <string_view>

// `s` as a JSON string, quotes included: " and \ are escaped, control
// characters (below 0x20) become \b \f \n \r \t or \u00XX, and every other
// byte is kept as it is (UTF-8 names stay readable).
std::string json_string(std::string_view s);
