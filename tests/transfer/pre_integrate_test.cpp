#include "curve_fixtures.h"
#include "path_integral.h"
#include "pre_integrate.h"
#include "reference_classify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double average(const TransferFunction& f, std::vector<float> values, double low = 0.0,
               double range = 100.0) {
    return pre_integrate(f.segments, f.count, static_cast<int>(values.size()), low, 1.0 / range,
                         f.x, values.data());
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
    EXPECT_DOUBLE_EQ(average(one_segment(1.0), {0.0f, 50.0f}), 0.5);
    EXPECT_DOUBLE_EQ(average(one_segment(0.25), {0.0f, 50.0f}), 0.125);
}

TEST(PreIntegrate, one_component_has_no_piece) {
    EXPECT_EQ(average(built_curve({{0.5, 1.0}}), {40.0f}), 0.0);
}

TEST(PreIntegrate, pieces_below_zero_count_from_zero_divided_by_full_length) {
    const TransferFunction one = one_segment(1.0);
    EXPECT_EQ(average(one, {-20.0f, -10.0f}), 0.0);
    // From -0.5 up to 0.5: integrated from 0 only, divided by the whole length 1.
    EXPECT_DOUBLE_EQ(average(one, {-50.0f, 50.0f}), 0.25);
    // Values running back below 0 at the end: the walk ends while passing over them.
    EXPECT_EQ(average(one, {10.0f, 30.0f, -50.0f}), 0.0);
}

TEST(PreIntegrate, parts_above_the_last_position_count_nothing) {
    const TransferFunction one = one_segment(1.0);
    EXPECT_DOUBLE_EQ(average(one, {50.0f, 150.0f}), 0.25);
    EXPECT_EQ(average(one, {120.0f, 150.0f}), 0.0);
    // Once past 1.0, later pieces add nothing, even back inside the range.
    EXPECT_DOUBLE_EQ(average(one, {50.0f, 150.0f, 50.0f}), 0.5 / 3.0);
}

TEST(PreIntegrate, descending_piece_uses_the_current_segment) {
    EXPECT_DOUBLE_EQ(average(one_segment(1.0), {80.0f, 20.0f}), 0.5);
    // Two segments meeting at 0.5: the piece from 0.8 down to 0.2 is integrated with the
    // segment that holds 0.8, also below that segment's start.
    const TransferFunction f = built_curve({{0.5, 1.0}});
    const double* c = f.segments[1].coefficients;
    const auto F = [&](double u) {
        return u * (c[0] + u * (c[1] / 2 + u * (c[2] / 3 + u * c[3] / 4)));
    };
    const double t0 = 80.0f / 100.0, t1 = 20.0f / 100.0;
    EXPECT_NEAR(average(f, {80.0f, 20.0f}), 0.5 * (F(t1) - F(t0)) / (t1 - t0), 1e-12);
}

// Equal consecutive values: the piece's mean as its length goes to zero, 1/n of the curve's
// value there, and nothing where no piece of that value would count.
TEST(PreIntegrate, zero_length_piece_contributes_the_curve_value) {
    const TransferFunction f = built_curve({{0.5, 1.0}});
    const double at_40 = ease(f, 0.4);
    EXPECT_NEAR(average(f, {40.0f, 40.0f}), 0.5 * at_40, 1e-12);
    EXPECT_NEAR(average(f, {40.0f, 40.0f, 40.0f}), 2.0 / 3.0 * at_40, 1e-12);
    EXPECT_EQ(average(f, {-10.0f, -10.0f}), 0.0);
    EXPECT_EQ(average(f, {130.0f, 130.0f}), 0.0);
    const double mixed = average(f, {20.0f, 40.0f, 40.0f});
    EXPECT_NEAR(mixed, (integral(f, 0.2f, 0.4f) / 0.2 + at_40) / 3.0, 1e-6);
    EXPECT_TRUE(std::isfinite(mixed));
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
        EXPECT_NEAR(average(f, s, low, range), expected, tolerance) << "trial " << trial;
    }
}

// The table-driven walk for ordered curves against the step-by-step walk and the literal
// reference, on paths that go below 0, above 1, down, and stand still.
TEST(PreIntegrate, fast_walk_matches_step_by_step_walk) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-30.0f, 130.0f);
    for (int trial = 0; trial < 20000; ++trial) {
        TransferFunction f = random_curve(rng);
        if (trial % 7 == 0 && f.count > 2) {
            f.x[1] = f.x[0]; // a zero-width segment
            f.segments_built = false;
        }
        if (trial % 11 == 0) {
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
        std::vector<double> t(n), den(n), weight(n);
        for (int j = 0; j < n; ++j) {
            t[j] = (s[j] - 0.0) * inv;
            if (j) {
                den[j] = (static_cast<double>(s[j]) - s[j - 1]) * inv;
                weight[j] = (1.0 / n) / den[j];
            }
        }
        const ValuePath path{n, 1.0 / n, t.data(), den.data(), weight.data()};
        const double stepwise = integrate_path_stepwise(curve, path);
        const double reference =
            reference_pre_integrate(f.segments, f.count, n, 0.0, inv, f.x, s.data());
        const double tolerance = 1e-9 * std::max(1.0, std::fabs(reference));
        EXPECT_NEAR(integrate_path_ordered(curve, path), stepwise, tolerance) << trial;
        EXPECT_NEAR(stepwise, reference, tolerance) << trial;
        if (n == 2 && den[1] != 0.0) {
            EXPECT_NEAR(integrate_piece_ordered(curve, t[0], t[1], weight[1]), reference, tolerance)
                << trial;
        }
    }
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
