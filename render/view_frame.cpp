#include "view_frame.h"

#include "matrix_guard.h"
#include "shared_constants.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

thread_local ViewFrame* current_frame = nullptr;

// Marks a view as the one drawing for the length of a frame.
class CurrentFrame {
public:
    explicit CurrentFrame(ViewFrame* view) : previous_(current_frame) { current_frame = view; }
    ~CurrentFrame() { current_frame = previous_; }
    CurrentFrame(const CurrentFrame&) = delete;
    CurrentFrame& operator=(const CurrentFrame&) = delete;

private:
    ViewFrame* previous_;
};

} // namespace

ViewFrame* ViewFrame::current() {
    return current_frame;
}

ViewResource* ViewFrame::resource(const void* owner) const {
    for (const auto& [key, resource] : resources_)
        if (key == owner)
            return resource.get();
    return nullptr;
}

ViewResource* ViewFrame::set_resource(const void* owner, std::unique_ptr<ViewResource> resource) {
    for (auto& [key, held] : resources_)
        if (key == owner) {
            held->release();
            held = std::move(resource);
            return held.get();
        }
    resources_.emplace_back(owner, std::move(resource));
    return resources_.back().second.get();
}

void ViewFrame::release_resources() {
    for (auto& entry : resources_)
        entry.second->release();
    resources_.clear();
}

bool ViewFrame::draw_frame(int width, int height) {
    if (height <= 0 || width < 0)
        return false;
    CurrentFrame drawing(this);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);

    frame_near = near_plane;
    frame_far = far_plane;
    if (depth_extent)
        depth_extent->fit_depth(frame_near, frame_far);
    setup_projection(width, height, frame_near, frame_far);
    aspect = static_cast<double>(width) / static_cast<double>(height);
    if (refresh_projection)
        refresh_view_projection(projection);
    render();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib(); // restores the matrix mode too
    return true;
}

bool ViewFrame::collect_frame_inputs(FrameInputs& inputs, int width, int height) const {
    inputs.clear();
    inputs.add(width);
    inputs.add(height);
    inputs.add(revision_);
    inputs.add(context_ok);
    inputs.add(projection_enabled);
    inputs.add(refresh_projection);
    inputs.add(projection_camera);
    inputs.add(near_plane);
    inputs.add(far_plane);
    inputs.add(depth_extent);
    inputs.add(draw_list.size());
    for (const Drawable* drawable : draw_list) {
        inputs.add(drawable);
        const auto* source = dynamic_cast<const FrameSource*>(drawable);
        if (!source)
            return false;
        source->add_frame_inputs(inputs);
    }
    return true;
}

void ViewFrame::setup_projection(int width, int height, double near, double far) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(field_of_view_degrees, static_cast<double>(width) / static_cast<double>(height),
                   near, far);
    glMatrixMode(GL_MODELVIEW);
}

bool ViewFrame::refresh_view_projection(ViewProjection& record) {
    if (!projection_enabled || !context_ok)
        return false;
    record.aspect = aspect;
    record.fov = field_of_view;
    record.tan_half_fov = std::tan(record.fov * 0.5);
    record.near = frame_near;
    if (!projection_camera)
        return false;
    record.camera = projection_camera;
    return true;
}

void ViewFrame::render() {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    MatrixGuard guard;
    glLoadIdentity();
    // The length is read each time round: a drawable may not change the list, but the loop
    // does not rely on that.
    for (std::size_t i = 0; i < draw_list.size(); ++i)
        draw_list[i]->draw();
}
