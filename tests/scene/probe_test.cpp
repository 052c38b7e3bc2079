// The value under the pointer: the walk through the grid's boxes against a fine march along
// the same ray, the pointer's ray against the drawn picture, and the words a person reads.
#include "pointer_probe.h"
#include "reference_probe.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// An RGBA volume, transparent but for the points `opaque` says.
template <class Opaque> void fill_colour(Volume& v, int nx, int ny, int nz, Opaque opaque) {
    ASSERT_TRUE(v.allocate_zeroed(nx, ny, nz, 4));
    v.valid = true;
    v.rgba = true;
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                if (opaque(x, y, z)) {
                    float* p = v.samples + v.flat_index(x, y, z, 0);
                    p[0] = p[1] = p[2] = 1.0f;
                    p[3] = 1.0f;
                }
}

} // namespace

TEST(PointerProbe, walk_meets_the_box_a_fine_march_meets) {
    Volume colour;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    fill_colour(colour, 13, 9, 6, [&](int, int, int) { return u(rng) > 0.8; });
    int hits = 0, checked = 0;
    for (const Vec3 scale : {Vec3{1, 1, 1}, Vec3{2, 0.5, -3}, Vec3{-1, 1, 1}}) {
        for (int i = 0; i < 150; ++i) {
            // From outside the grid towards a point within it (or just beside it).
            const Vec3 from{u(rng) * 30, u(rng) * 30, u(rng) * 30};
            const Vec3 to{u(rng) * 8 * scale.x, u(rng) * 6 * scale.y, u(rng) * 4 * scale.z};
            const ProbeRay ray{from, to.sub(from).scaled(0.1)};
            const ProbeHit want = marched_probe(colour, scale, ray, 2e-3, 150.0);
            const ProbeHit got = probe_grid(colour, scale, ray);
            ASSERT_EQ(got.hit, want.hit) << i;
            if (!want.hit)
                continue;
            ++hits;
            // A ray that grazes an edge within the march's step may pick the neighbour.
            const int off =
                std::abs(got.x - want.x) + std::abs(got.y - want.y) + std::abs(got.z - want.z);
            EXPECT_LE(off, 1) << i;
            checked += off == 0;
        }
    }
    EXPECT_GT(hits, 60);
    EXPECT_GE(checked, hits - 2);
    // Nothing at or below the threshold is picked; an empty or grey volume picks nothing.
    Volume faint;
    fill_colour(faint, 4, 4, 4, [](int, int, int) { return false; });
    for (std::int64_t i = 3; i < faint.sample_count(); i += 4)
        faint.samples[i] = probe_opacity_threshold;
    EXPECT_FALSE(probe_grid(faint, {1, 1, 1}, {{-50, 0, 0}, {1, 0, 0}}).hit);
    EXPECT_TRUE(probe_grid(colour, {1, 1, 1}, {{-50, 0, 0}, {1, 0, 0}}, -1.0f).hit);
    EXPECT_FALSE(probe_grid(Volume(), {1, 1, 1}, {{-50, 0, 0}, {1, 0, 0}}).hit);
}

TEST(PointerProbe, the_pointer_on_a_drawn_point_picks_it) {
    // One lit grid point in a dark grid, drawn by the main view's renderer from several
    // cameras; the pointer on the middle of its pixels must pick exactly that point.
    struct Case {
        double distance, tilt, turn, spin;
        Vec3 scale;
    };
    for (const Case c :
         {Case{40, 0, 0, 0, {1, 1, 1}}, Case{35, -0.6, 0.7, 0, {1, 1, 1}},
          Case{-30, 0.3, 2.2, 0.4, {1.5, 1, -2}}, Case{45, 1.2, -0.4, 0, {-1, 1, 1}}}) {
        Scene scene;
        fill_colour(scene.colour_volume, 9, 7, 5,
                    [](int x, int y, int z) { return x == 6 && y == 2 && z == 3; });
        ASSERT_TRUE(scene.data_volume.allocate_zeroed(9, 7, 5, 1));
        scene.data_volume.valid = true;
        scene.set_axis_scale(c.scale);
        scene.place_camera(c.distance, c.tilt, c.turn, c.spin);
        const int w = 240, h = 160;
        std::vector<unsigned char> rgba;
        std::string error;
        ASSERT_TRUE(scene.draw_image(w, h, rgba, error)) << error;
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (rgba[(static_cast<std::size_t>(y) * w + x) * 4 + 1] > 20) {
                    sx += x;
                    sy += y;
                    ++n;
                }
        ASSERT_GT(n, 4) << c.distance;
        const double fx = (sx / n + 0.5) / w, fy = (sy / n + 0.5) / h;
        EXPECT_NE(scene.probe(fx, fy, double(w) / h).find("x 2 y 2 z 3"), std::string::npos)
            << c.distance << " " << scene.probe(fx, fy, double(w) / h);
        // Far from the point, and outside the grid: nothing.
        EXPECT_EQ(scene.probe(0.01, 0.01, double(w) / h), "");
    }
}

TEST(PointerProbe, words_name_file_indices_coordinates_values_and_missing) {
    Volume colour, data;
    fill_colour(colour, 3, 2, 2, [](int, int, int) { return true; });
    ASSERT_TRUE(data.allocate_zeroed(3, 2, 2, 2));
    data.valid = true;
    float* v = data.samples + data.flat_index(0, 1, 1, 0);
    v[0] = 12.5f;
    v[1] = -9999.0f;
    GridDescription d;
    d.axes[0] = {"LON", 3, {10.5, 20.5, 30.5}, "degrees_east", "", ""};
    d.axes[2] = {"DEPTH", 2, {5, 15}, "m", "", "down"};
    ProbeHit hit;
    hit.hit = true;
    hit.x = 0; // the file's last column: the volumes are mirrored along x
    hit.y = 1;
    hit.z = 1;
    EXPECT_EQ(probe_words(hit, data, colour, d),
              "x 2 y 1 z 1 (LON 30.5 degrees_east, DEPTH 15 m): 12.5 missing; colour 1.00 1.00 "
              "1.00, opacity 1.00");
    v[0] = -9999.0f;
    EXPECT_EQ(probe_words(hit, data, colour, GridDescription()),
              "x 2 y 1 z 1: missing; colour 1.00 1.00 1.00, opacity 1.00");
    EXPECT_EQ(probe_words(ProbeHit(), data, colour, d), "");
}
