#include "engine/runs/background_writer.h"

#include <system_error>

namespace vellumar {

BackgroundWriter::BackgroundWriter(bool threaded, uint64_t maxWaitingBytes)
    : maxWaitingBytes_(maxWaitingBytes) {
    if (!threaded) return;
    try {
        thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // No thread to be had: the jobs run on the caller's thread instead.
    }
}

BackgroundWriter::~BackgroundWriter() {
    drain();
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
}

void BackgroundWriter::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        auto [job, bytes] = std::move(queue_.front());
        queue_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        job = nullptr;  // whatever the job held goes before it counts as done
        lock.lock();
        running_ = false;
        waitingBytes_ -= bytes;
        changed_.notify_all();
    }
}

void BackgroundWriter::post(std::function<void()> job, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (thread_.joinable() && waitingBytes_ > 0 && waitingBytes_ + bytes > maxWaitingBytes_) {
        changed_.notify_all();
        changed_.wait(lock, [&] {
            return waitingBytes_ == 0 || waitingBytes_ + bytes <= maxWaitingBytes_;
        });
    }
    queue_.emplace_back(std::move(job), bytes);
    waitingBytes_ += bytes;
    if (thread_.joinable()) {
        // Woken for a few jobs at a time, not for every small one.
        if (queue_.size() >= kJobsPerWake || waitingBytes_ >= kBytesPerWake) changed_.notify_all();
    } else if (waitingBytes_ > maxWaitingBytes_) {
        lock.unlock();
        runWaitingHere();
    }
}

void BackgroundWriter::drain() {
    if (!thread_.joinable()) {
        runWaitingHere();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.notify_all();
    changed_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void BackgroundWriter::runWaitingHere() {
    while (!queue_.empty()) {
        auto [job, bytes] = std::move(queue_.front());
        queue_.pop_front();
        waitingBytes_ -= bytes;
        job();
    }
}

}  // namespace vellumar
