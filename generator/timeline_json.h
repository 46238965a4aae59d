// The show's timeline as JSON for the web page (timeline.json in the data
// folder; the site's index carries it): every scene's name, label, music
// times and chapter flag, in show order.
#pragma once

#include <string>

namespace gen {

// The JSON text of the timeline table.
std::string timeline_json();
// Writes it to `path`; false with a message on stderr when that fails.
bool write_timeline_json(const std::string& path);

}  // namespace gen
