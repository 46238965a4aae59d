// Linked into every test program: headless SDL drivers unless the caller
// chose others, set before main so no test can open a real display or sound
// card. (CTest's ENVIRONMENT property cannot carry both through
// gtest_discover_tests: its list separator splits the pair.)
#include <cstdlib>

namespace {
const bool headless = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();
}  // namespace
