// The outcome of a model load: ok, or the file and what is wrong with it.
// Owns nothing else.
#pragma once

#include <string>
#include <utility>

struct load_result {
    bool ok = true;
    std::string path;    // the file at fault
    std::string reason;  // "object 2 'wall': face 5 names vertex 9, outside 0..7"

    static load_result failure(std::string path, std::string reason) {
        return load_result{false, std::move(path), std::move(reason)};
    }
    // "<path>: <reason>", the path named once.
    std::string message() const { return path + ": " + reason; }
    explicit operator bool() const { return ok; }
};
