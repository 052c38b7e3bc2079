// Drives the real dialog (needs an X display; run under Xvfb) on generated grids of 1M and 8.4M
// points and prints the median time per step of what a user does in it:
//   idle     a mouse movement over the main view with no button held;
//   drag     one step of a left-button drag (rotation) in the main view, 10 steps;
//   zoom     one step of a right-button drag (zoom) in the main view, 10 steps;
//   release  the frame that follows the end of the drag;
//   edit     one step of a realtime edit of the opacity curve (classification, main-view frame
//            and the panel's frame), 10 steps, and the release after it;
// beside the full frame (a main-view repaint at full detail) and the full classification.
// Each step's time runs from the event to the end of the event processing it causes, so the
// window's composition is included. Every sequence runs twice on the same state, with "Fast
// Interaction" off (the plain procedure: every frame at full detail) and on; the frames after
// release and the colour volumes are compared with those of the plain procedure.
//
//   halvorn_dialog_bench [--grid 1m|8m|all] [--steps N] [--draw immediate|arrays|shaders]
//                        [--coarse-draw immediate|arrays|shaders]
// --draw picks the main view's drawing (the menu's "Drawing"; arrays when not given),
// --coarse-draw that of its coarse frames (shaders when not given; arrays as before them).
#include "driver_memory.h"
#include "frame_field.h"
#include "scripted_dialog_prompts.h"
#include "volume_app.h"
#include "volume_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct GridSpec {
    const char* name;
    int nx, ny, nz;
    double distance; // the main view shows the grid at a useful size from here
};

double median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Runs f, then everything it left for the event loop (the composition of the views), and
// returns the milliseconds it all took.
double timed(const std::function<void()>& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    QCoreApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) * 1e-6;
}

