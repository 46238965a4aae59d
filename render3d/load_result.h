// The outcome of a model load: ok, or a message naming the file, the object
// and what is wrong. Owns nothing else.
#pragma once

#include <string>

struct load_result {
    bool ok = true;
    std::string message;  // "<path>: object 2 'wall': face 5 names vertex 9, outside 0..7"

    explicit operator bool() const { return ok; }
};
