#include "raw_volume.h"
#include "temp_dir.h"
#include "volume.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A raw volume holding `values` as little-endian floats, ncomp per grid point.
void make_raw(RawVolume& raw, int nx, int ny, int nz, int ncomp, const std::vector<float>& values) {
    raw.nx = nx;
    raw.ny = ny;
    raw.nz = nz;
    raw.bytes_per_point = 4 * ncomp;
    raw.bytes = new unsigned char[values.size() * 4];
    std::memcpy(raw.bytes, values.data(), values.size() * 4);
}

} // namespace

TEST(LoadRaw, statistics_skip_missing_samples) {
    RawVolume raw;
    make_raw(raw, 4, 1, 1, 1, {1.0f, 2.0f, 3.0f, -200.0f});
    Volume v;
    ASSERT_TRUE(v.load_raw(raw, false, false));
    EXPECT_EQ(v.stat_count, 3);
    EXPECT_EQ(v.min_value(), 1.0);
    EXPECT_EQ(v.max_value(), 3.0);
    EXPECT_EQ(v.mean_value(), 2.0);
    EXPECT_NEAR(v.mean_square(), 14.0 / 3.0, 1e-12);
    EXPECT_NEAR(v.std_dev(), 0.816496580927726, 1e-12);
    EXPECT_EQ(v.sample(3, 0, 0), -200.0f); // stored unchanged
    EXPECT_FALSE(v.valid);                 // one point thick along y and z
}

TEST(LoadRaw, minus_hundred_is_stored_but_not_counted) {
    RawVolume raw;
    make_raw(raw, 2, 2, 2, 1, {-100.0f, 5, 5, 5, 5, 5, 5, 7});
    Volume v;
    ASSERT_TRUE(v.load_raw(raw, false, false));
    EXPECT_EQ(v.stat_count, 7);
    EXPECT_EQ(v.min_value(), 5.0);
    EXPECT_EQ(v.samples[0], -100.0f);
    EXPECT_TRUE(v.valid);
    EXPECT_EQ(v.component, 0);
}

TEST(LoadRaw, mirror_reverses_each_row_of_points) {
    RawVolume raw;
    // Two components per point so the mirror must move whole points, not single floats.
    make_raw(raw, 3, 2, 1, 2, {1, 10, 2, 20, 3, 30, 4, 40, 5, 50, 6, 60});
    Volume v;
    ASSERT_TRUE(v.load_raw(raw, false, true));
    const std::vector<float> want = {3, 30, 2, 20, 1, 10, 6, 60, 5, 50, 4, 40};
    EXPECT_EQ(std::vector<float>(v.samples, v.samples + 12), want);
}

TEST(LoadRaw, byte_swap_reverses_each_float) {
    RawVolume plain;
    plain.nx = plain.ny = plain.nz = 1;
    plain.bytes_per_point = 4;
    plain.bytes = new unsigned char[4]{0x00, 0x00, 0xC0, 0x3F};
    Volume v;
    ASSERT_TRUE(v.load_raw(plain, false, true));
    EXPECT_EQ(v.samples[0], 1.5f);
    RawVolume swapped;
    swapped.nx = swapped.ny = swapped.nz = 1;
    swapped.bytes_per_point = 4;
    swapped.bytes = new unsigned char[4]{0x3F, 0xC0, 0x00, 0x00};
    ASSERT_TRUE(v.load_raw(swapped, true, false));
    EXPECT_EQ(v.samples[0], 1.5f);
}

TEST(LoadRaw, no_valid_sample_gives_nan_statistics_and_keeps_min_max) {
    RawVolume raw;
    make_raw(raw, 2, 2, 2, 1, std::vector<float>(8, -9999.0f));
    Volume v;
    v.stat_min = 4.0;
    v.stat_max = 9.0;
    ASSERT_TRUE(v.load_raw(raw, false, true));
    EXPECT_EQ(v.stat_count, 0);
    EXPECT_FALSE(v.valid);
    EXPECT_TRUE(std::isnan(v.mean_value()));
    EXPECT_TRUE(std::isnan(v.mean_square()));
    EXPECT_TRUE(std::isnan(v.std_dev()));
    EXPECT_EQ(v.min_value(), 4.0);
    EXPECT_EQ(v.max_value(), 9.0);
}

TEST(LoadRaw, second_load_replaces_the_first) {
    RawVolume first;
    make_raw(first, 2, 2, 2, 1, {1, 2, 3, 4, 5, 6, 7, 100});
    RawVolume second;
    std::vector<float> values(24, 50.0f);
    values[0] = 20.0f;
    make_raw(second, 3, 2, 2, 2, values);
    Volume v;
    ASSERT_TRUE(v.load_raw(first, false, true));
    ASSERT_TRUE(v.load_raw(second, false, true));
    EXPECT_EQ(v.nx, 3);
    EXPECT_EQ(v.ncomp, 2);
    EXPECT_EQ(v.stat_count, 24);
    EXPECT_EQ(v.max_value(), 50.0);
    EXPECT_EQ(v.min_value(), 20.0);
}

TEST(RawVolumeRead, longer_file_reads_shorter_file_fails) {
    TempDir dir;
    const std::string path = dir.write("raw.dat", std::string(100, '\x01'));
    RawVolume raw;
    EXPECT_TRUE(raw.read(path.c_str(), 2, 3, 4, 4)); // 96 of 100 bytes
    ASSERT_NE(raw.bytes, nullptr);
    EXPECT_EQ(raw.bytes[95], 1);
    EXPECT_FALSE(raw.read(path.c_str(), 2, 3, 5, 4)); // 120 bytes wanted
    EXPECT_EQ(raw.bytes, nullptr);
    EXPECT_FALSE(raw.read(dir.file("missing.dat").c_str(), 1, 1, 1, 4));
    EXPECT_FALSE(raw.read(path.c_str(), 0, 3, 4, 4));
    EXPECT_EQ(raw.bytes, nullptr);
}

