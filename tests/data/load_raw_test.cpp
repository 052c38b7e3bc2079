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

TEST(LoadRaw, StatisticsSkipMissingSamples) {
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

TEST(LoadRaw, MinusHundredIsStoredButNotCounted) {
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

TEST(LoadRaw, MirrorReversesEachRowOfPoints) {
    RawVolume raw;
    // Two components per point so the mirror must move whole points, not single floats.
    make_raw(raw, 3, 2, 1, 2, {1, 10, 2, 20, 3, 30, 4, 40, 5, 50, 6, 60});
    Volume v;
    ASSERT_TRUE(v.load_raw(raw, false, true));
    const std::vector<float> want = {3, 30, 2, 20, 1, 10, 6, 60, 5, 50, 4, 40};
    EXPECT_EQ(std::vector<float>(v.samples, v.samples + 12), want);
}

TEST(LoadRaw, ByteSwapReversesEachFloat) {
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

TEST(LoadRaw, NoValidSampleGivesNanStatisticsAndKeepsMinMax) {
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

TEST(LoadRaw, SecondLoadReplacesTheFirst) {
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

TEST(RawVolumeRead, LongerFileReadsShorterFileFails) {
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
