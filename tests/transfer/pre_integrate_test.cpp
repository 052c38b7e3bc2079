#include "curve_fixtures.h"
#include "path_integral.h"
#include "pre_integrate.h"
#include "reference_classify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr PathIntegration exact = PathIntegration::exact;
constexpr PathIntegration forward = PathIntegration::forward;

double average(const TransferFunction& f, std::vector<float> values,
               PathIntegration integration = exact, double low = 0.0, double range = 100.0) {
    return pre_integrate(f.segments, f.count, static_cast<int>(values.size()), low, 1.0 / range,
                         f.x, values.data(), integration);
}

// The curve's value from its points alone (the cubic ease), not from its segments.
double ease(const TransferFunction& f, double u) {
    double x0 = 0.0, y0 = 0.0;
    for (int i = 0; i < f.count; ++i) {
        if (u <= f.x[i]) {
            const double s = (u - x0) / (f.x[i] - x0);
            return y0 + (f.y[i] - y0) * (3 * s * s - 2 * s * s * s);
        }
        x0 = f.x[i];
        y0 = f.y[i];
    }
    return 0.0;
}

// The integral of the ease from a to b (a <= b in [0, 1]) by Simpson's rule on every stretch
// between control points, exact for cubics.
double integral(const TransferFunction& f, double a, double b) {
    std::vector<double> cuts{a};
    for (int i = 0; i < f.count; ++i)
        if (f.x[i] > a && f.x[i] < b)
            cuts.push_back(f.x[i]);
    cuts.push_back(b);
    double sum = 0.0;
    for (std::size_t i = 1; i < cuts.size(); ++i) {
        const double l = cuts[i - 1], r = cuts[i], m = 0.5 * (l + r);
        // Evaluate just inside the stretch so a point's own segment is used at its ends.
        const double e = 1e-13 * (r - l);
        sum += (r - l) / 6.0 * (ease(f, l + e) + 4.0 * ease(f, m) + ease(f, r - e));
    }
    return sum;
}

} // namespace

TEST(PreIntegrate, constant_single_segment_is_halved_by_two_values) {
    for (PathIntegration integration : {exact, forward}) {
        EXPECT_DOUBLE_EQ(average(one_segment(1.0), {0.0f, 50.0f}, integration), 0.5);
        EXPECT_DOUBLE_EQ(average(one_segment(0.25), {0.0f, 50.0f}, integration), 0.125);
    }
}

// Forward, one component has no piece; exact, it is a path that stays at its value.
TEST(PreIntegrate, one_component) {
    const TransferFunction f = built_curve({{0.5, 1.0}});
    EXPECT_EQ(average(f, {40.0f}, forward), 0.0);
    EXPECT_EQ(average(f, {40.0f}), average(f, {40.0f, 40.0f}));
    EXPECT_NEAR(average(f, {40.0f}), 0.5 * ease(f, 0.4), 1e-15);
    EXPECT_EQ(average(f, {-10.0f}), 0.0);
    EXPECT_EQ(average(f, {130.0f}), 0.0);
}

TEST(PreIntegrate, pieces_below_zero_count_from_zero_divided_by_full_length) {
    const TransferFunction one = one_segment(1.0);
    for (PathIntegration integration : {exact, forward}) {
        EXPECT_EQ(average(one, {-20.0f, -10.0f}, integration), 0.0);
        // From -0.5 up to 0.5: integrated from 0 only, divided by the whole length 1.
        EXPECT_DOUBLE_EQ(average(one, {-50.0f, 50.0f}, integration), 0.25);
    }
    // Values running back below 0 at the end: forward, the walk ends while passing over them;
    // exact, the last piece counts its part above 0: (1 + 1 * 30 / 80) / 3.
    EXPECT_EQ(average(one, {10.0f, 30.0f, -50.0f}, forward), 0.0);
    EXPECT_DOUBLE_EQ(average(one, {10.0f, 30.0f, -50.0f}), (1.0 + 30.0 / 80.0) / 3.0);
}

