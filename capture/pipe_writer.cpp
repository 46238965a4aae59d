// The writer thread: takes queued buffers in order, converts those marked
// for it, and fwrites them; a failed write marks the writer failed and drops
// the rest, so the drawing thread never waits on a dead pipe.
#include "pipe_writer.h"

#include <utility>

pipe_writer::pipe_writer(std::FILE* out, std::size_t max_queued, transform convert)
    : out_(out), max_queued_(max_queued), convert_(std::move(convert)), thread_([this] { run(); }) {}

pipe_writer::~pipe_writer() { finish(); }

pipe_writer::buffer pipe_writer::take() {
    std::lock_guard<std::mutex> lock(m_);
    if (spare_.empty())
        return {};
    buffer b = std::move(spare_.back());
    spare_.pop_back();
    b.clear();
    return b;
}

void pipe_writer::push(buffer b, bool convert) {
    std::unique_lock<std::mutex> lock(m_);
    wake_pusher_.wait(lock, [&] { return failed_ || queued_ <= max_queued_; });
    if (failed_ || closing_)
        return;
    queued_ += b.size();
    queue_.push_back({std::move(b), convert && convert_});
    wake_writer_.notify_one();
}

void pipe_writer::run() {
    buffer converted;
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        wake_writer_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty())
            break;  // closing, and everything written
        item it = std::move(queue_.front());
        queue_.pop_front();
        buffer& b = it.bytes;
        lock.unlock();
        const buffer* bytes = &b;
        if (it.convert) {
            convert_(b, converted);
            bytes = &converted;
        }
        const bool ok = bytes->empty() ||
                        std::fwrite(bytes->data(), 1, bytes->size(), out_) == bytes->size();
        lock.lock();
        queued_ -= b.size();
        if (!ok && !failed_) {
            failed_ = true;
            queued_ = 0;
            queue_.clear();
        }
        if (spare_.size() < 4)
            spare_.push_back(std::move(b));
        wake_pusher_.notify_all();
    }
}

bool pipe_writer::finish() {
    {
        std::lock_guard<std::mutex> lock(m_);
        if (finished_)
            return !failed_;
        finished_ = true;
        closing_ = true;
        wake_writer_.notify_one();
    }
    thread_.join();
    if (std::fflush(out_) != 0)
        failed_ = true;
    return !failed_;
}

bool pipe_writer::failed() const {
    std::lock_guard<std::mutex> lock(m_);
    return failed_;
}
