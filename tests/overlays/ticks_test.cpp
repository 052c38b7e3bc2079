// The legend's tick rule: round steps, 4 to 6 ticks inside the span, labels that print them.
#include "nice_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

std::vector<double> values_of(double a, double b) {
    return nice_ticks(a, b).values;
}

// The step's mantissa is 1, 2, 2.5 or 5.
bool round_step(double step) {
    const double m = step / std::pow(10.0, std::floor(std::log10(step) + 1e-12));
    for (const double r : {1.0, 2.0, 2.5, 5.0})
        if (std::fabs(m - r) < 1e-9)
            return true;
    return false;
}

} // namespace

TEST(NiceTicks, familiar_ranges) {
    EXPECT_EQ(values_of(0.0, 100.0), (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_EQ(values_of(100.0, 0.0), values_of(0.0, 100.0)); // a negative range
    EXPECT_EQ(values_of(-2.0, 30.0), (std::vector<double>{0, 10, 20, 30}));
    // Kelvin: steps of 10 give only 3, steps of 5 give 6.
    EXPECT_EQ(values_of(271.15, 303.15), (std::vector<double>{275, 280, 285, 290, 295, 300}));
    const Ticks small = nice_ticks(0.001, 0.0013);
    ASSERT_EQ(small.values.size(), 4u);
    EXPECT_NEAR(small.values.front(), 0.001, 1e-15);
    EXPECT_NEAR(small.step, 0.0001, 1e-18);
    EXPECT_EQ(tick_label(small.values[1], small.decimals), "0.0011");
}

TEST(NiceTicks, labels_print_each_tick_once_and_never_minus_zero) {
    const Ticks t = nice_ticks(-0.5, 0.5);
    std::vector<std::string> labels;
    for (const double v : t.values)
        labels.push_back(tick_label(v, t.decimals));
    // Steps of 0.2 and 0.25 both give 5: the plainer one.
    EXPECT_EQ(labels, (std::vector<std::string>{"-0.4", "-0.2", "0.0", "0.2", "0.4"}));
    const Ticks quarter = nice_ticks(0.0, 1.0);
    EXPECT_EQ(quarter.values, (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));
    EXPECT_EQ(tick_label(quarter.values[1], quarter.decimals), "0.25");
    EXPECT_EQ(tick_label(-0.0, 1), "0.0");
    EXPECT_EQ(tick_label(-1e-17, 2), "0.00");
    EXPECT_EQ(tick_label(-3.0, 0), "-3");
    // No ticks for an empty or undefined span.
    EXPECT_TRUE(values_of(5.0, 5.0).empty());
    EXPECT_TRUE(values_of(0.0, NAN).empty());
}

// Any span: 4 to 6 ticks, ascending, inside the span, whole multiples of a round step.
TEST(NiceTicks, every_span_gets_four_to_six_round_ticks) {
    std::mt19937 random(21);
    std::uniform_real_distribution<double> start(-1000.0, 1000.0), magnitude(-4.0, 5.0);
    for (int i = 0; i < 20000; ++i) {
        const double a = start(random), b = a + std::pow(10.0, magnitude(random));
        const Ticks t = nice_ticks(a, b);
        ASSERT_GE(t.values.size(), 4u) << a << " " << b;
        ASSERT_LE(t.values.size(), 6u) << a << " " << b;
        ASSERT_TRUE(round_step(t.step)) << t.step;
        for (std::size_t k = 0; k < t.values.size(); ++k) {
            const double v = t.values[k];
            ASSERT_GE(v, a - 1e-9 * std::fabs(a));
            ASSERT_LE(v, b + 1e-9 * std::fabs(b));
            ASSERT_NEAR(v / t.step, std::round(v / t.step), 1e-6);
            if (k > 0) {
                ASSERT_NEAR(v - t.values[k - 1], t.step, 1e-9 * std::max(1.0, std::fabs(v)));
            }
        }
    }
}
