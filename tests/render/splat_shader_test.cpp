#include "gl_feedback.h"
#include "sample_splat_fixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The shader path against the array path on the sample's colours, lit as the main view is.
class SplatShaders : public SampleSplatFixture {
protected:
    void SetUp() override {
        SampleSplatFixture::SetUp();
        renderer.volume = &colour;
    }

    std::vector<unsigned char> draw(SplatDrawing d) {
        renderer.drawing = d;
        return render_pixels(view, {&controller, &renderer});
    }

    // Draws with the arrays and then with the shaders, which must have drawn; returns the
    // share of pixels with a colour channel more than 2 levels apart.
    double shaders_against_arrays() {
        const auto arrays = draw(SplatDrawing::arrays);
        const auto splats = renderer.last_stats.splats;
        const auto shaders = draw(SplatDrawing::shaders);
        EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::shaders);
        EXPECT_EQ(renderer.last_stats.splats, splats);
        EXPECT_EQ(shaders.size(), arrays.size());
        std::size_t off = 0, lit = 0;
        for (std::size_t p = 0; p + 3 < arrays.size() && shaders.size() == arrays.size(); p += 4) {
            int worst = 0;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(arrays[p + c]) - int(shaders[p + c])));
            off += worst > 2;
            lit += arrays[p] + arrays[p + 1] + arrays[p + 2] > 0;
        }
        EXPECT_GT(lit, arrays.size() / 4 / 20); // the picture is not empty
        return arrays.empty() ? 1.0 : double(off) / double(arrays.size() / 4);
    }
};

} // namespace

// Fans from outside the grid and with the eye level with it (folded fans), a stretched grid
// (normals renormalised), a flipped axis (the order and the faces in grid coordinates, the
// outline mirrored on the screen) and a coarse frame: the same picture but for a few outline
// pixels. Quads differ in more: an outline pixel carries a quad's whole opacity, and neighbouring
// quads at the same depth are ordered by the rounding of the depth test.
TEST_F(SplatShaders, pictures_match_the_array_path) {
    EXPECT_LT(shaders_against_arrays(), 0.001);
    look(120, 0.0, 0.0); // looking along x at the grid's middle: y and z slabs hold the eye
    EXPECT_LT(shaders_against_arrays(), 0.001);
    look(160, 0.5, 0.7);
    renderer.axis_scale = {1.0, 2.0, 0.5};
    EXPECT_LT(shaders_against_arrays(), 0.001);
    renderer.axis_scale = {1.0, 1.0, -1.0};
    EXPECT_LT(shaders_against_arrays(), 0.001);
    renderer.axis_scale = {1.0, 1.0, 1.0};
    renderer.detail = {2, 2, 1};
    EXPECT_LT(shaders_against_arrays(), 0.001);
    renderer.detail = {};
    renderer.mode = 0;
    EXPECT_LT(shaders_against_arrays(), 0.005);
}

// The buffer is built from the colour volume once and kept: the camera, the steps and the
// stretch do not rebuild it; a changed sample does, and shows.
TEST_F(SplatShaders, splat_buffer_is_rebuilt_only_when_samples_change) {
    draw(SplatDrawing::shaders);
    EXPECT_TRUE(renderer.last_stats.rebuilt);
    const auto before = draw(SplatDrawing::shaders);
    EXPECT_FALSE(renderer.last_stats.rebuilt);
    look(140, -0.3, 1.1);
    renderer.detail = {2, 1, 1};
    renderer.axis_scale = {1.0, 1.0, 2.0};
    draw(SplatDrawing::shaders);
    EXPECT_FALSE(renderer.last_stats.rebuilt);
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::shaders);
    look(160, 0.5, 0.7);
    renderer.detail = {};
    renderer.axis_scale = {1.0, 1.0, 1.0};

    // Every grid point fully opaque red: another picture.
    std::vector<float> kept(colour.samples, colour.samples + colour.sample_count());
    for (std::int64_t i = 0; i < colour.sample_count(); i += 4) {
        colour.samples[i] = 1.0f;
        colour.samples[i + 3] = 1.0f;
    }
    const auto after = draw(SplatDrawing::shaders);
    EXPECT_TRUE(renderer.last_stats.rebuilt);
    EXPECT_NE(after, before);
    std::copy(kept.begin(), kept.end(), colour.samples);
    EXPECT_EQ(draw(SplatDrawing::shaders), before);
    EXPECT_TRUE(renderer.last_stats.rebuilt);
}

