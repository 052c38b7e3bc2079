#include "classify.h"
#include "classify_vector.h"
#include "curve_fixtures.h"
#include "pre_integrate.h"
#include "reference_classify.h"
#include "volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr float missing = -9999.0f;

void fill(Volume& v, int nx, int ny, int nz, int nc,
          const std::function<float(int, int, int, int)>& f) {
    ASSERT_TRUE(v.allocate(nx, ny, nz, nc));
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                for (int c = 0; c < nc; ++c)
                    v.samples[v.flat_index(x, y, z, c)] = f(x, y, z, c);
}

std::vector<float> samples_of(const Volume& v) {
    return {v.samples, v.samples + v.sample_count()};
}

// The settings of a classification with the given low end, range and integration.
ClassifySettings settings(double low = 0.0, double range = 100.0,
                          PathIntegration integration = PathIntegration::exact) {
    ClassifySettings s;
    s.low = low;
    s.range = range;
    s.integration = integration;
    return s;
}

struct Scene {
    Volume data, colour;
    TransferFunction red = one_segment(1.0), green = one_segment(0.5), blue = one_segment(0.0),
                     opacity = one_segment(0.25);
    const TransferFunction* curves[4] = {&red, &green, &blue, &opacity};

    bool classify(double low = 0.0, double range = 100.0,
                  PathIntegration integration = PathIntegration::exact) {
        return ::classify(colour, data, curves, settings(low, range, integration));
    }
};

// The four curves of an array, as classify takes them.
struct Curves {
    const TransferFunction* p[4];
    explicit Curves(const TransferFunction* f) : p{&f[0], &f[1], &f[2], &f[3]} {}
};

} // namespace

TEST(Classify, single_segment_curves_over_two_values) {
    Scene s;
    fill(s.data, 2, 2, 2, 2, [](int, int, int, int c) { return c ? 50.0f : 0.0f; });
    fill(s.colour, 2, 2, 2, 4, [](int, int, int, int) { return 0.0f; });
    ASSERT_TRUE(s.classify());
    EXPECT_TRUE(s.colour.valid);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(s.colour.samples[4 * i + 0], 0.5f);
        EXPECT_FLOAT_EQ(s.colour.samples[4 * i + 1], 0.25f);
        EXPECT_FLOAT_EQ(s.colour.samples[4 * i + 2], 0.0f);
        EXPECT_FLOAT_EQ(s.colour.samples[4 * i + 3], 0.25f); // opacity doubled
    }
}

// Forward, a single component has no piece and gives 0; exact, it is the path that stays at its
// value: the bytes of a grid point holding that value twice, half the curve's value there.
TEST(Classify, one_component_is_zero_forward_and_a_standing_path_exact) {
    Scene s;
    s.red = built_curve({{0.3, 0.8}, {0.6, 0.2}});
    fill(s.data, 6, 2, 2, 1, [](int x, int, int, int) { return 20.0f * x - 10.0f; });
    fill(s.colour, 6, 2, 2, 4, [](int, int, int, int) { return 7.0f; });
    ASSERT_TRUE(s.classify(0.0, 100.0, PathIntegration::forward));
    for (float v : samples_of(s.colour))
        EXPECT_EQ(v, 0.0f);

    ASSERT_TRUE(s.classify());
    Scene twice;
    twice.red = s.red;
    fill(twice.data, 6, 2, 2, 2, [](int x, int, int, int) { return 20.0f * x - 10.0f; });
    fill(twice.colour, 6, 2, 2, 4, [](int, int, int, int) { return 7.0f; });
    ASSERT_TRUE(twice.classify());
    EXPECT_EQ(samples_of(s.colour), samples_of(twice.colour));
    for (int x = 0; x < 6; ++x) {
        const float* q = s.colour.samples + 4 * x;
        const float value = 20.0f * x - 10.0f;
        EXPECT_NEAR(q[0], value < 0.0f ? 0.0 : 0.5 * exact_ease(s.red, value / 100.0), 1e-7) << x;
        EXPECT_FLOAT_EQ(q[1], value < 0.0f ? 0.0f : 0.25f);
        EXPECT_FLOAT_EQ(q[3], value < 0.0f ? 0.0f : 0.25f); // 2 x 1/2 x 0.25
    }
}

