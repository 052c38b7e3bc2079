// Classifies small random grids through random curves, in both ways of integrating. Nothing may
// be read or written outside either volume, and where every input is finite the result must
// match the reference of that way (the literal walk, or the numerical average of each piece).
#include "classify.h"
#include "fuzz_input.h"
#include "reference_classify.h"
#include "transfer_function.h"
#include "volume.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Points from -0.1 (forward only: the exact reference reads a first point below 0 differently
// from both walks) or from 0.
void random_curve(FuzzInput& in, TransferFunction& curve, double from) {
    const int points = in.byte() % 6;
    for (int i = 0; i < points; ++i)
        curve.insert(in.fraction(from, 1.0), in.fraction(-0.5, 1.5));
    curve.update_segments();
}

float random_sample(FuzzInput& in) {
    switch (in.byte() % 8) {
    case 0:
        return -9999.0f;
    case 1:
        return -100.0f;
    case 2:
        return in.raw<float>(); // any bit pattern: NaN, infinity, denormals
    default:
        return static_cast<float>(in.fraction(-20.0, 120.0));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const int nx = 1 + in.byte() % 5, ny = 1 + in.byte() % 5, nz = 1 + in.byte() % 5;
    const int ncomp = 1 + in.byte() % 4;
    Volume source;
    if (!source.allocate(nx, ny, nz, ncomp))
        return 0;
    bool finite = true;
    for (std::int64_t i = 0; i < source.sample_count(); ++i) {
        source.samples[i] = random_sample(in);
        finite = finite && std::isfinite(source.samples[i]);
    }
    ClassifySettings settings;
    settings.integration = in.byte() % 2 ? PathIntegration::exact : PathIntegration::forward;
    const double from = settings.integration == PathIntegration::exact ? 0.0 : -0.1;
    TransferFunction curves[4];
    for (TransferFunction& c : curves)
        random_curve(in, c, from);
    const TransferFunction* const pointers[4] = {&curves[0], &curves[1], &curves[2], &curves[3]};
    const double low = in.byte() % 16 == 0 ? in.raw<double>() : in.fraction(-10.0, 50.0);
    const double range = in.byte() % 16 == 0 ? in.raw<double>() : in.fraction(-50.0, 150.0);
    settings.low = low;
    settings.range = range;

    // Sometimes the colour volume does not match, or has the wrong component count.
    const int shape = in.byte() % 8;
    Volume colour, reference;
    if (!colour.allocate(shape == 0 ? nx + 1 : nx, ny, nz, shape == 1 ? 3 : 4) ||
        !reference.allocate(nx, ny, nz, 4))
        return 0;
    for (std::int64_t i = 0; i < colour.sample_count(); ++i)
        colour.samples[i] = -1.0f;
    const bool ok = classify(colour, source, pointers, settings);
    if (shape <= 1) {
        if (ok)
            std::abort();
        return 0;
    }
    if (ok != (std::isfinite(low) && std::isfinite(range) && range != 0.0))
        std::abort();
    if (!ok || !finite || std::fabs(range) < 1e-3 || std::fabs(low) > 1e6)
        return 0;
    // Exact, a piece shorter than double precision resolves at its normalised values (two
    // denormal samples against a low end of 0.1) has no mean the walks can give: its antiderivative
    // difference is rounding. The forward reference repeats that arithmetic; the exact one does
    // not.
    if (settings.integration == PathIntegration::exact)
        for (std::int64_t i = 0; i + 1 < source.sample_count(); ++i) {
            const double length =
                (static_cast<double>(source.samples[i + 1]) - source.samples[i]) / range;
            if ((i + 1) % ncomp != 0 && length != 0.0 && std::fabs(length) < 1e-9)
                return 0;
        }
    reference_classify(reference, source, pointers, low, range, settings.integration);
    for (std::int64_t i = 0; i < colour.sample_count(); ++i) {
        const double a = colour.samples[i], b = reference.samples[i];
        if (a != b && !(std::fabs(a - b) <= 1e-5 * (1.0 + std::fabs(b))) &&
            !(std::isnan(a) && std::isnan(b))) {
            std::fprintf(stderr,
                         "sample %lld: classify %.9g, reference %.9g (grid %dx%dx%d, %d "
                         "components, low %.17g, range %.17g, %s)\nvalues:",
                         static_cast<long long>(i), a, b, nx, ny, nz, ncomp, low, range,
                         settings.integration == PathIntegration::exact ? "exact" : "forward");
            for (int c = 0; c < ncomp; ++c)
                std::fprintf(stderr, " %.9g", source.samples[i / 4 * ncomp + c]);
            const TransferFunction& f = curves[i % 4];
            std::fprintf(stderr, "\ncurve:");
            for (int k = 0; k < f.count; ++k)
                std::fprintf(stderr, " (%.17g, %.17g)", f.x[k], f.y[k]);
            std::fprintf(stderr, "\n");
            std::abort();
        }
    }
    return 0;
}
