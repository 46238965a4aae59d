// The step log behind trace.h and trace_log.h.
#include "trace.h"
#include "trace_log.h"

#include <string>
#include <utility>
#include <vector>

namespace {
bool on = false;
std::vector<std::string> log;
}  // namespace

namespace trace {
void enable(bool e) { on = e; }
void note(const char* what, const char* detail) {
    if (!on)
        return;
    std::string s = what;
    if (detail) {
        s += ' ';
        s += detail;
    }
    log.push_back(std::move(s));
}
const std::vector<std::string>& entries() { return log; }
void clear() { log.clear(); }
}  // namespace trace