TEST(Classify, missing_points_are_grey_with_neighbourhood_opacity) {
    Scene s;
    fill(s.data, 3, 3, 3, 2, [](int x, int y, int z, int) {
        return (x == 0 && y == 0 && z == 0) || (x == 1 && y == 1 && z == 1) ? missing : 30.0f;
    });
    fill(s.colour, 3, 3, 3, 4, [](int, int, int, int) { return 0.0f; });
    ASSERT_TRUE(s.classify());
    const auto at = [&](int x, int y, int z, int c) {
        return s.colour.samples[s.colour.flat_index(x, y, z, c)];
    };
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(at(0, 0, 0, c), 0.75f);
        EXPECT_EQ(at(1, 1, 1, c), 0.75f);
    }
    // The corner's box holds itself and the missing centre; its divisor is 27.
    EXPECT_EQ(at(0, 0, 0, 3), static_cast<float>(0.8 + 0.2 * 2 / 27.0));
    // The centre's box holds all 27 points, two missing; its divisor is 8.
    EXPECT_EQ(at(1, 1, 1, 3), static_cast<float>(0.8 + 0.2 * 2 / 8.0));
}

TEST(Classify, lone_missing_corner_and_interior_points) {
    Scene s;
    fill(s.data, 3, 3, 3, 2,
         [](int x, int y, int z, int) { return x + y + z == 0 ? missing : 30.0f; });
    fill(s.colour, 3, 3, 3, 4, [](int, int, int, int) { return 0.0f; });
    ASSERT_TRUE(s.classify());
    EXPECT_EQ(s.colour.samples[3], static_cast<float>(0.8 + 0.2 * 1 / 27.0));

    Scene t;
    fill(t.data, 3, 3, 3, 2,
         [](int x, int y, int z, int) { return x == 1 && y == 1 && z == 1 ? missing : 30.0f; });
    fill(t.colour, 3, 3, 3, 4, [](int, int, int, int) { return 0.0f; });
    ASSERT_TRUE(t.classify());
    EXPECT_EQ(t.colour.samples[t.colour.flat_index(1, 1, 1, 3)], 0.825f);
}

TEST(Classify, minus_one_hundred_is_not_missing) {
    Scene s;
    fill(s.data, 1, 1, 1, 2, [](int, int, int, int c) { return c ? 50.0f : -100.0f; });
    fill(s.colour, 1, 1, 1, 4, [](int, int, int, int) { return 9.0f; });
    ASSERT_TRUE(s.classify(-100.0, 200.0));
    EXPECT_FLOAT_EQ(s.colour.samples[0], 0.5f);
}

// A NaN first component is not data: the grid point is missing, grey on every pass, and counts
// as missing in its neighbours' boxes. A NaN in a later component is not.
TEST(Classify, nan_first_component_is_missing) {
    for (int components : {2, 3}) {
        for (bool vector_pass : {true, false}) {
            set_vector_pairs_enabled(vector_pass);
            Scene s;
            fill(s.data, 9, 3, 3, components, [](int x, int y, int z, int c) {
                const bool centre = y == 1 && z == 1 && c == 0;
                return centre && x == 4 ? NAN : centre && x == 5 ? missing : 30.0f + c;
            });
            fill(s.colour, 9, 3, 3, 4, [](int, int, int, int) { return -1.0f; });
            ASSERT_TRUE(s.classify());
            const float* q = s.colour.samples + s.colour.flat_index(4, 1, 1, 0);
            // Both boxes hold the NaN point and the -9999 one.
            for (int i : {0, 4}) {
                EXPECT_EQ(q[i + 0], 0.75f);
                EXPECT_EQ(q[i + 3], static_cast<float>(0.8 + 0.2 * 2 / 8.0));
            }
            Volume reference;
            fill(reference, 9, 3, 3, 4, [](int, int, int, int) { return -1.0f; });
            ASSERT_TRUE(reference_classify(reference, s.data, s.curves, 0.0, 100.0,
                                           PathIntegration::exact));
            for (std::int64_t i = 0; i < reference.sample_count(); ++i)
                EXPECT_NEAR(s.colour.samples[i], reference.samples[i], 1e-6) << i;
        }
    }
    set_vector_pairs_enabled(true);
}

