// The classification's bits against a separate copy of the forward walk as it was before the
// walks were rebuilt: every route (row pass and its vector form, general walk, any thread
// count, changed channels only) must reproduce them on smooth fields with missing blocks and
// on random paths.
#include "classify.h"
#include "classify_changes.h"
#include "classify_vector.h"
#include "curve_fixtures.h"
#include "path_integral.h"
#include "pre_integrate.h"
#include "reference_classify.h"
#include "shared_constants.h"
#include "volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::uint32_t bits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// A smooth field with a missing block, or random values with equal neighbours, values below
// and above the range and now and then an infinity or a NaN beyond the first component.
// `rising` sorts each point's values.
void make_field(Volume& v, int nx, int ny, int nz, int n, bool smooth, bool rising, unsigned seed) {
    ASSERT_TRUE(v.allocate(nx, ny, nz, n));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(-30.0f, 130.0f);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                float* p = v.samples + v.flat_index(x, y, z, 0);
                for (int c = 0; c < n; ++c) {
                    if (smooth) {
                        p[c] = static_cast<float>(50.0 + 45.0 * std::sin(0.3 * x + 0.5 * c) *
                                                             std::cos(0.2 * y - 0.1 * z));
                        continue;
                    }
                    const unsigned roll = rng() % 200;
                    p[c] = roll < 12 && c > 0 ? p[c - 1]
                           : roll == 12       ? 50.0f
                           : roll == 13 && c  ? (rng() % 2 ? INFINITY : -INFINITY)
                           : roll == 14 && c  ? NAN
                                              : value(rng);
                }
                if (rising)
                    std::sort(p, p + n, [](float a, float b) { return a < b; });
                if ((x >= 2 && x < 5 && y >= 1 && y < 4 && z < 2) || rng() % 97 == 0)
                    p[0] = -9999.0f;
            }
}

// Curve sets: random curves, curves with narrow segments, a zero-width segment and a first
// point below 0.
std::vector<std::array<TransferFunction, 4>> curve_sets() {
    std::vector<std::array<TransferFunction, 4>> sets;
    std::mt19937 rng(23);
    for (int i = 0; i < 3; ++i) {
        std::array<TransferFunction, 4> set;
        for (TransferFunction& f : set)
            f = random_curve(rng);
        sets.push_back(set);
    }
    sets.push_back({built_curve({{0.3, 0.1}, {0.5, 0.2}, {0.5 + 1e-6, 0.9}}),
                    built_curve({{0.25, 0.7}, {0.25 + 1e-7, 0.05}}),
                    built_curve({{0.89, 0.3}, {0.9, 1.0}}), built_curve({{0.7, 0.6}})});
    sets.push_back({built_curve({{0.3, 0.2}, {0.3, 0.9}, {0.7, 0.4}}),
                    built_curve({{-0.05, 0.6}, {0.5, 0.1}}), built_curve({}),
                    built_curve({{0.1, 0.4}, {0.2, 0.9}, {0.6, 0.3}})});
    return sets;
}

// Whether the point's normalised values never descend.
bool never_descends(const float* p, int n, double low, double inv) {
    for (int j = 1; j < n; ++j)
        if ((p[j] - low) * inv < (p[j - 1] - low) * inv)
            return false;
    return true;
}

// The copy's mean along the point's samples p; in the exact mode a single sample counts twice.
double baseline(const TransferFunction& f, const float* p, int n, double low, double inv,
                PathIntegration integration) {
    const float twice[2] = {p[0], p[0]};
    if (n == 1 && integration == PathIntegration::exact)
        return baseline_pre_integrate(f.segments, f.count, 2, low, inv, f.x, twice);
    return baseline_pre_integrate(f.segments, f.count, n, low, inv, f.x, p);
}

// What the copy gives each channel of each point that it must match: in the forward mode every
// present point, in the exact mode those whose normalised values never descend. Points left
// out have no entry.
struct Expected {
    std::vector<std::int64_t> points;
    std::vector<float> colours; // four per listed point
};

Expected baseline_colours(const Volume& data, const std::array<TransferFunction, 4>& curves,
                          const ClassifySettings& settings) {
    const double low = settings.low, inv = 1.0 / settings.range;
    const int n = data.ncomp;
    Expected e;
    for (std::int64_t point = 0; point < data.sample_count() / n; ++point) {
        const float* p = data.samples + point * n;
        if (is_missing_point(p[0]))
            continue;
        if (settings.integration == PathIntegration::exact && !never_descends(p, n, low, inv))
            continue;
        e.points.push_back(point);
        for (int c = 0; c < 4; ++c) {
            const double mean = baseline(curves[c], p, n, low, inv, settings.integration);
            e.colours.push_back(static_cast<float>(c == 3 ? 2.0 * mean : mean));
        }
    }
    return e;
}

// The colour volume holds the expected bits; returns how many points were compared.
int expect_baseline_bits(const Volume& colour, const Expected& e, const char* route) {
    for (std::size_t i = 0; i < e.points.size(); ++i) {
        for (int c = 0; c < 4; ++c) {
            const float expected = e.colours[4 * i + c];
            const float got = colour.samples[4 * e.points[i] + c];
            if (std::isnan(expected) && std::isnan(got))
                continue;
            if (bits(got) != bits(expected)) {
                ADD_FAILURE() << route << ": point " << e.points[i] << " channel " << c << " got "
                              << got << " expected " << expected;
                return 0;
            }
        }
    }
    return static_cast<int>(e.points.size());
}

} // namespace

