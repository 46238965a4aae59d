// A log of the show's one-off steps (loads, song calls, shutdown) that tests
// read to check their order. Off unless a test switches it on; owns only
// the log itself.
#pragma once

#include <string>
#include <vector>

namespace trace {
void enable(bool on);
// Appends "what path" (or just "what") while enabled.
void note(const char* what, const char* detail = nullptr);
const std::vector<std::string>& entries();
void clear();
}  // namespace trace
