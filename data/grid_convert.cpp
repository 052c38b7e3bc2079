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

// Scans lines [first, last) of the `count` lines; false when the mapped text went away under it.
bool scan_lines(const ScanText& text, std::int64_t first, std::int64_t last, std::int64_t count,
                int ncomp, float* out) {
    auto job = [&] {
        const char* const stop = text.starts[count];
        for (std::int64_t i = first; i < last; ++i) {
            float* const samples = out + i * ncomp;
            if (scan_plain_data_line(text.starts[i], stop, ncomp, samples) != text.starts[i + 1])
                scan_data_line(text.starts[i], text.starts[i + 1], ncomp, samples);
        }
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
        if (!scan_lines(text, range_start(w), range_start(w + 1), n, ncomp, out))
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
// while the last one goes to the file. One block is in flight at a time. Without a thread (not
// asked for, as for a single block, or not started) the blocks are written at once.
class BlockWriter {
public:
    BlockWriter(std::FILE& out, bool threaded) : out_(out) {
        if (!threaded)
            return;
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

// The mapped text is converted in pieces of a few hundred KiB on every thread at once. A piece
// holds the lines that start within its bytes; lines do not depend on each other, so each piece
// is scanned on its own into a block of samples, and the blocks are written in order, which
// places each piece's first grid point after the lines of all pieces before it. A piece that
// meets a line the line rule would cut (or more lines than its block holds) stops before it,
// and the lines from there on are taken one run at a time as for a stream.

// Pieces of the text: about this many, but no longer than a megabyte.
constexpr std::int64_t pieces_per_text = 64;
constexpr std::size_t max_piece_bytes = std::size_t{1} << 20;
// Pieces scanned but not yet written, at most.
constexpr int max_pieces_held = 24;

// One piece's result, in a block of samples that is reused for later pieces.
struct Piece {
    float* samples = nullptr;
    std::int64_t lines = 0;
    const char* next = nullptr; // the start of the first line not taken; null when none started
    bool whole = true;          // false: stopped at `next`, a line left to the line rule
    bool unreadable = false;    // the mapped file went away under the scan
    bool ready = false;
};

struct PieceText {
    const char* begin; // the untaken text
    const char* end;
    std::size_t window; // a line with its '\n' no longer than this is taken whole
    std::size_t piece_bytes;
    std::int64_t max_lines; // lines a block holds
    int ncomp;
};

// Scans the lines that start in [from, to) into `piece`. Holds nothing that needs cleaning up,
// so that a fault on a shortened file may leave it at any point.
void scan_piece(const PieceText& t, const char* from, const char* to, Piece& piece) {
    piece.lines = 0;
    piece.next = nullptr;
    piece.whole = true;
    const char* p = from;
    if (from != t.begin) {
        // A line starts after each '\n' (the one before `from` included).
        const void* nl = std::memchr(from - 1, '\n', static_cast<std::size_t>(to - from));
        if (!nl)
            return;
        p = static_cast<const char*>(nl) + 1;
    }
    std::int64_t n = 0;
    float* out = piece.samples;
    while (p < to && p < t.end) {
        // Plain lines in a row, then one line of any kind.
        std::int64_t plain = 0;
        p = scan_plain_data_lines(p, to, t.end, t.ncomp, t.window, t.max_lines - n, out, plain);
        n += plain;
        out += plain * t.ncomp;
        if (p >= to || p >= t.end)
            break;
        if (n == t.max_lines) {
            piece.whole = false;
            break;
        }
        const std::size_t rest = static_cast<std::size_t>(t.end - p);
        const void* nl = std::memchr(p, '\n', std::min(rest, t.window));
        const char* next;
        if (nl)
            next = static_cast<const char*>(nl) + 1;
        else if (rest < t.window)
            next = t.end; // the final line has no '\n'
        else {
            piece.whole = false;
            break;
        }
        scan_data_line(p, next, t.ncomp, out);
        ++n;
        out += t.ncomp;
        p = next;
    }
    piece.lines = n;
    piece.next = p;
}

// Converts the mapped text in pieces until `lines` lines are written, the text ends or a piece
// stops early. True when the rest is to be converted a run at a time from where `text` now
// stands (the status is then still `done`).
bool convert_pieces(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp, int threads,
                    const std::function<bool(std::int64_t)>& progress, ConvertResult& result) {
    PieceText t{};
    if (ncomp > run_samples || !text.untaken_mapped(t.begin, t.end, t.window) || t.end <= t.begin)
        return true;
    const std::int64_t bytes = t.end - t.begin;
    t.piece_bytes = static_cast<std::size_t>(
        std::clamp<std::int64_t>(bytes / pieces_per_text, 1,
                                 static_cast<std::int64_t>(std::min(t.window, max_piece_bytes))));
    // Room for lines of two bytes a sample; denser text stops a piece early.
    t.max_lines = std::max<std::int64_t>(1, static_cast<std::int64_t>(t.piece_bytes) / 2 / ncomp);
    t.ncomp = ncomp;
    const std::int64_t pieces = (bytes + static_cast<std::int64_t>(t.piece_bytes) - 1) /
                                static_cast<std::int64_t>(t.piece_bytes);
    const auto piece_from = [&](std::int64_t c) {
        return t.begin + std::min(bytes, c * static_cast<std::int64_t>(t.piece_bytes));
    };
    const auto piece_to = [&](std::int64_t c) {
        return c + 1 < pieces ? piece_from(c + 1) : t.end;
    };

    // A few blocks for each thread, so that scanning goes on while earlier pieces are written;
    // their number bounds the text and samples held at once, whatever the thread count.
    const int slots = std::min(2 * threads + 2, max_pieces_held);
    std::vector<Piece> slot(static_cast<std::size_t>(slots));
    bool have_memory = true;
    for (Piece& p : slot) {
        p.samples = static_cast<float*>(
            std::malloc(sizeof(float) * static_cast<std::size_t>(t.max_lines * ncomp)));
        have_memory = have_memory && p.samples;
    }
    const auto release = [&] {
        for (Piece& p : slot)
            std::free(p.samples);
    };
    if (!have_memory) {
        release();
        return true;
    }

    std::mutex mutex;
    std::condition_variable piece_ready;
    std::condition_variable slot_free;
    std::int64_t next_piece = 0; // the next piece to scan
    std::int64_t written = 0;    // pieces written (or passed over) so far
    bool stop = false;

    const char* const mapped = text.mapped_text();
    const std::size_t mapped_bytes = text.mapped_bytes();
    const auto scan = [&](std::int64_t c) {
        Piece& p = slot[static_cast<std::size_t>(c % slots)];
        auto job = [&] { scan_piece(t, piece_from(c), piece_to(c), p); };
        p.unreadable = !read_mapped_guarded(mapped, mapped_bytes, job);
        if (!p.unreadable)
            to_little_endian(p.samples, p.lines * ncomp);
    };
    // Takes the next piece when its block is free; -1 when there is none to take now.
    const auto take_piece = [&]() -> std::int64_t {
        if (stop || next_piece >= pieces || next_piece >= written + slots)
            return -1;
        return next_piece++;
    };
    const auto helper = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            slot_free.wait(
                lock, [&] { return stop || next_piece >= pieces || next_piece < written + slots; });
            const std::int64_t c = take_piece();
            if (c < 0)
                return;
            lock.unlock();
            scan(c);
            lock.lock();
            slot[static_cast<std::size_t>(c % slots)].ready = true;
            piece_ready.notify_one();
        }
    };
    std::vector<std::thread> helpers;
    try {
        const std::int64_t wanted = std::min<std::int64_t>(threads, pieces) - 1;
        helpers.reserve(static_cast<std::size_t>(wanted));
        for (std::int64_t i = 0; i < wanted; ++i)
            helpers.emplace_back(helper);
    } catch (...) {
        // Fewer helpers: this thread scans what they would have.
    }

    // This thread writes the pieces in order and reports progress; while the next one to write
    // is not ready it scans a piece itself.
    bool go_on_by_runs = false;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        Piece& head = slot[static_cast<std::size_t>(written % slots)];
        if (!head.ready) {
            const std::int64_t c = take_piece();
            if (c >= 0) {
                lock.unlock();
                scan(c);
                lock.lock();
                slot[static_cast<std::size_t>(c % slots)].ready = true;
            } else if (written >= pieces) {
                result.status = ConvertStatus::short_text;
                break;
            } else {
                piece_ready.wait(lock);
            }
            continue;
        }
        lock.unlock();
        if (head.unreadable) {
            result.status = ConvertStatus::read_failed;
            lock.lock();
            break;
        }
        const std::int64_t take = std::min(head.lines, lines - result.lines);
        const std::size_t count = static_cast<std::size_t>(take * ncomp);
        if (take > 0 && std::fwrite(head.samples, sizeof(float), count, &out) != count) {
            result.status = ConvertStatus::write_failed;
            lock.lock();
            break;
        }
        result.lines += take;
        if (head.next) {
            // Pieces not written yet start looking for their first line one byte before
            // their own bytes.
            text.skip_mapped(head.next, take, std::min(head.next, piece_from(written + 1) - 1));
        }
        const bool cancelled = take > 0 && progress && !progress(text.consumed());
        lock.lock();
        head.ready = false;
        ++written;
        slot_free.notify_all();
        if (cancelled) {
            result.status = ConvertStatus::cancelled;
            break;
        }
        if (result.lines == lines)
            break;
        if (!head.whole) {
            go_on_by_runs = true;
            break;
        }
    }
    stop = true;
    lock.unlock();
    slot_free.notify_all();
    for (auto& h : helpers)
        h.join();
    release();
    return go_on_by_runs;
}

// Converts the lines from where `text` stands, one run at a time: the run's lines are found,
// then scanned on all threads, and written on a thread of their own while the next run is read.
void convert_by_runs(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp, int threads,
                     const std::function<bool(std::int64_t)>& progress, ConvertResult& result) {
    const std::int64_t max_run = std::max<std::int64_t>(1, run_samples / ncomp);
    const std::int64_t run_lines = std::min(max_run, lines - result.lines);
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
        return;
    }
    {
        // A single run has nothing to overlap its write with.
        BlockWriter writer(out, run_lines < lines - result.lines);
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
    release();
}

} // namespace

ConvertResult convert_grid_lines(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp,
                                 int threads, const std::function<bool(std::int64_t)>& progress) {
    ConvertResult result;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // The dropped rest of an overlong line reports progress too, so that Cancel reaches an
    // endless one.
    if (progress)
        text.set_drop_progress(progress);
    if (!text.mapped_text() || convert_pieces(text, out, lines, ncomp, threads, progress, result))
        convert_by_runs(text, out, lines, ncomp, threads, progress, result);
    if (result.status == ConvertStatus::done && std::fflush(&out) != 0)
        result.status = ConvertStatus::write_failed;
    text.set_drop_progress(nullptr);
    return result;
}
