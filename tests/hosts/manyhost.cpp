/// A host with many parameters whose reader also marks the screen as shared
/// with the terminal, so that listings are paged and wait for Return.
#include <cstdlib>
#include <string>

#include "karvel/karvel.h"
#include "core/records.h"

namespace {

/// 100 points on the line y = x + 0.5 with errors of 1.
void reader(int& n, float* x, float* y, float* e, karvel::TextRef title) {
    n = 100;
    for (int i = 0; i < n; ++i) {
        x[i] = static_cast<float>(i + 1);
        y[i] = x[i] + 0.5f;
        e[i] = 1.0f;
    }
    title.assign("MANY PARAMETERS");
    // The null screen device stands in for a terminal that shows text and
    // graphics on one screen.
    karvel::tekenv = 1;
}

/// The line p1 + p2 * x; the other parameters play no part.
void model(const int& np, const float* p, const int& n, const float* x, const float* y, const float* e,
           float* yc, float* r) {
    const float a = np >= 1 ? p[0] : 0.0f;
    const float b = np >= 2 ? p[1] : 0.0f;
    for (int i = 0; i < n; ++i) {
        yc[i] = a + b * x[i];
        r[i] = (yc[i] - y[i]) / e[i];
    }
}

}  // namespace

int main() {
    using namespace karvel;
    // MANYHOST_NPAR chooses the number of parameters (default 40) and
    // MANYHOST_NAME the program name (default "many").
    int npar = 40;
    if (const char* v = std::getenv("MANYHOST_NPAR")) npar = std::atoi(v);
    std::string name = "many";
    if (const char* v = std::getenv("MANYHOST_NAME")) name = v;
    titlep.npar = npar;
    for (int i = 0; i < npar && i < kMaxPar; ++i) titles.name[i] = "PAR" + std::to_string(i + 1);
    titles.x = "X VALUE";
    titles.y = "Y VALUE";
    version.host = 1.5f;
    karvel::karvel(Text<4>(name), reader, model);
    return 0;
}
