#include "render_fixtures.h"

#include "grid_import.h"
#include "import_prompts.h"
#include "temp_dir.h"

namespace {

class QuietPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override { messages += text + "\n"; }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
    std::string messages;
};

} // namespace

void fill_volume(Volume& v, const std::function<float(int, int, int, int)>& f) {
    for (int z = 0; z < v.nz; ++z)
        for (int y = 0; y < v.ny; ++y)
            for (int x = 0; x < v.nx; ++x)
                for (int c = 0; c < v.ncomp; ++c)
                    v.samples[v.flat_index(x, y, z, c)] = f(x, y, z, c);
    v.valid = true;
}

void make_colour_volume(Volume& v, int nx, int ny, int nz) {
    v.allocate(nx, ny, nz, 4);
    v.rgba = true;
    fill_volume(v, [&](int x, int y, int z, int c) {
        switch (c) {
        case 0:
            return (x + 1.0f) / nx;
        case 1:
            return (y + 1.0f) / ny;
        case 2:
            return (z + 1.0f) / nz;
        default:
            return 0.5f + 0.1f * ((x + y + z) % 5);
        }
    });
}

bool load_sample(Volume& data, Volume& colour, std::string& error) {
    TempDir dir;
    QuietPrompts prompts;
    ImportOptions options;
    options.intermediate_path = dir.file("sample.dat");
    const ImportResult r = import_grid(HALVORN_SAMPLE_GRID, data, colour, prompts, options);
    error = r.error + prompts.messages;
    return r.ok;
}

void colour_from_temperature(const Volume& data, Volume& colour) {
    colour.allocate(data.nx, data.ny, data.nz, 4);
    colour.rgba = true;
    fill_volume(colour, [&](int x, int y, int z, int c) {
        const float t = data.samples[data.flat_index(x, y, z, 0)];
        if (t < -100.0f)
            return c == 3 ? 0.3f : 0.5f;
        const float u = (t - 9.0f) / 78.0f;
        switch (c) {
        case 0:
            return u;
        case 1:
            return 0.3f + 0.4f * u * (1.0f - u);
        case 2:
            return 1.0f - u;
        default:
            return 0.02f + 0.5f * u * u;
        }
    });
}

std::vector<unsigned char> render_pixels(HeadlessView& view, const std::vector<Drawable*>& list) {
    view.draw_list = list;
    std::vector<unsigned char> pixels;
    if (!view.repaint() || !view.read_pixels(pixels))
        pixels.clear();
    return pixels;
}