TEST(Classify, refusals_leave_the_colour_volume_unchanged) {
    Scene s;
    fill(s.data, 4, 3, 2, 2, [](int x, int, int, int c) { return 10.0f * x + c; });
    const auto refused = [&](Volume& colour, double low, double range) {
        const std::vector<float> before = samples_of(colour);
        const bool valid = colour.valid;
        EXPECT_FALSE(classify(colour, s.data, s.curves, settings(low, range)));
        EXPECT_EQ(samples_of(colour), before);
        EXPECT_EQ(colour.valid, valid);
    };
    Volume wrong_extent;
    fill(wrong_extent, 4, 3, 3, 4, [](int, int, int, int) { return 3.0f; });
    refused(wrong_extent, 0.0, 100.0);
    Volume three_channels;
    fill(three_channels, 4, 3, 2, 3, [](int, int, int, int) { return 3.0f; });
    refused(three_channels, 0.0, 100.0);
    Volume colour;
    fill(colour, 4, 3, 2, 4, [](int, int, int, int) { return 3.0f; });
    refused(colour, 0.0, 0.0);
    refused(colour, 0.0, -0.0);
    refused(colour, 0.0, INFINITY);
    refused(colour, 0.0, NAN);
    refused(colour, NAN, 100.0);
    refused(colour, -INFINITY, 100.0);
    EXPECT_TRUE(classify(colour, s.data, s.curves, settings(0.0, -100.0)));
}

TEST(Classify, constant_field_stays_finite) {
    Scene s;
    s.red = built_curve({{0.4, 0.8}});
    fill(s.data, 5, 5, 5, 2, [](int, int, int, int) { return 30.0f; });
    fill(s.colour, 5, 5, 5, 4, [](int, int, int, int) { return 0.0f; });
    ASSERT_TRUE(s.classify());
    for (float v : samples_of(s.colour))
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(s.colour.samples[0], 0.0f);
}

// A range so large that a piece's length is subnormal and 1/length overflows (found by
// fuzzing): the result must still be the curve's mean, not NaN, on every pass.
TEST(Classify, huge_range_with_tiny_pieces_stays_finite) {
    for (int components : {2, 3}) {
        for (bool vector_pass : {true, false}) {
            // The negative range turns the rising values into a descending path, which the two
            // ways of integrating take differently; the forward way's reference is the literal
            // walk.
            set_vector_pairs_enabled(vector_pass);
            Scene s;
            s.red = built_curve({{0.4, 0.8}});
            fill(s.data, 9, 2, 2, components,
                 [](int x, int, int, int c) { return 10.0f + x + 0.001f * c; });
            fill(s.colour, 9, 2, 2, 4, [](int, int, int, int) { return -1.0f; });
            Volume reference;
            fill(reference, 9, 2, 2, 4, [](int, int, int, int) { return -1.0f; });
            const double low = 48.5, range = -1.5e307;
            ASSERT_TRUE(s.classify(low, range, PathIntegration::forward));
            ASSERT_TRUE(reference_classify(reference, s.data, s.curves, low, range,
                                           PathIntegration::forward));
            for (std::int64_t i = 0; i < s.colour.sample_count(); ++i) {
                EXPECT_TRUE(std::isfinite(s.colour.samples[i])) << i;
                EXPECT_NEAR(s.colour.samples[i], reference.samples[i], 1e-6) << i;
            }
        }
    }
    set_vector_pairs_enabled(true);
}

