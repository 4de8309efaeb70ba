#pragma once
// Runs jobs one after another in the order they were posted: on a thread of
// its own, or, without one, on the caller's thread when drained. Jobs
// waiting to run hold memory (their weight in bytes); beyond the limit,
// post() first lets the queue shrink.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace vellumar {

class BackgroundWriter {
  public:
    BackgroundWriter(bool threaded, uint64_t maxWaitingBytes);
    // Runs what is still waiting.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    void post(std::function<void()> job, uint64_t bytes);
    // Returns once every job posted so far has run.
    void drain();

  private:
    static constexpr size_t kJobsPerWake = 8;
    static constexpr uint64_t kBytesPerWake = 1 << 20;

    void work();
    void runWaitingHere();

    const uint64_t maxWaitingBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::function<void()>, uint64_t>> queue_;
    uint64_t waitingBytes_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vellumar
