// Runs a shell command and returns what it printed on standard output, for
// tests that ask ffmpeg and ffprobe about a capture. Empty if it cannot start.
#pragma once

#include <cstdio>
#include <string>

namespace test_process {

inline std::string output_of(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

}  // namespace test_process