TEST(PreIntegrate, parts_above_the_last_position_count_nothing) {
    const TransferFunction one = one_segment(1.0);
    for (PathIntegration integration : {exact, forward}) {
        EXPECT_DOUBLE_EQ(average(one, {50.0f, 150.0f}, integration), 0.25);
        EXPECT_EQ(average(one, {120.0f, 150.0f}, integration), 0.0);
    }
    // Forward, once past 1.0 later pieces add nothing, even back inside the range; exact, the
    // piece back down counts its part below 1.0.
    EXPECT_DOUBLE_EQ(average(one, {50.0f, 150.0f, 50.0f}, forward), 0.5 / 3.0);
    EXPECT_DOUBLE_EQ(average(one, {50.0f, 150.0f, 50.0f}), 1.0 / 3.0);
}

TEST(PreIntegrate, descending_piece_forward_uses_the_current_segment) {
    EXPECT_DOUBLE_EQ(average(one_segment(1.0), {80.0f, 20.0f}, forward), 0.5);
    // Two segments meeting at 0.5: the piece from 0.8 down to 0.2 is integrated with the
    // segment that holds 0.8, also below that segment's start.
    const TransferFunction f = built_curve({{0.5, 1.0}});
    const double* c = f.segments[1].coefficients;
    const auto F = [&](double u) {
        return u * (c[0] + u * (c[1] / 2 + u * (c[2] / 3 + u * c[3] / 4)));
    };
    const double t0 = 80.0f / 100.0, t1 = 20.0f / 100.0;
    EXPECT_NEAR(average(f, {80.0f, 20.0f}, forward), 0.5 * (F(t1) - F(t0)) / (t1 - t0), 1e-12);
}

// Equal consecutive values: the piece's mean as its length goes to zero, 1/n of the curve's
// value there, and nothing where no piece of that value would count.
TEST(PreIntegrate, zero_length_piece_contributes_the_curve_value) {
    const TransferFunction f = built_curve({{0.5, 1.0}});
    const double at_40 = ease(f, 0.4);
    for (PathIntegration integration : {exact, forward}) {
        EXPECT_NEAR(average(f, {40.0f, 40.0f}, integration), 0.5 * at_40, 1e-12);
        EXPECT_NEAR(average(f, {40.0f, 40.0f, 40.0f}, integration), 2.0 / 3.0 * at_40, 1e-12);
        EXPECT_EQ(average(f, {-10.0f, -10.0f}, integration), 0.0);
        EXPECT_EQ(average(f, {130.0f, 130.0f}, integration), 0.0);
        const double mixed = average(f, {20.0f, 40.0f, 40.0f}, integration);
        EXPECT_NEAR(mixed, (integral(f, 0.2f, 0.4f) / 0.2 + at_40) / 3.0, 1e-6);
        EXPECT_TRUE(std::isfinite(mixed));
    }
    // Exact, after a descent: the piece down from 60 to 40 and the standing one at 40.
    EXPECT_NEAR(average(f, {60.0f, 40.0f, 40.0f}), (integral(f, 0.4f, 0.6f) / 0.2 + at_40) / 3.0,
                1e-6);
}

TEST(PreIntegrate, ascending_values_give_the_mean_over_each_piece_over_n) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int trial = 0; trial < 400; ++trial) {
        const TransferFunction f = random_curve(rng);
        const int n = 2 + static_cast<int>(rng() % 5);
        std::vector<float> t(n);
        for (float& v : t)
            v = unit(rng);
        std::sort(t.begin(), t.end());
        const double low = 10.0, range = 50.0;
        std::vector<float> s(n);
        for (int j = 0; j < n; ++j)
            s[j] = static_cast<float>(low + t[j] * range);
        double expected = 0.0;
        for (int j = 1; j < n; ++j) {
            const double a = (s[j - 1] - low) / range, b = (s[j] - low) / range;
            if (b > a)
                expected += integral(f, a, b) / (b - a) / n;
            else
                expected += ease(f, a) / n;
        }
        // The segments are polynomials in the absolute x: a narrow segment has large
        // coefficients that cancel, and a short piece divides that error by its length.
        double largest = 1.0, shortest = 1.0;
        for (int i = 0; i < f.count; ++i)
            for (double c : f.segments[i].coefficients)
                largest = std::max(largest, std::fabs(c));
        for (int j = 1; j < n; ++j)
            if (s[j] > s[j - 1])
                shortest = std::min(shortest, (s[j] - s[j - 1]) / range);
        const double tolerance = 1e-14 * largest / shortest + 1e-12;
        EXPECT_NEAR(average(f, s, exact, low, range), expected, tolerance) << "trial " << trial;
        EXPECT_EQ(average(f, s, forward, low, range), average(f, s, exact, low, range));
    }
}

