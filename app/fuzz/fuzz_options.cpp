// libFuzzer target for the command line: the input split at zero bytes into
// the arguments after the program's name, parsed as the show parses them,
// the result checked against the parser's own promises. Owns nothing beyond
// one run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"ostramere"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (!word.empty()) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    run_options o;
    const int status = parse_options(argc, argv.data(), o);
    if (status != -1 && status != 0 && status != bad_option_status) __builtin_trap();
    if (status == -1) {
        // what a run goes on with is in range
        if (o.fps < 1 || o.png_every < 1 || o.scale < 0 || o.scale > 8) __builtin_trap();
        if (o.fullscreen != fullscreen_from_args(argc, argv.data())) __builtin_trap();
    }
    (void)closest_option(words.back(), {"--capture", "--data", "--start"});
    return 0;
}
