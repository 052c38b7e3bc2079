#include "grid_convert.h"

#include "grid_text_scanner.h"
#include "mapped_read_guard.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

// Samples per run of lines: with the line pointers this bounds the conversion's own memory to
// a few tens of MiB whatever the grid's size.
constexpr std::int64_t run_samples = std::int64_t{1} << 20;
// Below this many lines a run is scanned on the calling thread alone.
constexpr std::int64_t lines_per_thread = 8192;

// The text being scanned; a mapped file that shrinks under the scan fails it (see
// read_mapped_guarded).
struct ScanText {
    const char* const* starts;
    const char* mapped;
    std::size_t mapped_bytes;
};

// Scans lines [first, last); false when the mapped text went away under it.
bool scan_lines(const ScanText& text, std::int64_t first, std::int64_t last, int ncomp,
                float* out) {
    auto job = [&] {
        for (std::int64_t i = first; i < last; ++i)
            scan_data_line(text.starts[i], text.starts[i + 1], ncomp, out + i * ncomp);
    };
    return read_mapped_guarded(text.mapped, text.mapped_bytes, job);
}

// Scans lines [0, n) on up to `threads` threads, each taking a contiguous range of lines.
// False when any range failed.
bool scan_run(const ScanText& text, std::int64_t n, int ncomp, int threads, float* out) {
    const int workers =
        static_cast<int>(std::clamp<std::int64_t>(n / lines_per_thread, 1, threads));
    const auto range_start = [&](int w) { return n * w / workers; };
    std::atomic<bool> ok{true};
    const auto scan_range = [&](int w) {
        if (!scan_lines(text, range_start(w), range_start(w + 1), ncomp, out))
            ok = false;
    };
    std::vector<std::thread> pool;
    int started = 1;
    try {
        pool.reserve(static_cast<std::size_t>(workers - 1));
        for (int w = 1; w < workers; ++w, ++started)
            pool.emplace_back(scan_range, w);
    } catch (...) {
        // A thread that cannot be started leaves its range to this one.
    }
    scan_range(0);
    for (int w = started; w < workers; ++w)
        scan_range(w);
    for (auto& t : pool)
        t.join();
    return ok;
}

void to_little_endian(float* samples, std::int64_t n) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::int64_t i = 0; i < n; ++i) {
            std::uint32_t u;
            std::memcpy(&u, samples + i, 4);
            u = __builtin_bswap32(u);
            std::memcpy(samples + i, &u, 4);
        }
    }
}

// Writes blocks of samples on a thread of its own, so that the next run of lines is scanned
// while the last one goes to the file. One block is in flight at a time. Without a thread the
// blocks are written at once.
class BlockWriter {
public:
    explicit BlockWriter(std::FILE& out) : out_(out) {
        try {
            thread_ = std::thread([this] { work(); });
        } catch (...) {
        }
    }
    ~BlockWriter() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                quit_ = true;
            }
            wake_.notify_all();
            thread_.join();
        }
    }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Waits until the block in flight is written; false once any write has failed.
    bool finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return block_ == nullptr; });
        return !failed_;
    }

    // Starts writing `count` samples; the block must stay untouched until finish() returns.
    void write(const float* block, std::size_t count) {
        if (!thread_.joinable()) {
            failed_ = failed_ || std::fwrite(block, sizeof(float), count, &out_) != count;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            block_ = block;
            count_ = count;
        }
        wake_.notify_all();
    }

private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return quit_ || block_ != nullptr; });
            if (!block_)
                return;
            const float* block = block_;
            const std::size_t count = count_;
            const bool skip = failed_;
            lock.unlock();
            const bool ok = skip || std::fwrite(block, sizeof(float), count, &out_) == count;
            lock.lock();
            failed_ = failed_ || !ok;
            block_ = nullptr;
            done_.notify_all();
        }
    }

    std::FILE& out_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const float* block_ = nullptr;
    std::size_t count_ = 0;
    bool failed_ = false;
    bool quit_ = false;
};

ConvertStatus failure_status(TextBlocks::Failure failure) {
    switch (failure) {
    case TextBlocks::Failure::memory:
        return ConvertStatus::no_memory;
    case TextBlocks::Failure::line_too_long:
        return ConvertStatus::line_too_long;
    case TextBlocks::Failure::stopped:
        return ConvertStatus::cancelled;
    default:
        return ConvertStatus::read_failed;
    }
}

} // namespace

ConvertResult convert_grid_lines(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp,
                                 int threads, const std::function<bool(std::int64_t)>& progress) {
    ConvertResult result;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::int64_t max_run = std::max<std::int64_t>(1, run_samples / ncomp);
    const std::int64_t run_lines = std::min(max_run, lines);
    // Two sample blocks: one is scanned into while the other is written.
    const auto starts =
        static_cast<const char**>(std::malloc(sizeof(const char*) * (run_lines + 1)));
    float* const blocks[2] = {static_cast<float*>(std::malloc(sizeof(float) * run_lines * ncomp)),
                              static_cast<float*>(std::malloc(sizeof(float) * run_lines * ncomp))};
    const auto release = [&] {
        std::free(starts);
        std::free(blocks[0]);
        std::free(blocks[1]);
    };
    if (!starts || !blocks[0] || !blocks[1]) {
        release();
        result.status = ConvertStatus::no_memory;
        return result;
    }

    // The dropped rest of an overlong line reports progress too, so that Cancel reaches an
    // endless one.
    if (progress)
        text.set_drop_progress(progress);
    {
        BlockWriter writer(out);
        for (int run = 0; result.lines < lines; run ^= 1) {
            const std::int64_t n =
                text.take_lines(std::min(run_lines, lines - result.lines), starts);
            if (n <= 0) {
                result.status = n == 0 ? ConvertStatus::short_text : failure_status(text.failure());
                break;
            }
            float* const samples = blocks[run];
            if (!scan_run({starts, text.mapped_text(), text.mapped_bytes()}, n, ncomp, threads,
                          samples)) {
                result.status = ConvertStatus::read_failed;
                break;
            }
            to_little_endian(samples, n * ncomp);
            if (!writer.finish()) {
                result.status = ConvertStatus::write_failed;
                break;
            }
            writer.write(samples, static_cast<std::size_t>(n * ncomp));
            result.lines += n;
            if (progress && !progress(text.consumed())) {
                result.status = ConvertStatus::cancelled;
                break;
            }
        }
        if (!writer.finish() && result.status == ConvertStatus::done)
            result.status = ConvertStatus::write_failed;
    }
    if (result.status == ConvertStatus::done && std::fflush(&out) != 0)
        result.status = ConvertStatus::write_failed;
    text.set_drop_progress(nullptr);
    release();
    return result;
}