TEST(ClassifyBits, every_route_reproduces_the_forward_walk) {
    const auto sets = curve_sets();
    for (int n : {1, 2, 3, 12}) {
        int compared[2] = {}; // forward, exact
        for (int field = 0; field < 3; ++field) {
            Volume data;
            make_field(data, 21, 9, 4, n, field == 0, field == 2, 100 + n + field);
            for (const auto& curves : sets) {
                const TransferFunction* pointers[4] = {&curves[0], &curves[1], &curves[2],
                                                       &curves[3]};
                for (int variant = 0; variant < 4; ++variant) {
                    ClassifySettings settings;
                    if (variant % 2) {
                        settings.low = -20.0;
                        settings.range = -80.0;
                    }
                    settings.integration =
                        variant < 2 ? PathIntegration::forward : PathIntegration::exact;
                    const Expected expected = baseline_colours(data, curves, settings);
                    for (bool vector_pass : {true, false}) {
                        set_vector_pairs_enabled(vector_pass);
                        for (int threads : {1, 3}) {
                            Volume colour;
                            ASSERT_TRUE(colour.allocate(21, 9, 4, 4));
                            ASSERT_TRUE(classify(colour, data, pointers, settings, threads));
                            compared[variant / 2] +=
                                expect_baseline_bits(colour, expected, "full classification");
                        }
                    }
                    set_vector_pairs_enabled(true);
                    // Changed channels: one curve at a time replaced by the next set's (forward
                    // with the positive range, exact with the negative one).
                    if (variant == 1 || variant == 2)
                        continue;
                    Volume colour;
                    ASSERT_TRUE(colour.allocate(21, 9, 4, 4));
                    CurveClassifier classifier;
                    std::array<TransferFunction, 4> edited = curves;
                    const TransferFunction* edited_pointers[4] = {&edited[0], &edited[1],
                                                                  &edited[2], &edited[3]};
                    ASSERT_TRUE(classifier.classify_all(colour, data, pointers, settings));
                    for (int c = 0; c < 4; ++c) {
                        edited[c] = sets[(c + 1) % sets.size()][c];
                        ASSERT_TRUE(
                            classifier.classify_changed(colour, data, edited_pointers, settings));
                        compared[variant / 2] += expect_baseline_bits(
                            colour, baseline_colours(data, edited, settings), "changed channels");
                    }
                }
            }
        }
        EXPECT_GT(compared[0], 10000) << n << " components";
        EXPECT_GT(compared[1], 1000) << n << " components";
    }
}

// The same at full double precision, where a change in the order of additions shows (the
// stored floats hide most of them): pre_integrate and the two-value piece kernel of the row
// pass against the copy, on random paths with descending, equal, out-of-range and non-finite
// values.
TEST(ClassifyBits, walks_reproduce_the_forward_walk_in_double_precision) {
    const auto sets = curve_sets();
    std::mt19937 rng(41);
    std::uniform_real_distribution<float> value(-30.0f, 130.0f);
    for (int trial = 0; trial < 20000; ++trial) {
        const TransferFunction& f = sets[trial % sets.size()][trial / sets.size() % 4];
        const int n = 1 + static_cast<int>(rng() % 12);
        std::vector<float> s(n);
        for (float& v : s) {
            const unsigned roll = rng() % 100;
            v = roll < 8 && &v != s.data() ? (&v)[-1] : roll == 8 ? INFINITY : value(rng);
        }
        if (trial % 3 == 0)
            std::sort(s.begin(), s.end());
        const double low = trial % 2 ? 0.0 : -20.0, inv = trial % 2 ? 0.01 : -1.0 / 80.0;
        for (PathIntegration integration : {PathIntegration::forward, PathIntegration::exact}) {
            if (integration == PathIntegration::exact && !never_descends(s.data(), n, low, inv))
                continue;
            const double expected = baseline(f, s.data(), n, low, inv, integration);
            const double got =
                pre_integrate(f.segments, f.count, n, low, inv, f.x, s.data(), integration);
            if (std::isnan(expected) && std::isnan(got))
                continue;
            ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
                << "trial " << trial << ": " << got << " expected " << expected;
        }
        const double expected =
            baseline_pre_integrate(f.segments, f.count, n, low, inv, f.x, s.data());
        if (n == 2) {
            PreparedCurve curve;
            curve.prepare(f.segments, f.count, f.x);
            const double t0 = (s[0] - low) * inv, t1 = (s[1] - low) * inv;
            const double w = 0.5 / ((static_cast<double>(s[1]) - s[0]) * inv);
            if (!curve.ordered || !std::isfinite(t0) || !std::isfinite(t1) || !std::isfinite(w))
                continue;
            const double piece = integrate_piece_ordered(curve, t0, t1, w);
            ASSERT_EQ(std::memcmp(&piece, &expected, sizeof piece), 0)
                << "trial " << trial << ": piece " << piece << " expected " << expected;
        }
    }
}
