// Progress and Cancel in every stage of the import, and intermediate or grid files that are cut
// short by someone else while the import reads them.
#include "grid_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A loaded grid (samples 1 to 8), so that failed imports can be checked to leave it alone,
// and an intermediate file "kept" beside the next grid.
struct Loaded {
    Volume data;
    Volume colour;
    TempDir dir;
    Loaded() {
        ScriptedPrompts p;
        const std::string grid = dir.write("first.txt", "2 2 2 1\n  0 0 0 1\n  0 0 0 2\n"
                                                        "  0 0 0 3\n  0 0 0 4\n  0 0 0 5\n"
                                                        "  0 0 0 6\n  0 0 0 7\n  0 0 0 8\n");
        EXPECT_TRUE(import_grid(grid, data, colour, p).ok);
        dir.write("g.txt.dat", "kept");
    }
    void expect_unchanged() const {
        EXPECT_EQ(data.nx, 2);
        EXPECT_EQ(data.stat_count, 8);
        EXPECT_EQ(data.max_value(), 8.0);
        EXPECT_EQ(data.samples[1], 1.0f); // mirrored along x
        EXPECT_EQ(colour.nx, 2);
        EXPECT_EQ(colour.ncomp, 4);
    }
};

std::string grid_text(int nz, int ny, int nx, int ncomp) {
    std::string s = std::to_string(nz) + " " + std::to_string(ny) + " " + std::to_string(nx) + " " +
                    std::to_string(ncomp) + "\n";
    std::string line = "  0 0 0";
    for (int c = 0; c < ncomp; ++c)
        line += " " + std::to_string(c + 1);
    for (long i = 0; i < static_cast<long>(nz) * ny * nx; ++i)
        s += line + "\n";
    return s;
}

// Empties the intermediate file `name` in `folder` that an import is reading back. Its commit may
// still be putting it in place, so the temporary file beside the name goes first: when the
// names are exchanged in between, the file read back has the name that is cut second.
bool cut_intermediate(const TempDir& folder, const std::string& name) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder.file(""), ec))
        if (entry.path().filename().string().starts_with(name + ".tmp-"))
            truncate(entry.path().c_str(), 0);
    return truncate(folder.file(name).c_str(), 0) == 0;
}

const ImportStage all_stages[] = {ImportStage::converting, ImportStage::writing,
                                  ImportStage::reading_back, ImportStage::loading};

} // namespace

TEST(ImportStages, every_stage_reports_in_order_and_cancel_works_in_each) {
    for (bool map : {true, false}) {
        Loaded l;
        const std::string grid = l.dir.write("g.txt", grid_text(4, 8, 8, 2));
        ImportOptions options;
        options.map_files = map;
        ScriptedPrompts done;
        ASSERT_TRUE(import_grid(grid, l.data, l.colour, done, options).ok);
        EXPECT_EQ(done.stages,
                  std::vector<ImportStage>(std::begin(all_stages), std::end(all_stages)));

        for (ImportStage stage : all_stages) {
            Loaded again;
            const std::string g = again.dir.write("g.txt", grid_text(4, 8, 8, 2));
            ScriptedPrompts p;
            p.cancel_in = stage;
            const ImportResult r = import_grid(g, again.data, again.colour, p, options);
            const int s = static_cast<int>(stage);
            EXPECT_TRUE(r.cancelled) << s;
            EXPECT_TRUE(p.messages.empty()) << s;
            EXPECT_EQ(p.stages.back(), stage);
            again.expect_unchanged();
            // Until the file is finished an existing one stays; afterwards the new one is there.
            const auto bytes = read_bytes(g + ".dat");
            if (stage == ImportStage::converting || stage == ImportStage::writing)
                EXPECT_EQ(bytes, std::vector<unsigned char>({'k', 'e', 'p', 't'})) << s;
            else
                EXPECT_EQ(bytes.size(), 4u * 8 * 8 * 2 * 4) << s;
        }
    }
}

TEST(ImportStages, intermediate_cut_short_before_or_while_it_is_read_back_fails) {
    for (bool map : {true, false}) {
        for (ImportStage stage : {ImportStage::reading_back, ImportStage::loading}) {
            Loaded l;
            const std::string grid = l.dir.write("g.txt", grid_text(4, 8, 64, 1));
            ImportOptions options;
            options.map_files = map;
            ScriptedPrompts p;
            bool cut = false;
            p.on_progress = [&](ImportStage now) {
                if (now == stage && !cut)
                    cut = cut_intermediate(l.dir, "g.txt.dat");
            };
            const ImportResult r = import_grid(grid, l.data, l.colour, p, options);
            ASSERT_TRUE(cut);
            if (!map && stage == ImportStage::loading) {
                // Read into memory before the cut: the import has what it read.
                EXPECT_TRUE(r.ok);
                continue;
            }
            EXPECT_FALSE(r.ok) << map;
            EXPECT_EQ(r.error, "ERROR: \"" + grid + ".dat\" could not be read back");
            EXPECT_TRUE(p.messages.empty());
            l.expect_unchanged();
        }
    }
}

// A mapped grid that another program shortens during the conversion fails as an unreadable
// file does, rather than ending the program.
TEST(ImportStages, grid_cut_short_while_mapped_is_refused) {
    Loaded l;
    // 1000 components: a run of lines is about 1,000 lines, so the cut comes after the first.
    const std::string grid = l.dir.write("g.txt", grid_text(1, 1, 1500, 1000));
    ScriptedPrompts p;
    p.on_progress = [&](ImportStage) { truncate(grid.c_str(), 100); };
    const ImportResult r = import_grid(grid, l.data, l.colour, p);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + grid + "\" is not a valid file or is not readable");
    EXPECT_EQ(read_bytes(grid + ".dat"), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
    l.expect_unchanged();
}