// A grid with values below, inside and above the range, equal neighbours and missing points:
// every thread count gives the same bytes, and they agree with the reference of each way of
// integrating (forward: the literal walk; exact: the numerical average, with curves whose
// points all lie in 0..1).
TEST(Classify, any_thread_count_gives_the_same_bytes_as_the_reference) {
    for (int variant = 0; variant < 6; ++variant) {
        const PathIntegration integration =
            variant < 4 ? PathIntegration::forward : PathIntegration::exact;
        const int components = 2 + variant % 2;
        std::mt19937 rng(components);
        std::uniform_real_distribution<float> value(-20.0f, 120.0f);
        Volume data;
        fill(data, 37, 23, 19, components, [&](int, int, int, int c) {
            const unsigned roll = rng() % 100;
            return roll == 0 ? missing : roll < 5 ? 40.0f : value(rng);
        });
        std::mt19937 curve_rng(11);
        TransferFunction curves[4];
        for (TransferFunction& f : curves)
            f = random_curve(curve_rng);
        if (variant >= 2) {
            // Two points at one x (a zero-width segment) and, forward, a first point below 0.
            curves[1] = built_curve({{0.3, 0.2}, {0.3, 0.9}, {0.7, 0.4}});
            curves[2] = variant < 4 ? built_curve({{-0.05, 0.6}, {0.5, 0.1}})
                                    : built_curve({{0.0, 0.6}, {0.5, 0.1}});
        }
        const Curves pointers(curves);

        Volume reference;
        fill(reference, 37, 23, 19, 4, [](int, int, int, int) { return 0.0f; });
        ASSERT_TRUE(reference_classify(reference, data, pointers.p, 0.0, 100.0, integration));
        std::vector<float> first;
        for (int threads : {1, 2, 3, 5, 8, 19, 40}) {
            Volume colour;
            fill(colour, 37, 23, 19, 4, [](int, int, int, int) { return -1.0f; });
            ASSERT_TRUE(
                classify(colour, data, pointers.p, settings(0.0, 100.0, integration), threads));
            const std::vector<float> got = samples_of(colour);
            if (first.empty())
                first = got;
            EXPECT_EQ(std::memcmp(got.data(), first.data(), got.size() * sizeof(float)), 0)
                << threads << " threads";
            double worst = 0.0;
            for (std::size_t i = 0; i < got.size(); ++i)
                worst = std::fmax(worst, std::fabs(got[i] - reference.samples[i]));
            EXPECT_LE(worst, integration == PathIntegration::exact ? 2e-6 : 1e-6)
                << "variant " << variant;
        }
    }
}

// The four-points-at-a-time pass (where the processor has it) against the scalar pass, in both
// ways of integrating.
TEST(Classify, vector_pass_gives_the_same_bytes_as_the_scalar_pass) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(-20.0f, 120.0f);
    Volume data;
    fill(data, 67, 9, 5, 2, [&](int, int, int, int) {
        const unsigned roll = rng() % 100;
        return roll == 0 ? missing : roll < 3 ? 40.0f : value(rng);
    });
    std::mt19937 curve_rng(8);
    TransferFunction curves[4];
    for (TransferFunction& f : curves)
        f = random_curve(curve_rng);
    const Curves pointers(curves);
    for (PathIntegration integration : {PathIntegration::exact, PathIntegration::forward}) {
        std::vector<float> results[2];
        for (int pass = 0; pass < 2; ++pass) {
            set_vector_pairs_enabled(pass == 0);
            Volume colour;
            fill(colour, 67, 9, 5, 4, [](int, int, int, int) { return -1.0f; });
            ASSERT_TRUE(classify(colour, data, pointers.p, settings(0.0, 100.0, integration), 1));
            results[pass] = samples_of(colour);
        }
        set_vector_pairs_enabled(true);
        ASSERT_EQ(results[0].size(), results[1].size());
        EXPECT_EQ(std::memcmp(results[0].data(), results[1].data(), results[0].size() * 4), 0);
    }
}

