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
                    float value = static_cast<float>(50.0 + 40.0 * std::sin(0.3 * x + 0.2 * c) *
                                                                std::cos(0.25 * y - 0.1 * z) +
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
        f.x[i] = lo + (f.x[i + 1] - lo) * unit(rng);
        f.y[i] = unit(rng);
    } else {
        f.remove(static_cast<int>(rng() % (f.count - 1)));
    }
    f.segments_built = false;
    f.update_segments();
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
    bool full_classification(double low, double range, int threads = 1) {
        return classify_volume(full, data, curves[0], curves[1], curves[2], curves[3], low, range,
                               threads);
    }
};

} // namespace

// Random edits of one curve at a time (and now and then of two), on two- and three-component
// data with missing points and pieces of length zero, through the row pass, its vector form
// and the general walk: after each, the colour volume equals a full classification byte for
// byte, and only the edited channels were computed.
TEST(CurveClassifier, changed_channels_give_the_bytes_of_a_full_classification) {
    for (int components : {2, 3})
        for (bool vector : {true, false}) {
            set_vector_pairs_enabled(vector);
            Case c(components, 17 + components);
            ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, 0.0, 100.0,
                                                  MissingData::grey, 2));
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
                ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 0.0,
                                                          100.0, MissingData::grey,
                                                          1 + step % 3));
                ASSERT_TRUE(c.full_classification(0.0, 100.0));
                ASSERT_TRUE(same_bytes(c.colour, c.full))
                    << components << " components, vector " << vector << ", step " << step;
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
    ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, 0.0, 100.0));
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 0.0, 100.0));
    EXPECT_EQ(c.classifier.last_channels(), 0); // nothing changed

    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 10.0, 100.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // low end
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 10.0, 80.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // range
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 10.0, 80.0,
                                              MissingData::faint));
    EXPECT_EQ(c.classifier.last_channels(), 0xF); // how missing points are drawn
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 10.0, 80.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);

    // New values in the same array: only forget() can tell.
    c.data.samples[0] += 5.0f;
    c.classifier.forget();
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 10.0, 80.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
    ASSERT_TRUE(c.full_classification(10.0, 80.0));
    EXPECT_TRUE(same_bytes(c.colour, c.full));

    // Another data volume of the same extents.
    Volume other;
    smooth_field(other, 19, 11, 7, 2);
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, other, c.pointers, 10.0, 80.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);

    // A refusal (extents that differ) leaves everything to the next call.
    Volume small;
    smooth_field(small, 4, 4, 4, 2);
    EXPECT_FALSE(c.classifier.classify_changed(c.colour, small, c.pointers, 10.0, 80.0));
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, other, c.pointers, 10.0, 80.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
}

// A curve whose new point shares a search bucket with another (so no curve takes the row pass
// any more) changes how every channel is computed: the others are computed again too.
TEST(CurveClassifier, a_change_of_method_recomputes_the_other_channels) {
    Case c(2, 9);
    for (TransferFunction& f : c.curves)
        f = built_curve({{0.2, 0.4}, {0.6, 0.8}});
    ASSERT_TRUE(c.classifier.classify_all(c.colour, c.data, c.pointers, 0.0, 100.0));
    c.curves[1].insert(0.6 + 1e-7, 0.1);
    c.curves[1].segments_built = false;
    c.curves[1].update_segments();
    ASSERT_TRUE(c.classifier.classify_changed(c.colour, c.data, c.pointers, 0.0, 100.0));
    EXPECT_EQ(c.classifier.last_channels(), 0xF);
    ASSERT_TRUE(c.full_classification(0.0, 100.0));
    EXPECT_TRUE(same_bytes(c.colour, c.full));
}
