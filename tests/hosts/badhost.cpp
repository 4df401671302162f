/// A host whose name and parameter count come from the environment, for the
/// checks of start-up.
#include <cstdlib>
#include <string>

#include "karvel/karvel.h"

namespace {

void reader(int& n, float*, float*, float*, karvel::TextRef) { n = 0; }

void model(const int&, const float*, const int& n, const float*, const float* y, const float*,
           float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        yc[i] = 0.0f;
        r[i] = yc[i] - y[i];
    }
}

}  // namespace

int main() {
    using namespace karvel;
    const char* npar = std::getenv("BADHOST_NPAR");
    const char* name = std::getenv("BADHOST_NAME");
    const char* vers = std::getenv("BADHOST_VERSION");
    titlep.npar = npar ? std::atoi(npar) : 1;
    version.host = vers ? static_cast<float>(std::atof(vers)) : 3.5f;
    karvel::karvel(Text<4>(name ? name : "bad "), reader, model);
    return 0;
}
