// The camera commands of both programs.
#include "scene.h"

#include "c_locale.h"
#include "camera_fit.h"
#include "pointer_probe.h"
#include "shared_constants.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

void Scene::place_camera(std::optional<double> distance, double tilt, double turn, double spin) {
    Camera& camera = view_controller.camera;
    if (distance)
        camera.set_distance(*distance);
    camera.rotate_left(Mat3::axis_rotation(1, tilt));
    camera.rotate_right(Mat3::axis_rotation(0, turn));
    if (spin != 0.0)
        camera.rotate_right(Mat3::axis_rotation(2, spin));
}

std::string Scene::camera_words() const {
    Camera camera = view_controller.camera;
    // A zoom through the grid's centre leaves the eye at a negative distance, which the
    // command line cannot say: the same view is the positive distance from the camera
    // turned half round about its up axis.
    if (camera.distance() < 0.0) {
        camera.rotate_left(Mat3::axis_rotation(2, pi));
        camera.set_distance(camera.distance());
    }
    double tilt = 0.0, turn = 0.0, spin = 0.0;
    camera.tilt_turn_spin(tilt, turn, spin);
    // Four decimals of a radian: less than a tenth of a pixel in a view of 612 pixels.
    const auto word = [](double v) { return format_c("%.4f", std::fabs(v) < 5e-5 ? 0.0 : v); };
    std::string text = format_c("--distance %.6g", camera.distance()) + " --tilt " + word(tilt) +
                       " --turn " + word(turn);
    if (std::fabs(spin) >= 5e-5)
        text += " --spin " + word(spin);
    return text;
}

bool Scene::fit_view(double aspect) {
    const int extents[3] = {colour_volume.nx, colour_volume.ny, colour_volume.nz};
    if (static_cast<std::int64_t>(extents[0]) * extents[1] * extents[2] <= 0)
        return false;
    Camera& camera = view_controller.camera;
    const double distance = fit_distance(camera, extents, aspect, axis_scale());
    camera.eye_offset.x = camera.distance() < 0.0 ? -distance : distance;
    return true;
}

void Scene::reset_view(double aspect) {
    Camera& camera = view_controller.camera;
    camera.orientation.set_identity();
    camera.set_distance(start_distance);
    // A stretched grid may not fit at the start-up distance: then as far as it needs.
    const Vec3& s = axis_scale();
    if (s.x != 1.0 || s.y != 1.0 || s.z != 1.0) {
        const int extents[3] = {colour_volume.nx, colour_volume.ny, colour_volume.nz};
        camera.set_distance(std::max(start_distance, fit_distance(camera, extents, aspect, s)));
    }
}

void Scene::zoom_notches(int notches) {
    Camera& camera = view_controller.camera;
    const double dy = notches > 0 ? -0.1 : 0.1; // an upward drag brings the eye nearer
    for (int i = 0; i < std::abs(notches); ++i)
        camera.add_distance((camera.distance() + 1.0) * dy);
}

std::string Scene::probe(double fx, double fy, double aspect) const {
    if (partial_) // during playback's coarse frames most colours are not there yet
        return {};
    ProbeRay ray;
    if (!pointer_ray(view_controller.camera, aspect, field_of_view, fx, fy, ray))
        return {};
    const ProbeHit hit = probe_grid(colour_volume, axis_scale(), ray);
    return probe_words(hit, data_volume, colour_volume, description_);
}