// The table kernel for ordered curves against the step-by-step walk, and both against the
// references (forward: the literal walk; exact: the numerical average), on paths that go below
// 0, above 1, down, and stand still.
TEST(PreIntegrate, fast_walk_matches_step_by_step_walk) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-30.0f, 130.0f);
    for (int trial = 0; trial < 20000; ++trial) {
        TransferFunction f = random_curve(rng);
        if (trial % 7 == 0 && f.count > 2) {
            f.x[1] = f.x[0]; // a zero-width segment
            f.segments_built = false;
        }
        const bool below_zero = trial % 11 == 0;
        if (below_zero) {
            f.x[0] = -0.1; // a first point dragged below 0
            f.segments_built = false;
        }
        f.update_segments();
        const int n = 1 + static_cast<int>(rng() % 5);
        std::vector<float> s(n);
        for (float& v : s)
            v = rng() % 5 == 0 ? 50.0f : value(rng);
        const double inv = 1.0 / 100.0;

        PreparedCurve curve;
        curve.prepare(f.segments, f.count, f.x);
        ASSERT_TRUE(curve.ordered);
        std::vector<double> t(n + 1), den(n + 1), weight(n + 1);
        for (PathIntegration integration : {forward, exact}) {
            // A curve whose first point lies below 0 has no exact reference: its first segment
            // runs backwards, and both ways integrate it as the forward walk does on the way up.
            if (integration == exact && below_zero)
                continue;
            const float* samples = s.data();
            float twice[2];
            const int length = path_samples(samples, n, integration, twice);
            const ValuePath path =
                value_path(samples, length, 0.0, inv, t.data(), den.data(), weight.data());
            const double stepwise = integrate_path_stepwise(curve, path, integration);
            const double reference =
                integration == forward
                    ? reference_pre_integrate(f.segments, f.count, n, 0.0, inv, f.x, s.data())
                    : reference_exact_pre_integrate(f.segments, f.count, n, 0.0, inv, f.x,
                                                    s.data());
            const double tolerance = 1e-9 * std::max(1.0, std::fabs(reference));
            EXPECT_NEAR(stepwise, reference, tolerance) << trial;
            if (length > 1 && path.finite) {
                const double fast = integration == forward ? integrate_path_ordered(curve, path)
                                                           : integrate_pieces_exact(curve, path);
                EXPECT_NEAR(fast, stepwise, tolerance) << trial;
            }
        }
        if (n == 2 && ordinary_piece(t[0], t[1], weight[1])) {
            EXPECT_NEAR(integrate_piece_ordered(curve, t[0], t[1], weight[1]),
                        reference_pre_integrate(f.segments, f.count, n, 0.0, inv, f.x, s.data()),
                        1e-9)
                << trial;
        }
    }
}

