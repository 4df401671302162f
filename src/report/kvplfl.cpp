/// The fit-and-data output file of the W command, name.kpl, with the titles,
/// the data, the fitted points and the model sampled across the plot window.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "report/report.h"
#include "core/channels.h"
#include "core/files.h"
#include "core/records.h"

namespace karvel {

namespace {

constexpr int kSamples = kMaxMarks;

bool is_folder(std::string_view name) {
    struct stat st {};
    return ::stat(std::string(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// The items of a block of points: three (or two) values per point.
fmt::Values block(int count, const float* a, const float* b, const float* c) {
    fmt::Values v;
    for (int i = 0; i < count; ++i) {
        v.emplace_back(a[i]);
        v.emplace_back(b[i]);
        if (c != nullptr) v.emplace_back(c[i]);
    }
    return v;
}

}  // namespace

void kvplfl(const float* x, const float* y, const float* e, int n, const float* xs, const float* ys,
            const float* yc, int m, const float* sx, const float* sy, int ns, int channel,
            const Text<10>& file) {
    const std::string_view name = file.trimmed();
    // A folder of that name is not an existing file: the open below refuses it.
    if (io::file_exists(name) && !is_folder(name)) {
        fmt::write(tin.out, "(' FILE ',A,' ALREADY EXISTS')", {file});
        return;
    }
    if (!open_for_writing(channel, name, io::Status::New)) {
        cannot_open(name);
        return;
    }
    // A block whose count is 0 is written as one empty line.
    bool ok = fmt::write(channel, "(A)", {pltlic.title});
    ok = fmt::write(channel, "(A)", {pltlic.x}) && ok;
    ok = fmt::write(channel, "(A)", {pltlic.y}) && ok;
    ok = fmt::write(channel, "(3I10)", {n, m, ns}) && ok;
    ok = fmt::write(channel, "(3G12.5)", block(n, x, y, e)) && ok;
    ok = fmt::write(channel, "(3G12.5)", block(m, xs, ys, yc)) && ok;
    ok = fmt::write(channel, "(2G12.5)", block(ns, sx, sy, nullptr)) && ok;
    ok = io::good(channel) && ok;
    ok = io::close(channel) && ok;
    ok = io::on_disk(name) && ok;
    if (!ok) {
        // An incomplete file would pass for a complete one and block the
        // name for the next W command.
        std::remove(std::string(name).c_str());
        cannot_write(name);
        return;
    }
    fmt::write(tin.out, "(' OUTPUT FILE \"',A,'\" COMPLETED')", {file});
}

void write_fit_file(Model model, const Text<10>& name) {
    // The model is sampled at 200 points: the first one step above the
    // lower plot limit, the last at the upper. Its observed values and
    // errors there are placeholders that do not reach the file.
    const float step = (pltlim(kPlotXMax) - pltlim(kPlotXMin)) / static_cast<float>(kSamples);
    for (int i = 1; i <= kSamples; ++i) pltfild.x(i) = pltlim(kPlotXMin) + static_cast<float>(i) * step;
    Arr<float, kSamples> yobs;
    Arr<float, kSamples> err;
    Arr<float, kSamples> resid;
    err.fill(1.0f);
    const int np = functn.np;
    const int ns = kSamples;
    if (model != nullptr) {
        model(np, functn.p.data(), ns, pltfild.x.data(), yobs.data(), err.data(), pltfild.y.data(), resid.data());
    }

    const int n = std::max(0, std::min(obsdat.n, kMaxPts));
    const int m = std::max(0, std::min(fitlim.m, kMaxPts));
    kvplfl(reditc.x.data(), reditc.y.data(), reditc.e.data(), n, obsdat.x.data(), obsdat.y.data(), caldat.yc.data(),
           m, pltfild.x.data(), pltfild.y.data(), ns, io::kDataFile, name);
}

}  // namespace karvel
