#include "grid_convert.h"

#include "grid_text_scanner.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

// Samples per run of lines: with the line pointers this bounds the conversion's own memory to
// a few tens of MiB whatever the grid's size.
constexpr std::int64_t run_samples = std::int64_t{2} << 20;
// Below this many lines a run is scanned on the calling thread alone.
constexpr std::int64_t lines_per_thread = 8192;

void scan_lines(const char* const* starts, std::int64_t first, std::int64_t last, int ncomp,
                float* out) {
    for (std::int64_t i = first; i < last; ++i)
        scan_data_line(starts[i], starts[i + 1], ncomp, out + i * ncomp);
}

// Scans lines [0, n) on up to `threads` threads, each taking a contiguous range of lines.
void scan_run(const char* const* starts, std::int64_t n, int ncomp, int threads, float* out) {
    const int workers =
        static_cast<int>(std::clamp<std::int64_t>(n / lines_per_thread, 1, threads));
    const auto range_start = [&](int w) { return n * w / workers; };
    std::vector<std::thread> pool;
    int started = 1;
    try {
        pool.reserve(static_cast<std::size_t>(workers - 1));
        for (int w = 1; w < workers; ++w, ++started)
            pool.emplace_back(scan_lines, starts, range_start(w), range_start(w + 1), ncomp, out);
    } catch (...) {
        // A thread that cannot be started leaves its range to this one.
    }
    scan_lines(starts, 0, range_start(1), ncomp, out);
    for (int w = started; w < workers; ++w)
        scan_lines(starts, range_start(w), range_start(w + 1), ncomp, out);
    for (auto& t : pool)
        t.join();
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
    const auto starts =
        static_cast<const char**>(std::malloc(sizeof(const char*) * (run_lines + 1)));
    const auto samples = static_cast<float*>(std::malloc(sizeof(float) * run_lines * ncomp));
    const auto release = [&] {
        std::free(starts);
        std::free(samples);
    };
    if (!starts || !samples) {
        release();
        result.status = ConvertStatus::no_memory;
        return result;
    }

    // The dropped rest of an overlong line reports progress too, so that Cancel reaches an
    // endless one.
    if (progress)
        text.set_drop_progress(progress);
    while (result.lines < lines) {
        const std::int64_t n = text.take_lines(std::min(run_lines, lines - result.lines), starts);
        if (n <= 0) {
            result.status = n == 0 ? ConvertStatus::short_text : failure_status(text.failure());
            break;
        }
        scan_run(starts, n, ncomp, threads, samples);
        to_little_endian(samples, n * ncomp);
        const std::size_t count = static_cast<std::size_t>(n * ncomp);
        if (std::fwrite(samples, sizeof(float), count, &out) != count) {
            result.status = ConvertStatus::write_failed;
            break;
        }
        result.lines += n;
        if (progress && !progress(text.consumed())) {
            result.status = ConvertStatus::cancelled;
            break;
        }
    }
    if (result.status == ConvertStatus::done && std::fflush(&out) != 0)
        result.status = ConvertStatus::write_failed;
    text.set_drop_progress(nullptr);
    release();
    return result;
}
