#pragma once

#include <functional>
#include <thread>
#include <utility>

// Runs one job at a time on a thread of its own; where no thread can be started, at once, on
// the caller's. The end of the object waits for the job.
class BackgroundJob {
public:
    BackgroundJob() = default;
    ~BackgroundJob() { wait(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void run(std::function<void()> job) {
        wait();
        job_ = std::move(job);
        try {
            thread_ = std::thread([this] { job_(); });
        } catch (...) {
            job_();
        }
    }
    void wait() {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::function<void()> job_;
    std::thread thread_;
};
