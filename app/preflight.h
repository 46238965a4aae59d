// The data check before the display opens: every picture decodes at the size
// its role needs, every model parses with enough objects, the song loads.
// Reads files under ./gfx and ./sfx of the working folder; draws nothing.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct data_problem {
    std::string path;
    std::string reason;
};

// Checks every data file the show uses and returns every problem found.
std::vector<data_problem> check_show_data();

// Runs the check and prints the problems (one line each, path and reason) to
// `out`. True when everything is in order.
bool preflight(std::FILE* out);

// Exit status of a run whose data check failed.
inline constexpr int preflight_failed_status = 2;
