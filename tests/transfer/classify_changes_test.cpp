#include "classify.h"
#include "classify_changes.h"
#include "classify_vector.h"
#include "curve_fixtures.h"
#include "volume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// A smooth field of `components` values per point with a missing block and a few equal pairs.
void smooth_field(Volume& v, int nx, int ny, int nz, int components) {
    ASSERT_TRUE(v.allocate(nx, ny, nz, components));
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                for (int c = 0; c < components; ++c) {
                    float value = static_cast<float>(
                        50.0 + 40.0 * std::sin(0.3 * x + 0.2 * c) * std::cos(0.25 * y - 0.1 * z) +
                        7.0 * c);
                    if (x >= 3 && x < 6 && y >= 2 && y < 5 && z < 3)
                        value = -9999.0f;
                    if (x == 7 && c > 0) // a piece of length zero
                        value = v.samples[v.flat_index(x, y, z, 0)];
                    v.samples[v.flat_index(x, y, z, c)] = value;
                }
}

bool same_bytes(const Volume& a, const Volume& b) {
    return a.sample_count() == b.sample_count() &&
           std::memcmp(a.samples, b.samples, a.sample_count() * sizeof(float)) == 0;
}

// One edit as the panel makes them: insert, move or remove a point, then rebuild.
void edit(TransferFunction& f, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const unsigned kind = rng() % 3;
    if (kind == 0 || f.count == 1) {
        f.insert(0.01 + 0.98 * unit(rng), unit(rng));
    } else if (kind == 1) {
        const int i = static_cast<int>(rng() % (f.count - 1));
        const double lo = i > 0 ? f.x[i - 1] : 0.0;
        f.set_point(i, lo + (f.x[i + 1] - lo) * unit(rng), unit(rng));
    } else {
        f.remove(static_cast<int>(rng() % (f.count - 1)));
    }
    f.segments_built = false;
    f.update_segments();
}

ClassifySettings at(double low, double range, MissingData missing = MissingData::grey,
                    PathIntegration integration = PathIntegration::exact) {
    ClassifySettings s;
    s.low = low;
    s.range = range;
    s.missing = missing;
    s.integration = integration;
    return s;
}

struct Case {
    Volume data, colour, full;
    TransferFunction curves[4];
    const TransferFunction* pointers[4] = {&curves[0], &curves[1], &curves[2], &curves[3]};
    CurveClassifier classifier;

    explicit Case(int components, unsigned seed) {
        smooth_field(data, 19, 11, 7, components);
        colour.allocate_zeroed(19, 11, 7, 4);
        full.allocate_zeroed(19, 11, 7, 4);
        std::mt19937 rng(seed);
        for (TransferFunction& f : curves)
            f = random_curve(rng);
    }
    // The colour volume a full classification of the current curves gives.
    bool full_classification(const ClassifySettings& settings, int threads = 1) {
        return classify(full, data, pointers, settings, threads);
    }
};

} // namespace

// Random edits of one curve at a time (and now and then of two), on two- and three-component
// data with missing points and pieces of length zero, through the row pass, its vector form
// and the general walk, in both ways of integrating: after each, the colour volume equals a
// full classification byte for byte, and only the edited channels were computed.
TEST(CurveClassifier, changed_channels_give_the_bytes_of_a_full_classification) {
    for (int components : {2, 3})
        for (int pass = 0; pass < 4; ++pass) {
            const bool vector = pass % 2 == 0;
            const ClassifySettings settings =
                at(0.0, 100.0, MissingData::grey,
                   pass < 2 ? PathIntegration::exact : PathIntegration::forward);
            set_vector_pairs_enabled(vector);
            Case c(components, 17 + components);
            ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, settings, 2));
            EXPECT_EQ(c.classifier.last_channels(), 0xF);
            std::mt19937 rng(3);
            for (int step = 0; step < 40; ++step) {
                const int channel = static_cast<int>(rng() % 4);
                int mask = 1 << channel;
                edit(c.curves[channel], rng);
                if (step % 9 == 4) {
                    const int other = (channel + 1) % 4;
                    edit(c.curves[other], rng);
                    mask |= 1 << other;
                }
                ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, settings,
                                                          1 + step % 3));
                ASSERT_TRUE(c.full_classification(settings));
                ASSERT_TRUE(same_bytes(c.colour, c.full))
                    << components << " components, pass " << pass << ", step " << step;
                // A change that leaves the segments as they were (a removal of a point past
                // the last one) computes nothing; otherwise a larger set only when the way of
                // computing changed.
                const int done = c.classifier.last_channels();
                EXPECT_TRUE(done == mask || done == 0xF || done == 0) << step;
            }
        }
    set_vector_pairs_enabled(true);
}

