// libFuzzer target for the checkpoint reader: the input's first byte picks
// whether the rest is a whole checkpoint file (header, packing, checksum) or
// a payload put straight into a fresh set of the show's objects. Owns
// nothing beyond one run.
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap.h"
#include "checkpoint.h"
#include "checkpoint_file.h"
#include "display.h"
#include "globals.h"
#include "pixel.h"
#include "show_objects.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fill_pre_RGB_tab();
        fill_sin_tables();
        screen = new_surface16(640, 480);
        return screen != nullptr;
    }();
    if (!ready || size == 0)
        return 0;
    std::string error;
    std::vector<std::uint8_t> payload;
    if (data[0] & 1) {
        checkpoint::header h;
        if (!checkpoint::parse(data + 1, size - 1, h, payload, error))
            return 0;
    } else {
        payload.assign(data + 1, data + size);
    }
    show_objects s;
    (void)checkpoint::apply(s, nullptr, payload, error);
    return 0;
}