// Coarse frames build the buffer only for colours the frame before saw too (a drag), and fall
// back to the arrays while the colours change from frame to frame (an edit).
TEST_F(SplatShaders, coarse_frames_build_the_buffer_only_for_steady_colours) {
    renderer.coarse_drawing = SplatDrawing::shaders;
    renderer.detail = {2, 2, 2};
    draw(SplatDrawing::arrays);
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::arrays); // nothing built yet
    for (int edit = 0; edit < 2; ++edit) {
        colour.samples[3] += 0.01f; // a realtime edit: new colours every frame
        draw(SplatDrawing::arrays);
        EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::arrays);
    }
    draw(SplatDrawing::arrays); // the same colours again: built
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::shaders);
    EXPECT_TRUE(renderer.last_stats.rebuilt);
    look(140, -0.3, 1.1);
    draw(SplatDrawing::arrays);
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::shaders);
    EXPECT_FALSE(renderer.last_stats.rebuilt);
}

// Grid points with opacity 0 are left out; the picture does not change.
TEST_F(SplatShaders, transparent_points_are_left_out) {
    const auto full = draw(SplatDrawing::shaders);
    EXPECT_EQ(renderer.last_stats.skipped, 0);
    std::vector<float> kept(colour.samples, colour.samples + colour.sample_count());
    std::int64_t cleared = 0;
    for (std::int64_t i = 0; i < colour.sample_count(); i += 4)
        if (colour.samples[i] < 0.3f) { // the cool part of the sample
            colour.samples[i + 3] = 0.0f;
            ++cleared;
        }
    ASSERT_GT(cleared, 1000);
    draw(SplatDrawing::shaders);
    EXPECT_EQ(renderer.last_stats.skipped, cleared);
    EXPECT_LT(shaders_against_arrays(), 0.001);
    std::copy(kept.begin(), kept.end(), colour.samples);
    EXPECT_EQ(draw(SplatDrawing::shaders), full);
}

// Where the shaders cannot reproduce the picture the arrays draw it: a scalar volume, a
// volume type of the caller's own, feedback mode, another light, an eye inside the grid.
TEST_F(SplatShaders, other_cases_fall_back_to_the_arrays) {
    const auto falls_back = [&] {
        draw(SplatDrawing::shaders);
        return renderer.last_stats.drawn == SplatDrawing::arrays;
    };
    renderer.volume = &data;
    renderer.value_mean = data.mean_value();
    renderer.value_std_dev = data.std_dev();
    EXPECT_TRUE(falls_back());

    RecordingVolume recording;
    make_colour_volume(recording, 6, 5, 4);
    renderer.volume = &recording;
    EXPECT_TRUE(falls_back());
    EXPECT_EQ(recording.visits.size(), 120u); // read point by point, as the arrays do

    Volume small;
    make_colour_volume(small, 6, 5, 4);
    renderer.volume = &small;
    EXPECT_FALSE(falls_back());
    std::vector<FeedbackPrimitive> prims;
    ASSERT_TRUE(view.make_current());
    view.draw_list = {&controller, &renderer};
    ASSERT_TRUE(capture_feedback([&] { view.draw_frame(306, 188); }, 1 << 20, prims));
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::arrays);
    EXPECT_EQ(prims.size(), 120u * 6u);

    renderer.volume = &colour;

    Probe second_light([] { glEnable(GL_LIGHT1); });
    view.draw_list = {&controller, &second_light, &renderer};
    view.repaint();
    EXPECT_EQ(renderer.last_stats.drawn, SplatDrawing::arrays);

    look(10, 0.2, 0.3); // the eye inside the grid
    EXPECT_TRUE(falls_back());
    look(160, 0.5, 0.7);
    EXPECT_FALSE(falls_back());
}

