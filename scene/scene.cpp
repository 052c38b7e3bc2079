#include "scene.h"

#include "shared_constants.h"
#include "view_frame.h"

#include <cmath>

// The wiring, once: the colour volume empty with four components, the renderer drawing it
// through the controller's camera at steps of 1, the camera at the start-up distance, the
// controller lit and driven by left (rotate) and right (zoom) drags, each curve in its colour
// at 0.7 of its panel's height, and the detail policy steering the renderer.
Scene::Scene() {
    colour_volume.allocate(0, 0, 0, 4);
    colour_volume.rgba = true;

    splat_renderer.camera = &view_controller.camera;
    splat_renderer.volume = &colour_volume;
    // Taken once from the empty colour volume (both 0); loading data does not update them.
    splat_renderer.value_std_dev = colour_volume.std_dev();
    splat_renderer.value_mean = splat_renderer.volume->mean_value();

    view_controller.camera.set_distance(start_distance);
    splat_renderer.step_x = 1;
    splat_renderer.step_y = 1;
    splat_renderer.step_z = 1;

    view_controller.lighting_enabled = true;
    view_controller.drag_y_axis = 1;
    view_controller.drag_x_axis = 0;
    view_controller.drag_y_scale = 1;
    view_controller.drag_x_scale = 1;

    red_curve.colour = {1.0, 0.0, 0.0};
    green_curve.colour = {0.0, 1.0, 0.0};
    blue_curve.colour = {0.0, 0.0, 1.0};
    opacity_curve.colour = {1.0, 1.0, 1.0};
    for (TransferFunction& c : curves)
        c.vertical_scale = 0.7;

    interactive_detail.renderer = &splat_renderer;
    // A frame that draws other grid points than those a step of playback classified gets the
    // rest of the grid classified first.
    splat_renderer.before_drawing = [this](const SplatRenderer::Lattice& drawn) {
        if (partial_ && !(drawn == partial_lattice_))
            complete_colours();
    };
    legend.scene = this;
    axes.scene = this;
}

void Scene::attach_main_view(ViewFrame& view) {
    view.projection_enabled = true;
    view.depth_extent = &splat_renderer; // the planes contain the grid at any distance
    view.draw_list.push_back(static_cast<Drawable*>(&view_controller));
    view.draw_list.push_back(&splat_renderer);
    view.draw_list.push_back(&legend);
    view.draw_list.push_back(&axes);
}

ImportResult Scene::import_grid(const std::string& grid_path, ImportPrompts& prompts,
                                const ImportOptions& options) {
    ImportOptions o = options;
    if (!curves_path_.empty())
        o.keep_paths.push_back(curves_path_);
    ImportResult result = ::import_grid(grid_path, data_volume, colour_volume, prompts, o);
    // Even a refused import may have replaced nothing but still ends any classification of
    // the data that was: the next one computes every channel.
    classifier_.forget();
    window_cache_.clear();
    if (result.ok) {
        grid_path_ = grid_path;
        window_ = {};
        window_filled_ = false;
        set_colours_whole(); // the new colour volume is zeroed, and stays so until classified
        description_ = result.description;
        // Until a scale is chosen, each grid gets the flip its own depth axis asks for (and
        // the next grid loses it again when its axis runs upwards).
        Vec3& s = splat_renderer.axis_scale;
        if (!axis_scale_chosen_)
            s.z = description_.axes[2].index_runs_down() ? -std::fabs(s.z) : std::fabs(s.z);
    }
    return result;
}

std::vector<std::string> Scene::protected_paths() const {
    std::vector<std::string> paths;
    for (const std::string* p : {&grid_path_, &curves_path_})
        if (!p->empty())
            paths.push_back(*p);
    return paths;
}

bool Scene::data_range(double& low, double& span) const {
    const Volume& d = data_volume;
    if (d.sample_count() <= 0 || d.stat_count <= 0)
        return false;
    low = d.stat_min;
    // A constant field has no span: a range of 1 keeps the classification defined.
    span = d.stat_max > d.stat_min ? d.stat_max - d.stat_min : 1.0;
    return true;
}

bool Scene::load_curves(const std::string& path, CurvesFile& file, std::string& error) {
    if (!read_curves_file(path, file, error))
        return false;
    curves_path_ = path;
    for (int i = 0; i < channel_count; ++i) {
        if (!file.has_channel[i])
            continue;
        set_curve_points(curves[i], file.curves[i]);
        curves[i].update_segments();
    }
    return true;
}

bool Scene::apply_preset(const PresetChoice& choice) {
    if (!choice.colour && !choice.opacity)
        return false;
    for (int i = 0; i < channel_count; ++i)
        if (const CurvePoints* points = choice.curve(i)) {
            set_curve_points(curves[i], *points);
            curves[i].update_segments();
        }
    return true;
}

CurvesFile Scene::curves_file() const {
    CurvesFile file;
    for (int i = 0; i < channel_count; ++i)
        file.curves[i] = curve_points(curves[i]);
    file.has_low = true;
    file.low = low_end;
    file.has_range = true;
    file.range = range;
    return file;
}

bool Scene::save_curves(const std::string& path, std::string& error) {
    // Never over the grid.
    if (!write_curves_file(path, curves_file(), error,
                           grid_path_.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{grid_path_}))
        return false;
    curves_path_ = path;
    return true;
}

bool Scene::classify_all() {
    const bool done = classifier_.classify_all(colour_volume, classified_source(),
                                               curve_list().list, classify_settings());
    if (done)
        set_colours_whole();
    return done;
}

bool Scene::classify_changed() {
    const bool done = classifier_.classify_changed(colour_volume, classified_source(),
                                                   curve_list().list, classify_settings());
    if (done)
        set_colours_whole();
    return done;
}