// Curves with points 1e-6 and 1e-7 apart (two positions in one bucket of the search table,
// so every grid point takes the general walk), and a set whose narrow segment is 0.01 wide
// near x = 0.9 (one position per bucket, so two-component rows take the row pass). On every
// path and thread count each grid point gets the exact mean of the ease through the points,
// and the vector setting changes no byte.
TEST(Classify, narrow_segments_classify_to_the_exact_mean_on_every_path) {
    const TransferFunction close = built_curve({{0.3, 0.1}, {0.5, 0.2}, {0.5 + 1e-6, 0.9}});
    const TransferFunction closer = built_curve({{0.25, 0.7}, {0.25 + 1e-7, 0.05}});
    const TransferFunction near_end = built_curve({{0.89, 0.3}, {0.9, 1.0}});
    ASSERT_TRUE(close.segments[2].narrow && closer.segments[1].narrow &&
                near_end.segments[1].narrow);
    struct Set {
        TransferFunction curves[4];
        float starts[3]; // where row y's values gather: the narrow segment of curve y
    };
    const Set sets[2] = {
        {{close, closer, near_end, built_curve({{0.7, 0.6}})}, {50.0f, 25.0f, 89.0f}},
        {{near_end, built_curve({{0.5, 0.4}}), built_curve({{0.2, 0.3}}), near_end},
         {89.0f, 89.5f, 90.0f}}};
    for (const Set& set : sets) {
        for (int components : {2, 3}) {
            // Ascending values within 2 of the row's place, or a few float steps past it.
            std::mt19937 rng(components);
            std::uniform_real_distribution<float> around(-2.0f, 2.0f), into(0.0f, 1e-4f);
            std::vector<float> values(21 * 3 * 2 * components);
            for (std::size_t i = 0; i < values.size(); i += components) {
                const float start = set.starts[i / components / 21 % 3];
                for (int c = 0; c < components; ++c)
                    values[i + c] = start + (rng() % 2 ? around(rng) : into(rng));
                std::sort(values.begin() + i, values.begin() + i + components);
            }
            Volume data;
            fill(data, 21, 3, 2, components, [&](int x, int y, int z, int c) {
                return values[((z * 3 + y) * 21 + x) * components + c];
            });
            std::vector<float> first;
            for (bool vector_pass : {true, false}) {
                set_vector_pairs_enabled(vector_pass);
                for (int threads : {1, 2}) {
                    Volume colour;
                    fill(colour, 21, 3, 2, 4, [](int, int, int, int) { return -1.0f; });
                    ASSERT_TRUE(classify(colour, data, Curves(set.curves).p, settings(), threads));
                    if (first.empty())
                        first = samples_of(colour);
                    EXPECT_EQ(samples_of(colour), first);
                }
            }
            set_vector_pairs_enabled(true);
            for (std::size_t point = 0; point < first.size() / 4; ++point) {
                const float* s = values.data() + point * components;
                for (int c = 0; c < 4; ++c) {
                    long double exact = 0.0L;
                    for (int j = 1; j < components; ++j) {
                        const long double a = s[j - 1] / 100.0, b = s[j] / 100.0;
                        exact += (b > a ? exact_integral(set.curves[c], a, b) / (b - a)
                                        : exact_ease(set.curves[c], a)) /
                                 components;
                    }
                    // Read in the absolute x, an ordinary segment keeps about 1e-6 of error
                    // over the shortest pieces (a few float steps); a narrow one was off by
                    // up to thousands.
                    const double factor = c == 3 ? 2.0 : 1.0;
                    EXPECT_NEAR(first[4 * point + c], factor * static_cast<double>(exact), 1e-5)
                        << components << " components, point " << point << ", channel " << c;
                }
            }
        }
    }
}

