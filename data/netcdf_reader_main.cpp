#include "netcdf_reader_main.h"

#include "message_buffer.h"
#include "netcdf_catalog.h"
#include "netcdf_reader.h"
#include "netcdf_slabs.h"
#include "reader_process.h"

#include "netcdf_api.h"

namespace {

std::string open_failure(int status) {
    const std::string text = netcdf_status_text(status);
    if (status == NC_EHDFERR)
        return "has a damaged or cut HDF5 layer (" + text + ")";
    return "cannot be read as NetCDF: " + text;
}

// The reader's side of the shared blocks: fills them in turn, each once the import has written
// it out. Two may be held at once: one filled while the other's last samples are converted.
class BlockSink final : public SampleSink {
public:
    explicit BlockSink(ReaderProcess& process) : process_(process) {}

    float* next_block() override {
        turn_ ^= 1;
        while (busy_[turn_]) {
            std::int64_t type = 0;
            std::string payload;
            if (process_.receive(type, payload, -1) != ReaderProcess::Received::message ||
                type != free_message)
                return nullptr;
            MessageIn in(payload);
            const std::int64_t i = in.i64();
            if (in.ok() && (i == 0 || i == 1))
                busy_[i] = false;
        }
        return static_cast<float*>(process_.block(turn_));
    }
    std::int64_t block_floats() const override {
        return static_cast<std::int64_t>(process_.block_bytes() / sizeof(float));
    }
    bool emit(float* block, std::int64_t count, std::int64_t stored_done,
              std::int64_t stored_total) override {
        const int index = block == process_.block(0) ? 0 : 1;
        MessageOut out;
        out.i64(index);
        out.i64(count);
        out.i64(stored_done);
        out.i64(stored_total);
        busy_[index] = true;
        return process_.send(block_message, out.bytes());
    }

private:
    ReaderProcess& process_;
    bool busy_[2] = {false, false};
    int turn_ = 1; // the first block handed out is block 0
};

} // namespace

int reader_main(ReaderProcess& process, void* context) {
    const ReaderJob& job = *static_cast<const ReaderJob*>(context);
    const auto fail = [&](const std::string& why) {
        process.send(failure_message, why);
        return 0;
    };
    std::string why;
    if (!netcdf_api(why))
        return fail("cannot be read: " + why);
    int ncid = -1;
    if (int s = open_netcdf(job.path, job.memory, job.size, ncid); s != NC_NOERR)
        return fail(open_failure(s));
    NetcdfCatalog catalog;
    if (int s = read_catalog(ncid, catalog); s != NC_NOERR)
        return fail(open_failure(s));
    MessageOut listed;
    catalog.write(listed);
    if (!process.send(catalog_message, listed.bytes()))
        return 0;

    std::int64_t type = 0;
    std::string payload;
    if (process.receive(type, payload, -1) != ReaderProcess::Received::message ||
        type != plan_message)
        return 0; // the import decided not to read
    GridPlan plan;
    MessageIn in(payload);
    if (!plan.read(in, catalog))
        return 1;

    const NetcdfVariable& first = catalog.variables[plan.variables[0]];
    MessageOut axes;
    for (int a = 0; a < 4; ++a) {
        const int p = a < 3 ? plan.axis_position[a] : plan.components_position;
        GridAxis axis;
        if (p >= 0)
            read_axis(ncid, catalog, first.dims[p], axis);
        write_axis_coordinates(axes, axis);
    }
    if (!process.send(axes_message, axes.bytes()))
        return 0;

    BlockSink sink(process);
    const ReadResult read = read_grid(ncid, catalog, plan, sink);
    if (!read.error.empty())
        return fail(read.error);
    if (read.stopped)
        return 0;
    MessageOut done;
    done.i64(read.counts.missing);
    done.i64(read.counts.low);
    process.send(done_message, done.bytes());
    netcdf().close(ncid);
    return 0;
}
