#include "volume.h"

#include <gtest/gtest.h>

namespace {

// A valid single-component volume whose value at (x, y, z) is f(x, y, z).
template <class F> void fill(Volume& v, int nx, int ny, int nz, F f) {
    ASSERT_TRUE(v.allocate(nx, ny, nz, 1));
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                v.set_sample(x, y, z, f(x, y, z));
    v.valid = true;
}

} // namespace

TEST(Gradient, face_points_use_the_neighbours_inside) {
    Volume v;
    // Distinct powers of ten per axis let the result name the neighbours it used.
    fill(v, 5, 5, 5, [](int x, int y, int z) { return float(x * x + 10 * y * y + 100 * z * z); });
    const Vec3 g = v.gradient_at_index(0, 2, 4);
    // Moved to (1, 2, 3): x uses 0 and 2, y uses 1 and 3, z uses 2 and 4.
    EXPECT_EQ(g.x, 4.0 - 0.0);
    EXPECT_EQ(g.y, 10.0 * (9 - 1));
    EXPECT_EQ(g.z, 100.0 * (16 - 4));
}

TEST(Gradient, linear_ramp_gives_twice_the_slope_everywhere) {
    Volume v;
    fill(v, 4, 3, 5, [](int x, int, int) { return float(x); });
    for (int z = 0; z < 5; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const Vec3 g = v.gradient_at(x + 0.5, y, z);
                EXPECT_EQ(g.x, 2.0);
                EXPECT_EQ(g.y, 0.0);
                EXPECT_EQ(g.z, 0.0);
            }
}

TEST(Gradient, selected_component_is_differenced) {
    Volume v;
    ASSERT_TRUE(v.allocate(3, 3, 3, 2));
    for (int i = 0; i < 27; ++i) {
        v.samples[2 * i] = 0.0f;
        v.samples[2 * i + 1] = float(i); // x step 1, y step 3, z step 9
    }
    v.valid = true;
    v.select_component(1);
    const Vec3 g = v.gradient_at_index(1, 1, 1);
    EXPECT_EQ(g.x, 2.0);
    EXPECT_EQ(g.y, 6.0);
    EXPECT_EQ(g.z, 18.0);
}

TEST(Gradient, short_axes_give_zero_and_read_nothing_outside) {
    // Extents 1 and 2 have no interior point; the test runs under AddressSanitizer too.
    for (int n : {1, 2}) {
        Volume v;
        fill(v, n, 4, n, [](int x, int y, int z) { return float(x + 3 * y + 7 * z); });
        for (int z = 0; z < n; ++z)
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < n; ++x) {
                    const Vec3 g = v.gradient_at_index(x, y, z);
                    EXPECT_EQ(g.x, 0.0);
                    EXPECT_EQ(g.y, 6.0);
                    EXPECT_EQ(g.z, 0.0);
                }
    }
}

TEST(Gradient, invalid_volume_gives_zero) {
    Volume v;
    fill(v, 3, 3, 3, [](int x, int, int) { return float(5 * x); });
    v.valid = false;
    const Vec3 g = v.gradient_at_index(1, 1, 1);
    EXPECT_EQ(g.x, 0.0);
    Volume empty;
    empty.valid = true; // valid but without samples must not be read either
    EXPECT_EQ(empty.gradient_at_index(0, 0, 0).y, 0.0);
}
