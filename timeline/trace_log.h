// The step log's reading side, for tests: switch it on, read what the show
// noted, clear it. Nothing in the show includes this header.
#pragma once

#include <string>
#include <vector>

namespace trace {
void enable(bool on);
const std::vector<std::string>& entries();
void clear();
}  // namespace trace
