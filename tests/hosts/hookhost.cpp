/// A host that replaces every hook, keeps the plot units open across its
/// first call of the entry routine, and stops the loop from its J routine.
#include "karvel/karvel.h"
#include "core/format.h"

namespace karvel {

void iniwin(const Text<4>& name) { fmt::write(6, "(' INIWIN ',A)", {name}); }

void userlog(const Text<4>& name, const Text<10>& logfile) {
    fmt::write(6, "(' USERLOG ',A,1X,A)", {name, logfile});
}

void kvxhlp(int& out) { fmt::write(out, "(' HOST HELP LINE')"); }

void kvextp() {
    fmt::write(6, "(' HOST EXTENSION: STOPPING')");
    stopcy.e1 = 1;
}

}  // namespace karvel

namespace {

void reader(int& n, float*, float*, float*, karvel::TextRef) { n = 0; }

void model(const int&, const float*, const int& n, const float*, const float* y, const float*,
           float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        yc[i] = 1.0f;
        r[i] = yc[i] - y[i];
    }
}

}  // namespace

int main() {
    using namespace karvel;
    titlep.npar = 2;
    titles.name[0] = "ALPHA";
    titles.name[1] = "BETA";
    version.host = 0.0f;
    karvel::fclose.close = 0;
    karvel::karvel(Text<4>("hook"), reader, model);
    karvel::fclose.close = 1;
    karvel::karvel(Text<4>("hook"), reader, model);
    return 0;
}