void move(QWidget& view, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton,
                  buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

void press(QWidget& view, QPoint at, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(at), view.mapToGlobal(QPointF(at)), button,
                  button, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

void release(QWidget& view, QPoint at, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at), view.mapToGlobal(QPointF(at)), button,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

// The framebuffer's bytes as GL wrote them.
QImage shown(CGLView& view) {
    return view.grabFramebuffer().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// The mean absolute difference of the colour bytes of two frames, as a share of the mean
// colour byte of `full`.
double relative_difference(const QImage& coarse, const QImage& full) {
    if (coarse.size() != full.size())
        return INFINITY;
    double difference = 0.0, level = 0.0;
    for (int y = 0; y < full.height(); ++y) {
        const uchar* a = coarse.constScanLine(y);
        const uchar* b = full.constScanLine(y);
        for (int x = 0; x < full.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                difference += std::abs(int(a[4 * x + c]) - int(b[4 * x + c]));
                level += b[4 * x + c];
            }
    }
    return level > 0.0 ? difference / level : 0.0;
}

struct StepTimes {
    std::vector<double> idle, drag, zoom, edit;
    std::vector<double> drag_release, zoom_release, edit_release;
    std::vector<double> drag_difference, zoom_difference, edit_difference;
    bool same = true; // frames after release equal full frames, colours a full classification
    std::vector<int> levels; // detail level of the last frame of each sequence
};

class Bench {
public:
    Bench(const GridSpec& g, int steps, SplatDrawing drawing, SplatDrawing coarse_drawing)
        : grid_(g), steps_(steps), drawing_(drawing), coarse_drawing_(coarse_drawing) {}

    bool open() {
        dialog_ = std::make_unique<CVolumeDialog>(nullptr, &prompts_);
        dialog_->OnInitDialog();
        dialog_->show();
        if (!QTest::qWaitForWindowExposed(dialog_.get()))
            return false;
        for (int id : {1000, 1006})
            if (auto* v = static_cast<CGLView*>(dialog_->control(id));
                !QTest::qWaitFor([v] { return v->isValid(); }))
                return false;
        CVolumeDialog& d = *dialog_;
        Scene& s = d.scene_for_setup();
        if (!d.load_curves_file(HALVORN_SAMPLE_CURVES))
            return false;
        fill_field(s.data_volume, grid_.nx, grid_.ny, grid_.nz);
        s.colour_volume.allocate_zeroed(grid_.nx, grid_.ny, grid_.nz, 4);
        d.data_replaced();
        d.place_camera(grid_.distance, -0.5, 0.6);
        start_camera_ = s.view_controller.camera;
        static_cast<QCheckBox*>(d.control(1011))->setChecked(true);
        d.set_drawing(drawing_);
        s.splat_renderer.coarse_drawing = coarse_drawing_;
        return true;
    }

    // The plain procedure's state: full classification and a full frame.
    void full_state(double* classify_ms = nullptr) {
        CVolumeDialog& d = *dialog_;
        const double both = timed([&] { d.on_set_transfer_func(); });
        if (classify_ms)
            *classify_ms = both - timed([&] { main_view().repaint(); });
    }

    std::vector<double> full_frames(int n) {
        std::vector<double> t;
        for (int i = 0; i < n; ++i)
            t.push_back(timed([&] { main_view().repaint(); }));
        return t;
    }

    // The classification of one curve's change beside the full classification, in ms.
    void classification_times(std::vector<double>& changed, std::vector<double>& full) {
        CVolumeDialog& d = *dialog_;
        Scene& s = d.scene_for_setup();
        for (int i = 0; i < 5; ++i) {
            s.opacity_curve.set_point(1, s.opacity_curve.x[1], s.opacity_curve.y[1] + 0.01);
            s.opacity_curve.update_segments();
            changed.push_back(timed([&] { s.classify_changed(); }));
            full.push_back(timed([&] { s.classify_all(); }));
        }
        d.load_curves_file(HALVORN_SAMPLE_CURVES);
    }

    StepTimes run(bool fast) {
        CVolumeDialog& d = *dialog_;
        Scene& s = d.scene_for_setup();
        set_fast(fast);
        s.view_controller.camera = start_camera_;
        full_state();
        StepTimes r;
        CGLView& view = main_view();
        const QPoint centre(view.width() / 2, view.height() / 2);
        for (int i = 0; i < steps_; ++i)
            r.idle.push_back(timed([&] { move(view, centre + QPoint(i % 7, i % 5), {}); }));

        // The frame after release against the plain procedure's frame for the same state, and
        // the last frame before it against that full frame.
        const auto compare = [&](const QImage& last, std::vector<double>& difference) {
            const QImage after = shown(view);
            set_fast(false);
            view.repaint();
            const QImage plain = shown(view);
            set_fast(fast);
            r.same = r.same && after == plain;
            difference.push_back(relative_difference(last, plain));
            r.levels.push_back(s.interactive_detail.level());
        };

        // A drag: its first movement only records the position; each later one moves.
        const auto drag = [&](Qt::MouseButton button, std::vector<double>& times,
                              std::vector<double>& after, std::vector<double>& difference,
                              QPoint step) {
            press(view, centre, button);
            move(view, centre, button);
            for (int i = 1; i <= steps_; ++i)
                times.push_back(timed([&] { move(view, centre + step * i, button); }));
            const int level = s.interactive_detail.level();
            if (std::getenv("HALVORN_BENCH_DEBUG")) {
                for (int l = 0; l < InteractiveDetail::levels; ++l)
                    std::printf(" %d:%.1f", l, 1e3 * s.interactive_detail.estimate(l));
                std::printf("\n");
            }
            const QImage last = shown(view);
            after.push_back(timed([&] { release(view, centre + step * steps_, button); }));
            compare(last, difference);
            r.levels.back() = level;
        };
        drag(Qt::LeftButton, r.drag, r.drag_release, r.drag_difference, QPoint(3, 2));
        drag(Qt::RightButton, r.zoom, r.zoom_release, r.zoom_difference, QPoint(0, -2));

        // A realtime edit: drag a new opacity point up and down.
        CGLView& panel = *static_cast<CGLView*>(d.control(1006));
        const QPoint at(panel.width() * 7 / 10, panel.height() / 2);
        press(panel, at, Qt::LeftButton);
        for (int i = 0; i < steps_; ++i) {
            const QPoint p = at + QPoint(0, (i % 2 ? -1 : 1) * (2 + i));
            r.edit.push_back(timed([&] { move(panel, p, Qt::LeftButton); }));
        }
        const int level = s.interactive_detail.level();
        const QImage last = shown(view);
        r.edit_release.push_back(timed([&] { release(panel, at, Qt::LeftButton); }));
        compare(last, r.edit_difference);
        r.levels.back() = level;

        // The colour volume after the changed channels were classified equals a full
        // classification of the same curves.
        s.classify_changed();
        const TransferFunction* curves[4] = {&s.red_curve, &s.green_curve, &s.blue_curve,
                                             &s.opacity_curve};
        Volume full;
        full.allocate(grid_.nx, grid_.ny, grid_.nz, 4);
        classify(full, s.data_volume, curves, s.classify_settings());
        r.same = r.same && std::memcmp(full.samples, s.colour_volume.samples,
                                       full.sample_count() * sizeof(float)) == 0;
        // Undo the edit for the next run: the same curves from the file.
        d.load_curves_file(HALVORN_SAMPLE_CURVES);
        return r;
    }

    void set_fast(bool on) { dialog_->set_fast_interaction(on); }
    CGLView& main_view() { return *static_cast<CGLView*>(dialog_->control(1000)); }

    const GridSpec& grid() const { return grid_; }
    CVolumeDialog& dialog() { return *dialog_; }

private:
    GridSpec grid_;
    int steps_;
    SplatDrawing drawing_;
    SplatDrawing coarse_drawing_;
    Camera start_camera_;
    ScriptedDialogPrompts prompts_;
    std::unique_ptr<CVolumeDialog> dialog_;
};

void print_row(const char* what, const std::vector<double>& plain, const std::vector<double>& fast,
               const char* note = "") {
    std::printf("  %-24s %10.1f %10.1f   %s\n", what, median(plain), median(fast), note);
}

} // namespace

int main(int argc, char** argv) {
    std::string which = "all";
    int steps = 10;
    SplatDrawing drawing = SplatDrawing::arrays;
    SplatDrawing coarse_drawing = SplatDrawing::shaders;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--grid") == 0)
            which = argv[++i];
        else if (std::strcmp(argv[i], "--steps") == 0)
            steps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--draw") == 0 && !parse_splat_drawing(argv[++i], drawing)) {
            std::fprintf(stderr, "--draw needs immediate, arrays or shaders\n");
            return 2;
        } else if (std::strcmp(argv[i], "--coarse-draw") == 0 &&
                   !parse_splat_drawing(argv[++i], coarse_drawing)) {
            std::fprintf(stderr, "--coarse-draw needs immediate, arrays or shaders\n");
            return 2;
        }
    }
    keep_freed_memory_for_reuse(); // as the program does
    set_view_gl_format();          // as the program does
    QApplication app(argc, argv);

    const GridSpec grids[] = {{"1m", 128, 128, 64, 300.0}, {"8m", 256, 256, 128, 600.0}};
    int status = 0;
    for (const GridSpec& g : grids) {
        if (which != "all" && which != g.name)
            continue;
        Bench bench(g, steps, drawing, coarse_drawing);
        if (!bench.open()) {
            std::fprintf(stderr, "the dialog did not open\n");
            return 1;
        }
        double classify_ms = 0;
        bench.full_state(&classify_ms);
        const std::vector<double> full = bench.full_frames(3);
        const SplatStats& last = bench.dialog().scene().splat_renderer.last_stats;
        std::vector<double> changed_ms, full_ms;
        bench.classification_times(changed_ms, full_ms);
        // Alternate the two procedures, twice each, so that both see the same machine load.
        StepTimes plain[2], fast[2];
        for (int round = 0; round < 2; ++round) {
            plain[round] = bench.run(false);
            fast[round] = bench.run(true);
        }
        const auto both = [](const StepTimes(&r)[2], std::vector<double> StepTimes::*m) {
            std::vector<double> v = r[0].*m;
            v.insert(v.end(), (r[1].*m).begin(), (r[1].*m).end());
            return v;
        };
        std::printf("\n%d x %d x %d grid, 2 components (%.1fM points), distance %.0f, %d steps, "
                    "drawing %s, coarse frames %s\n",
                    g.nx, g.ny, g.nz, double(g.nx) * g.ny * g.nz / 1e6, g.distance, steps,
                    splat_drawing_name(drawing), splat_drawing_name(coarse_drawing));
        std::printf("  full frame %.1f ms (median of 3), drawn by %s\n", median(full),
                    splat_drawing_name(last.drawn));
        std::printf("  classification of one changed curve %.1f ms, of everything %.1f ms "
                    "(medians of 5)\n",
                    median(changed_ms), median(full_ms));
        std::printf("  %-24s %10s %10s   (median ms per step; fast: coarse frame's mean abs "
                    "difference to the full frame)\n",
                    "", "plain", "fast");
        const auto row = [&](const char* what, std::vector<double> StepTimes::*m,
                             std::vector<double> StepTimes::*difference) {
            char note[64] = "";
            if (difference)
                std::snprintf(note, sizeof note, "%.1f %%", 100.0 * median(both(fast, difference)));
            print_row(what, both(plain, m), both(fast, m), note);
        };
        row("idle mouse movement", &StepTimes::idle, nullptr);
        row("rotate step", &StepTimes::drag, &StepTimes::drag_difference);
        row("frame after rotate", &StepTimes::drag_release, nullptr);
        row("zoom step", &StepTimes::zoom, &StepTimes::zoom_difference);
        row("frame after zoom", &StepTimes::zoom_release, nullptr);
        row("realtime edit step", &StepTimes::edit, &StepTimes::edit_difference);
        row("frame after edit", &StepTimes::edit_release, nullptr);
        std::printf("  detail levels of the last fast frames (rotate, zoom, edit):");
        for (const StepTimes& r : fast)
            for (int level : r.levels)
                std::printf(" %d", level);
        std::printf("\n");
        bool same = true;
        for (const StepTimes* r : {&fast[0], &fast[1], &plain[0], &plain[1]})
            same = same && r->same;
        std::printf("  frames after release equal full frames and colour volumes a full "
                    "classification: %s\n",
                    same ? "yes" : "NO");
        if (!same)
            status = 1;
    }
    return status;
}