// After a frame the GL state is the one the array path leaves: no program or vertex array
// bound, program point size off, the current colour and normal of the last splat, and the
// colour volume's opacity component selected.
TEST_F(SplatShaders, leaves_the_state_the_array_path_leaves) {
    struct State {
        GLint program = -1, vertex_array = -1;
        GLboolean point_size = GL_TRUE;
        GLfloat colour[4] = {}, normal[3] = {};
    };
    const auto after = [&](SplatDrawing d) {
        State s;
        Probe read([&] {
            glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
            glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &s.vertex_array);
            s.point_size = glIsEnabled(GL_PROGRAM_POINT_SIZE);
            glGetFloatv(GL_CURRENT_COLOR, s.colour);
            glGetFloatv(GL_CURRENT_NORMAL, s.normal);
        });
        colour.select_component(1);
        renderer.drawing = d;
        render_pixels(view, {&controller, &renderer, &read});
        EXPECT_EQ(colour.component, 3);
        return s;
    };
    const State arrays = after(SplatDrawing::arrays);
    const State shaders = after(SplatDrawing::shaders);
    ASSERT_EQ(renderer.last_stats.drawn, SplatDrawing::shaders);
    EXPECT_EQ(shaders.program, 0);
    EXPECT_EQ(shaders.vertex_array, 0);
    EXPECT_EQ(shaders.point_size, GL_FALSE);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(shaders.colour[i], arrays.colour[i]) << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shaders.normal[i], arrays.normal[i]) << i;
}

// Each view keeps its own buffer, built in its own context.
TEST_F(SplatShaders, every_view_keeps_its_own_buffer) {
    const auto first = draw(SplatDrawing::shaders);
    {
        HeadlessView other;
        ASSERT_TRUE(other.open(306, 188)) << other.error();
        EXPECT_EQ(render_pixels(other, {&controller, &renderer}), first);
        EXPECT_TRUE(renderer.last_stats.rebuilt);
    }
    EXPECT_EQ(draw(SplatDrawing::shaders), first);
    EXPECT_FALSE(renderer.last_stats.rebuilt);
}

namespace {

// Counts what the view does with it.
class CountedResource final : public ViewResource {
public:
    explicit CountedResource(int& released) : released_(released) {}
    void release() override { ++released_; }

private:
    int& released_;
};

} // namespace

// A drawable finds the view it draws into, and its resource there; the view releases
// resources when it closes (replacing one releases the old one).
TEST(ViewResources, found_while_drawing_and_released_with_the_context) {
    int released = 0;
    ViewFrame* seen = nullptr;
    ViewResource* found = nullptr;
    const int owner = 0;
    {
        HeadlessView view;
        ASSERT_TRUE(view.open(8, 8)) << view.error();
        EXPECT_EQ(ViewFrame::current(), nullptr);
        Probe keep([&] {
            seen = ViewFrame::current();
            if (!seen->resource(&owner))
                seen->set_resource(&owner, std::make_unique<CountedResource>(released));
            found = seen->resource(&owner);
        });
        view.draw_list = {&keep};
        ASSERT_TRUE(view.repaint());
        EXPECT_EQ(seen, &view);
        EXPECT_NE(found, nullptr);
        EXPECT_EQ(ViewFrame::current(), nullptr);
        view.repaint();
        EXPECT_EQ(released, 0);
        view.set_resource(&owner, std::make_unique<CountedResource>(released));
        EXPECT_EQ(released, 1);
    }
    EXPECT_EQ(released, 2);
}
