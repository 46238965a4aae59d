// What may hold a run from outside the show (the web page: its pause, a
// hidden page, an interrupted audio output). Asked by the waits only; the
// show's own input (Escape, window close) never holds it.
#pragma once

class hold_source {
public:
    virtual ~hold_source() = default;
    // True while the show must stand still. A source that wants the show to
    // stop queues a window-close request (platform::push_quit) and holds for
    // that turn: the held wait finds the request and ends with quit set.
    virtual bool wanted() = 0;
};