// A descending piece over a flat curve is 0 * a negative weight; every path adds it to a sum
// that starts at +0.0, so the colour volume holds +0.0, never -0.0 (bytes 00 00 00 80).
TEST(Classify, descending_piece_over_flat_curves_writes_positive_zero) {
    for (int nx : {1, 9}) {
        for (int components : {2, 3}) {
            for (int pass = 0; pass < 4; ++pass) {
                set_vector_pairs_enabled(pass % 2 == 0);
                Scene s;
                s.red = s.green = s.blue = s.opacity = built_curve({});
                fill(s.data, nx, 1, 1, components,
                     [](int, int, int, int c) { return c == 0 ? 50.0f : 30.0f; });
                fill(s.colour, nx, 1, 1, 4, [](int, int, int, int) { return -1.0f; });
                ASSERT_TRUE(s.classify(
                    0.0, 100.0, pass < 2 ? PathIntegration::exact : PathIntegration::forward));
                for (float v : samples_of(s.colour)) {
                    std::uint32_t bits;
                    std::memcpy(&bits, &v, sizeof bits);
                    EXPECT_EQ(bits, 0u) << nx << " points, " << components << " components";
                }
            }
        }
    }
    set_vector_pairs_enabled(true);
}

// Before the first import both volumes are empty; classifying them succeeds and marks the
// colour volume valid. An empty source against a sized colour volume still differs in extent.
TEST(Classify, empty_volumes_classify_and_become_valid) {
    Scene s;
    ASSERT_FALSE(s.colour.valid);
    EXPECT_TRUE(s.classify());
    EXPECT_TRUE(s.colour.valid);

    Scene sized;
    fill(sized.colour, 2, 2, 2, 4, [](int, int, int, int) { return 3.0f; });
    sized.colour.valid = false;
    EXPECT_FALSE(sized.classify());
    EXPECT_FALSE(sized.colour.valid);
}

// pre_integrate gives what the classification stores, also where a piece is so short that
// 1/length overflows.
TEST(Classify, pre_integrate_matches_the_classification) {
    Scene s;
    s.red = built_curve({{0.0, 0.5}, {0.4, 0.8}});
    fill(s.data, 5, 1, 1, 3,
         [](int x, int, int, int c) { return 10.0f + x + 0.001f * c * (x % 3); });
    fill(s.colour, 5, 1, 1, 4, [](int, int, int, int) { return -1.0f; });
    for (const auto& [low, range] : {std::pair{0.0, 100.0}, std::pair{48.5, -1.5e307}}) {
        ASSERT_TRUE(s.classify(low, range));
        for (int x = 0; x < 5; ++x) {
            const double mean =
                pre_integrate(s.red.segments, s.red.count, 3, low, 1.0 / range, s.red.x,
                              s.data.samples + 3 * x, PathIntegration::exact);
            EXPECT_EQ(static_cast<float>(mean), s.colour.samples[4 * x]) << x << " " << range;
        }
    }
}

// Faint and hidden change the missing grid points only, on the row pass (two components) and
// the general walk (three): faint keeps the grey at a tenth of its opacity, hidden leaves 0.
TEST(Classify, faint_and_hidden_missing_data_change_only_missing_points) {
    for (int components : {2, 3}) {
        std::mt19937 rng(components);
        Volume data;
        fill(data, 19, 7, 5, components,
             [&](int, int, int, int) { return rng() % 7 == 0 ? missing : float(rng() % 100); });
        std::mt19937 curve_rng(5);
        TransferFunction curves[4];
        for (TransferFunction& f : curves)
            f = random_curve(curve_rng);
        std::vector<float> got[3];
        for (MissingData mode : {MissingData::grey, MissingData::faint, MissingData::hidden}) {
            Volume colour;
            fill(colour, 19, 7, 5, 4, [](int, int, int, int) { return -1.0f; });
            ClassifySettings chosen;
            chosen.missing = mode;
            ASSERT_TRUE(classify(colour, data, Curves(curves).p, chosen));
            got[static_cast<int>(mode)] = samples_of(colour);
        }
        int missing_points = 0;
        for (std::int64_t p = 0; p < 19 * 7 * 5; ++p) {
            const float* grey = &got[0][4 * p];
            const float* faint = &got[1][4 * p];
            const float* hidden = &got[2][4 * p];
            if (data.samples[p * components] >= -100.0f) {
                EXPECT_EQ(std::memcmp(grey, faint, 16), 0);
                EXPECT_EQ(std::memcmp(grey, hidden, 16), 0);
                continue;
            }
            ++missing_points;
            EXPECT_EQ(std::memcmp(grey, faint, 12), 0);
            EXPECT_NEAR(faint[3], 0.1f * grey[3], 1e-7f);
            EXPECT_GE(grey[3], 0.8f);
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(hidden[c], 0.0f);
        }
        EXPECT_GT(missing_points, 50);
    }
}