TEST(CurveClassifier, anything_but_the_curves_classifies_everything) {
    Case c(2, 5);
    ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, at(0.0, 100.0)));
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(0.0, 100.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0); // nothing changed

    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(10.0, 100.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // low end
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(10.0, 80.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // range
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers,
                                              at(10.0, 80.0, MissingData::faint)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // how missing points are drawn
    ASSERT_TRUE(c.classifier.classify_changed(
        c.colour, c.data, c.pointers, at(10.0, 80.0, MissingData::grey, PathIntegration::forward)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // how paths are integrated
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(10.0, 80.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);

    // New values in the same array: only forget() can tell.
    c.data.samples[0] += 5.0f;
    c.classifier.forget();
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(10.0, 80.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
    ASSERT_TRUE(c.full_classification(at(10.0, 80.0)));
    EXPECT_TRUE(same_bytes(c.colour, c.full));

    // Another data volume of the same extents.
    Volume other;
    smooth_field(other, 19, 11, 7, 2);
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, other, c.pointers, at(10.0, 80.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);

    // A refusal (extents that differ) leaves everything to the next call.
    Volume small;
    smooth_field(small, 4, 4, 4, 2);
    EXPECT_FALSE(c.classifier.classify_changed(c.colour, small, c.pointers, at(10.0, 80.0)));
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, other, c.pointers, at(10.0, 80.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
}

// A curve whose new point shares a search bucket with another (so no curve takes the row pass
// any more) changes how every channel is computed: the others are computed again too.
TEST(CurveClassifier, a_change_of_method_recomputes_the_other_channels) {
    Case c(2, 9);
    for (TransferFunction& f : c.curves)
        f = built_curve({{0.2, 0.4}, {0.6, 0.8}});
    ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, at(0.0, 100.0)));
    c.curves[1].insert(0.6 + 1e-7, 0.1);
    c.curves[1].segments_built = false;
    c.curves[1].update_segments();
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, at(0.0, 100.0)));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
    ASSERT_TRUE(c.full_classification(at(0.0, 100.0)));
    EXPECT_TRUE(same_bytes(c.colour, c.full));
}

// What the classifier reads of a curve is its revision. A moved point counts at once (before
// the segments are rebuilt, classification reads the new positions with the old segments), a
// rebuild that gives other segments counts again, and one that gives the same does not; a
// curve copied from another takes that curve's revision with its contents, so swapping in an
// equal curve computes nothing and swapping in a different one computes its channel.
TEST(CurveClassifier, curve_revisions_tell_what_changed) {
    Case c(3, 13);
    const ClassifySettings settings = at(0.0, 100.0);
    ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, settings));
    const auto changed = [&] {
        EXPECT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, settings));
        EXPECT_TRUE(c.full_classification(settings));
        EXPECT_TRUE(same_bytes(c.colour, c.full));
        return c.classifier.last_channels();
    };
    TransferFunction& green = c.curves[1];
    ASSERT_GT(green.count, 1);
    EXPECT_TRUE(green.set_point(0, green.x[0] * 0.5, 0.9));
    EXPECT_EQ(changed(), 0x2);
    green.update_segments();
    EXPECT_EQ(changed(), 0x2);
    green.segments_built = false;
    green.update_segments();
    EXPECT_EQ(changed(), 0);
    EXPECT_TRUE(green.set_point(0, green.x[0], green.y[0])); // where it already is
    EXPECT_EQ(changed(), 0);

    const TransferFunction saved = c.curves[3];
    c.curves[3] = c.curves[0];
    EXPECT_EQ(changed(), 0x8);
    c.curves[3] = saved;
    EXPECT_EQ(changed(), 0x8);
    c.curves[3] = saved;
    EXPECT_EQ(changed(), 0);

    // Fields written directly, then announced.
    c.curves[2].segments[0].coefficients[0] += 0.25;
    c.curves[2].mark_changed();
    EXPECT_EQ(changed(), 0x4);
}
