// The show's one-off steps (loads, song calls, shutdown) noted in order
// for tests to read (trace_log.h). Off unless a test switches it on; owns
// only the log itself.
#pragma once

namespace trace {
// Appends "what detail" (or just "what") while the log is on.
void note(const char* what, const char* detail = nullptr);
}  // namespace trace
