/// A host with the largest problem the records hold: 40 parameters, each the
/// height of a bump, and 2100 points made by its reader.
#include <cmath>

#include "karvel/karvel.h"

namespace {

float bump(int k, float x) {
    const float centre = 0.5f * static_cast<float>(k);
    const float t = (x - centre) / 0.6f;
    return std::exp(-(t * t));
}

void reader(int& n, float* x, float* y, float* e, karvel::TextRef title) {
    n = 2100;
    for (int i = 0; i < n; ++i) {
        x[i] = static_cast<float>(i + 1) * 0.01f;
        float sum = 0.0f;
        for (int k = 1; k <= 40; ++k) sum += (1.0f + 0.05f * static_cast<float>(k)) * bump(k, x[i]);
        y[i] = sum;
        e[i] = 1.0f;
    }
    title.assign("FORTY BUMPS");
}

void model(const int& np, const float* p, const int& n, const float* x, const float* y, const float*,
           float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (int k = 1; k <= np; ++k) sum += p[k - 1] * bump(k, x[i]);
        yc[i] = sum;
        r[i] = yc[i] - y[i];
    }
}

}  // namespace

int main() {
    using namespace karvel;
    titlep.npar = 40;
    version.host = 1.0f;
    karvel::karvel(Text<4>("big"), reader, model);
    return 0;
}
