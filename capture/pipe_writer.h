// A writer thread in front of a pipe: the drawing thread queues byte
// buffers, the thread turns them into their final bytes if asked (a picture
// into the encoder's format) and writes them out in order, so drawing,
// converting and encoding overlap. Owns the thread and the queued buffers,
// not the stream.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class pipe_writer {
public:
    using buffer = std::vector<std::uint8_t>;
    // Makes the bytes to write from a queued buffer (out is the thread's own
    // scratch buffer, its old contents undefined).
    using transform = std::function<void(const buffer& in, buffer& out)>;

    // out: an open stream (not closed here). push() waits while more than
    // max_queued bytes are queued. convert: what push(b, true) applies.
    pipe_writer(std::FILE* out, std::size_t max_queued, transform convert = {});
    ~pipe_writer();
    pipe_writer(const pipe_writer&) = delete;
    pipe_writer& operator=(const pipe_writer&) = delete;

    // An empty buffer, reusing the storage of one already written.
    buffer take();
    // Queues b to be written after everything queued before it; converted
    // first when `convert` is true.
    void push(buffer b, bool convert = false);
    // Writes everything queued, flushes, ends the thread. False if any
    // write failed (later buffers are then dropped, never block).
    bool finish();
    bool failed() const;

private:
    struct item {
        buffer bytes;
        bool convert = false;
    };
    void run();

    std::FILE* out_;
    std::size_t max_queued_;
    transform convert_;
    mutable std::mutex m_;
    std::condition_variable wake_writer_;
    std::condition_variable wake_pusher_;
    std::deque<item> queue_;
    std::vector<buffer> spare_;
    std::size_t queued_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    bool finished_ = false;
    std::thread thread_;
};