// A lattice of grid points gets exactly the whole classification's bits in the channels asked
// for, and every other sample keeps what it held: on two-component rows (classified whole by
// the row pass) and on longer paths, with missing points, on any thread count.
TEST(Classify, lattice_gets_the_whole_classifications_bits_and_nothing_else_changes) {
    for (const int components : {2, 7}) {
        std::mt19937 rng(components);
        std::uniform_real_distribution<float> value(-20.0f, 120.0f);
        Volume data;
        fill(data, 19, 13, 11, components,
             [&](int, int, int, int) { return rng() % 50 == 0 ? missing : value(rng); });
        std::mt19937 curve_rng(3);
        TransferFunction curves[4];
        for (TransferFunction& f : curves)
            f = random_curve(curve_rng);
        const Curves pointers(curves);
        Volume whole;
        fill(whole, 19, 13, 11, 4, [](int, int, int, int) { return 0.0f; });
        ASSERT_TRUE(classify(whole, data, pointers.p, settings()));

        const GridLattice lattice{{0, 4, 8, 12, 16, 18}, {0, 5, 12}, {1, 2, 10}};
        for (const int channels : {0xF, 0x8}) {
            for (const int threads : {1, 3}) {
                Volume colour;
                fill(colour, 19, 13, 11, 4, [](int, int, int, int) { return -1.0f; });
                ASSERT_TRUE(classify_lattice(colour, data, pointers.p, settings(), lattice,
                                             channels, threads));
                int changed_off_lattice = 0;
                for (int z = 0; z < 11; ++z)
                    for (int y = 0; y < 13; ++y)
                        for (int x = 0; x < 19; ++x) {
                            const bool on = std::count(lattice.x.begin(), lattice.x.end(), x) &&
                                            std::count(lattice.y.begin(), lattice.y.end(), y) &&
                                            std::count(lattice.z.begin(), lattice.z.end(), z);
                            const float* got = colour.samples + colour.flat_index(x, y, z, 0);
                            const float* want = whole.samples + whole.flat_index(x, y, z, 0);
                            const bool missing_point =
                                data.samples[data.flat_index(x, y, z, 0)] == missing;
                            for (int c = 0; c < 4; ++c) {
                                const bool asked = (channels >> c & 1) || missing_point;
                                if (on && asked)
                                    ASSERT_EQ(std::memcmp(got + c, want + c, sizeof(float)), 0)
                                        << x << " " << y << " " << z << " channel " << c;
                                else if (!on && got[c] != -1.0f)
                                    ++changed_off_lattice; // only whole rows of pairs may change
                                else if (on && !asked)
                                    ASSERT_EQ(got[c], -1.0f);
                            }
                        }
                if (components != 2)
                    EXPECT_EQ(changed_off_lattice, 0);
            }
        }
        // An index outside the grid is refused with the colour volume unchanged.
        Volume colour;
        fill(colour, 19, 13, 11, 4, [](int, int, int, int) { return -1.0f; });
        EXPECT_FALSE(
            classify_lattice(colour, data, pointers.p, settings(), GridLattice{{0, 19}, {0}, {0}}));
        EXPECT_FALSE(
            classify_lattice(colour, data, pointers.p, settings(), GridLattice{{0}, {-1}, {0}}));
        EXPECT_TRUE(std::all_of(colour.samples, colour.samples + colour.sample_count(),
                                [](float s) { return s == -1.0f; }));
    }
}