// Any number of threads, with or without byte swapping and mirroring, gives the samples and the
// statistics of the plain serial loop bit for bit: the sums of many values of mixed size
// depend on their order.
TEST(LoadRaw, threads_change_no_bit_of_samples_or_statistics) {
    const int nx = 37, ny = 29, nz = 11, ncomp = 3;
    std::vector<float> values(static_cast<std::size_t>(nx) * ny * nz * ncomp);
    std::uint32_t seed = 7;
    for (float& v : values) {
        seed = seed * 1664525u + 1013904223u;
        const int kind = seed >> 28;
        v = kind == 0   ? -9999.0f
            : kind == 1 ? -100.0f
            : kind == 2 ? -0.0f
            : kind == 3 ? std::nanf("")
                        : static_cast<float>(seed % 1000003) * 1e-3f * (kind % 2 ? 1e5f : 1.0f);
    }
    for (bool swap : {false, true}) {
        std::vector<float> stored = values;
        if (swap)
            for (float& v : stored) {
                std::uint32_t u;
                std::memcpy(&u, &v, 4);
                u = __builtin_bswap32(u);
                std::memcpy(&v, &u, 4);
            }
        RawVolume raw;
        make_raw(raw, nx, ny, nz, ncomp, stored);
        for (bool mirror : {false, true}) {
            // The plain loop, in file order.
            double sum = 0, squares = 0, lo = 0, hi = 0;
            std::int64_t count = 0;
            std::vector<float> expected(values.size());
            for (std::size_t i = 0; i < values.size(); ++i) {
                const float v = values[i];
                const std::size_t point = i / ncomp, row = point / nx, k = point % nx;
                const std::size_t x = mirror ? nx - 1 - k : k;
                expected[(row * nx + x) * ncomp + i % ncomp] = v;
                if (v > -100.0f) {
                    lo = count == 0 || v < lo ? v : lo;
                    hi = count == 0 || v > hi ? v : hi;
                    ++count;
                    sum += v;
                    squares += static_cast<double>(v) * v;
                }
            }
            for (int threads : {1, 2, 3, 8}) {
                Volume vol;
                ASSERT_EQ(vol.load_raw(raw, swap, mirror, threads, {}), Volume::LoadStatus::done);
                EXPECT_EQ(std::memcmp(vol.samples, expected.data(), expected.size() * 4), 0)
                    << threads << " threads, swap " << swap << ", mirror " << mirror;
                EXPECT_EQ(vol.stat_count, count);
                const double r = 1.0 / static_cast<double>(count);
                const double mean = sum * r, mean_square = squares * r;
                EXPECT_EQ(std::memcmp(&vol.stat_mean, &mean, sizeof mean), 0) << threads;
                EXPECT_EQ(std::memcmp(&vol.stat_mean_square, &mean_square, 8), 0) << threads;
                EXPECT_EQ(std::memcmp(&vol.stat_min, &lo, 8), 0) << threads;
                EXPECT_EQ(std::memcmp(&vol.stat_max, &hi, 8), 0) << threads;
            }
        }
    }
}

// The minimum and maximum are the first samples of their value in file order, so a zero keeps
// the sign of the first zero, wherever the rows and the runs of four samples put it.
TEST(LoadRaw, extremes_keep_the_sign_of_the_first_zero) {
    const float choices[] = {0.0f, -0.0f, -200.0f, std::nanf(""), 2.5f, -3.0f};
    std::uint32_t seed = 3;
    for (int trial = 0; trial < 300; ++trial) {
        const int nx = 1 + trial % 23, ny = 2, nz = 2;
        std::vector<float> values(static_cast<std::size_t>(nx) * ny * nz);
        for (float& v : values) {
            seed = seed * 1664525u + 1013904223u;
            // Mostly zeros of either sign among samples that are not valid; sometimes values
            // that win over them.
            v = choices[(seed >> 24) % (trial % 3 == 0 ? 6 : 4)];
        }
        double lo = 7.0, hi = 7.0;
        std::int64_t count = 0;
        for (float v : values)
            if (v > -100.0f) {
                lo = count == 0 || v < lo ? v : lo;
                hi = count == 0 || v > hi ? v : hi;
                ++count;
            }
        RawVolume raw;
        make_raw(raw, nx, ny, nz, 1, values);
        Volume vol;
        vol.stat_min = vol.stat_max = 7.0;
        ASSERT_EQ(vol.load_raw(raw, false, false, 2, {}), Volume::LoadStatus::done);
        ASSERT_EQ(vol.stat_count, count);
        EXPECT_EQ(std::memcmp(&vol.stat_min, &lo, 8), 0) << trial;
        EXPECT_EQ(std::memcmp(&vol.stat_max, &hi, 8), 0) << trial;
    }
}

TEST(LoadRaw, stopped_load_leaves_the_volume_not_valid) {
    RawVolume raw;
    make_raw(raw, 4, 8, 8, 1, std::vector<float>(256, 5.0f));
    Volume v;
    int calls = 0;
    EXPECT_EQ(
        v.load_raw(raw, false, true, 2, [&](std::int64_t, std::int64_t) { return ++calls < 2; }),
        Volume::LoadStatus::stopped);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(v.valid);
}
