// Feeds damaged NetCDF files to the NetCDF import as in-memory files (read through
// nc_open_mem). An input that begins with a NetCDF or HDF5 signature is the file itself;
// any other input damages one of a few valid files written at start-up: its first byte picks
// the file and the way to choose its variables, then come patches (two bytes of offset, one of
// value) and, after a 0xff 0xff marker, two bytes of length to cut the file to. The library runs
// in a reader process, so whatever it does with the file, the import must fail cleanly or
// succeed, leave the loaded volumes alone on failure, and never crash here. The header check
// of classic files runs here as well, on every input.
#include "grid_size.h"
#include "import_prompts.h"
#include "netcdf_classic_layout.h"
#include "netcdf_import.h"
#include "volume.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <netcdf.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string scratch(const char* suffix) {
    return "/tmp/halvorn-fuzz-" + std::to_string(getpid()) + suffix;
}

// Answers the chooser with one of the candidates, and its first dimension as the components'.
class Prompts final : public ImportPrompts {
public:
    explicit Prompts(int pick) : pick_(pick) {}
    void show_message(const std::string&) override {}
    bool ask_save_path(const std::string&, std::string&) override { return false; }
    bool choose_variables(const std::string&, const std::vector<VariableCandidate>& candidates,
                          VariableChoice& choice) override {
        const VariableCandidate& c = candidates[pick_ % candidates.size()];
        choice.variables = {c.name};
        if (pick_ & 4)
            choice.components_dimension = c.dimension_names[0];
        return true;
    }

private:
    int pick_;
};

void check(int status) {
    if (status != NC_NOERR)
        std::abort();
}

// A small valid file of each kind, written once through the library.
std::vector<unsigned char> write_base(int mode, bool four_d) {
    const std::string path = scratch("-base.nc");
    int id, d[4], v, lon;
    check(nc_create(path.c_str(), mode, &id));
    check(nc_def_dim(id, "TIME", four_d ? 2 : NC_UNLIMITED, &d[0]));
    check(nc_def_dim(id, "DEPTH", 3, &d[1]));
    check(nc_def_dim(id, "LAT", 4, &d[2]));
    check(nc_def_dim(id, "LON", 5, &d[3]));
    check(nc_def_var(id, "LON", NC_FLOAT, 1, &d[3], &lon));
    check(nc_put_att_text(id, lon, "units", 12, "degrees_east"));
    check(nc_def_var(id, "T", NC_SHORT, four_d ? 4 : 3, four_d ? d : d + 1, &v));
    const short fill = -999;
    const float scale = 0.01f;
    check(nc_put_att_short(id, v, "_FillValue", NC_SHORT, 1, &fill));
    check(nc_put_att_float(id, v, "scale_factor", NC_FLOAT, 1, &scale));
    int s;
    check(nc_def_var(id, "S", NC_DOUBLE, 3, d + 1, &s));
    if (mode & NC_NETCDF4) {
        const std::size_t chunks[4] = {1, 2, 2, 5};
        check(nc_def_var_chunking(id, v, NC_CHUNKED, four_d ? chunks : chunks + 1));
        check(nc_def_var_deflate(id, v, 1, 1, 1));
    }
    check(nc_enddef(id));
    std::vector<short> t(2 * 3 * 4 * 5);
    std::vector<double> sv(3 * 4 * 5);
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<short>(i * 37 % 2000 - 1000);
    for (std::size_t i = 0; i < sv.size(); ++i)
        sv[i] = i * 0.5;
    const float lons[5] = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f};
    const std::size_t start[4] = {0, 0, 0, 0}, count[4] = {2, 3, 4, 5};
    check(nc_put_var_float(id, lon, lons));
    check(nc_put_vara_short(id, v, start, four_d ? count : count + 1, t.data()));
    check(nc_put_var_double(id, s, sv.data()));
    check(nc_close(id));
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    return bytes;
}

const std::vector<std::vector<unsigned char>>& bases() {
    static const std::vector<std::vector<unsigned char>> files = {
        write_base(NC_CLOBBER, false), write_base(NC_CLOBBER | NC_64BIT_DATA, true),
        write_base(NC_CLOBBER | NC_NETCDF4, false), write_base(NC_CLOBBER | NC_NETCDF4, true)};
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 1 << 16)
        return 0;
    std::vector<unsigned char> file;
    int pick = data[0];
    if (has_netcdf_signature(data, size)) {
        file.assign(data, data + size);
    } else {
        file = bases()[data[0] % bases().size()];
        pick = data[0] / 4;
        for (std::size_t i = 1; i + 2 < size; i += 3) {
            const std::size_t at = data[i] | (data[i + 1] << 8);
            if (at == 0xffff) {
                const std::size_t length = data[i + 2] | (i + 3 < size ? data[i + 3] << 8 : 0);
                if (length < file.size())
                    file.resize(length);
                break;
            }
            if (at < file.size())
                file[at] = data[i + 2];
        }
    }

    const MemoryBytes bytes(file.data(), static_cast<std::int64_t>(file.size()));
    check_classic_layout(bytes);

    Volume volume, colour;
    // A small grid loaded first, to check that a failed import leaves it alone.
    volume.allocate(2, 1, 1, 1);
    volume.samples[0] = 1.0f;
    volume.samples[1] = 2.0f;
    colour.allocate(2, 1, 1, 4);
    Prompts prompts(pick);
    ImportOptions options;
    options.intermediate_path = scratch(".dat");
    options.reader_timeout_ms = 5000;
    // Grids of more than a million samples only make the run slow.
    options.memory_limit_bytes = (std::int64_t{64} << 20) + (std::int64_t{8} << 20);
    if (pick & 8)
        options.variables = {"T"};
    const ImportResult r = import_netcdf_memory(scratch(".nc"), file.data(), file.size(), volume,
                                                colour, prompts, options);
    if (r.ok) {
        if (volume.sample_count() <= 0 || volume.sample_count() > (1 << 20) ||
            colour.sample_count() != grid_sample_count(volume.nx, volume.ny, volume.nz, 4))
            std::abort();
    } else if (r.error.empty() || volume.nx != 2 || volume.samples[1] != 2.0f ||
               colour.ncomp != 4 || colour.nx != 2) {
        std::abort();
    }
    std::remove(options.intermediate_path.c_str());
    return 0;
}
