/// A second, tiny host: a straight line through generated points, with hooks of its own.
#include <string>
#include <vector>

#include "karvel/karvel.h"
#include "core/format.h"

namespace karvel {

// The host's own hooks replace the package's defaults.
void kvextp() { fmt::write(6, "(' TINY SPECIAL ROUTINE: NOTHING TO DO')"); }

void kvxhlp(int& out) { fmt::write(out, "(' tiny fits a straight line SIGNAL = SLOPE*TIME + OFFSET')"); }

}  // namespace karvel

namespace {

/// Makes the points x = 1..k, y = 3x + 1, e = 1, where k is the number in
/// the argument text of R (4 when there is none).
void line_reader(int& n, float* x, float* y, float* e, karvel::TextRef title) {
    int k = 4;
    const std::vector<std::string> rec{std::string(karvel::redinc.view())};
    int typed = 0;
    if (karvel::fmt::read_list_records(rec, {typed}) == 0 && typed > 0) k = typed;
    if (k > karvel::kMaxPts) k = karvel::kMaxPts;
    for (int i = 0; i < k; ++i) {
        x[i] = static_cast<float>(i + 1);
        y[i] = 3.0f * x[i] + 1.0f;
        e[i] = 1.0f;
    }
    title.assign("TINY LINE");
    n = k;
}

void line_model(const int&, const float* p, const int& n, const float* x, const float* y, const float*,
                float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        const float yi = y[i];
        yc[i] = p[0] * x[i] + p[1];
        r[i] = yc[i] - yi;
    }
}

}  // namespace

int main() {
    using namespace karvel;
    titlep.npar = 2;
    titles.name[0] = "SLOPE";
    titles.name[1] = "OFFSET";
    titles.x = "TIME";
    titles.y = "SIGNAL";
    version.host = 3.1f;
    karvel::karvel(Text<4>("tiny"), line_reader, line_model);
    return 0;
}