// Exact: random curves (some with close pairs of points, so with narrow segments) along random
// paths of up to 12 values that rise, fall, stand still and leave the range, against the
// numerical average of the curve over each piece; and with two values the piece gives the same
// bits whichever way it runs.
TEST(PreIntegrate, exact_walk_gives_the_mean_over_each_piece_either_way) {
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<float> value(-30.0f, 130.0f);
    for (int trial = 0; trial < 3000; ++trial) {
        TransferFunction f = random_curve(rng);
        if (trial % 3 == 0) {
            const double x = 0.05 + 0.9 * unit(rng);
            f.insert(x, unit(rng));
            f.insert(x + std::pow(10.0, -2.0 - 5.0 * unit(rng)), unit(rng));
            f.segments_built = false;
            f.update_segments();
        }
        const int n = 1 + static_cast<int>(rng() % 12);
        std::vector<float> s(n);
        for (float& v : s)
            v = rng() % 6 == 0 && &v != s.data() ? (&v)[-1] : value(rng);
        const double expected =
            reference_exact_pre_integrate(f.segments, f.count, n, 0.0, 0.01, f.x, s.data());
        // Pieces as short as a few float steps divide the rounding of the absolute form by
        // their length (see SegmentBuilder::narrow_ratio).
        double shortest = 1.0;
        for (int j = 1; j < n; ++j)
            if (s[j] != s[j - 1])
                shortest = std::min(shortest, std::fabs(s[j] - s[j - 1]) / 100.0);
        EXPECT_NEAR(average(f, s), expected, 1e-12 / shortest + 1e-9) << "trial " << trial;
        if (n == 2) {
            EXPECT_EQ(average(f, s), average(f, {s[1], s[0]})) << "trial " << trial;
            if (s[1] >= s[0]) {
                EXPECT_EQ(average(f, s, forward), average(f, s));
            }
        }
    }
}

// The faults the forward walk shows on descending paths: a piece that falls from inside a
// segment 1e-7 wide is integrated with that segment's steep cubic far below its start, and a
// long path of values rising and falling through a curve of several points. Exact, a piece
// gives the bits of its ascending twin, and the long path's mean stays within the curve's values.
TEST(PreIntegrate, exact_walk_mends_descending_paths) {
    const TransferFunction step = built_curve({{0.5, 0.0}, {0.5 + 1e-7, 1.0}, {0.9, 1.0}});
    ASSERT_TRUE(step.segments[1].narrow);
    EXPECT_NEAR(average(step, {40.0f, 60.0f}), 0.25, 1e-6);
    EXPECT_EQ(average(step, {60.0f, 40.0f}), average(step, {40.0f, 60.0f}));
    const std::vector<float> inside_down = {50.000004f, 40.0f};
    EXPECT_EQ(average(step, inside_down), average(step, {40.0f, 50.000004f}));
    EXPECT_LT(std::fabs(average(step, inside_down)), 1e-6);
    EXPECT_GT(std::fabs(average(step, inside_down, forward)), 1e3);

    const TransferFunction hump = built_curve({{0.2, 0.1}, {0.45, 0.9}, {0.5, 0.2}, {0.8, 0.6}});
    std::vector<float> year(64);
    for (std::size_t m = 0; m < year.size(); ++m)
        year[m] = static_cast<float>(50.0 + 40.0 * std::cos(0.5 * m));
    EXPECT_LT(average(hump, year, forward), -1.0); // far outside the curve
    const double mean = average(hump, year);
    EXPECT_GT(mean, 0.0);
    EXPECT_LT(mean, 0.9);
    EXPECT_NEAR(mean,
                reference_exact_pre_integrate(hump.segments, hump.count, 64, 0.0, 0.01, hump.x,
                                              year.data()),
                1e-12);
}

// Narrow segments spread along the whole range, against the exact mean: random curves whose
// points come in close pairs, random ascending paths.
TEST(PreIntegrate, curves_with_close_pairs_of_points_stay_within_a_millionth) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double worst = 0.0;
    for (int trial = 0; trial < 2000; ++trial) {
        TransferFunction f;
        const int pairs = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < pairs; ++i) {
            const double x = 0.02 + 0.96 * unit(rng);
            const double gap = std::pow(10.0, -2.0 - 6.0 * unit(rng)); // 1e-2 down to 1e-8
            f.insert(x, unit(rng));
            f.insert(x + gap, unit(rng));
        }
        f.update_segments();
        const int n = 2 + static_cast<int>(rng() % 3);
        std::vector<float> s(n);
        for (float& v : s)
            v = static_cast<float>(100.0 * unit(rng));
        std::sort(s.begin(), s.end());
        long double exact = 0.0L;
        for (int j = 1; j < n; ++j) {
            const long double a = s[j - 1] / 100.0, b = s[j] / 100.0;
            exact += (b > a ? exact_integral(f, a, b) / (b - a) : exact_ease(f, a)) / n;
        }
        worst = std::max(worst, std::fabs(average(f, s) - static_cast<double>(exact)));
    }
    EXPECT_LT(worst, 1e-6);
}
