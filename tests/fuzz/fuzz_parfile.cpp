/// Fuzz target: the parameter file read at start-up.
///
/// The first byte gives the number of parameters (1..40), the rest is the
/// file kvst.kvn in the scratch folder. Start-up reads it; every value read
/// is finite (strict: formatted input saturates). Then the values are saved,
/// read again by a second start-up and saved again: what S writes reads back,
/// so the two saved files are the same byte for byte. Without the strict
/// checks a value that is not finite, or that rounds beyond the range of
/// single precision when written, skips that comparison.
#include <unistd.h>

#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvst.h"
#include "params/params.h"
#include "plot/plot.h"
#include "core/records.h"
#include "session/session.h"

namespace {

std::string& home() {
    static std::string dir;
    return dir;
}

/// Every value that start-up takes from the parameter file.
std::vector<float> values_read(int npar) {
    using namespace karvel;
    std::vector<float> v = {fitcon.substep, fitcon.acc};
    for (int i = 1; i <= 6; ++i) v.push_back(fitlim.bound(i));
    for (int i = 5; i <= 8; ++i) v.push_back(pltlim(i));
    for (int i = 1; i <= npar; ++i) {
        v.push_back(functn.p(i));
        v.push_back(functn.s(i));
    }
    return v;
}

/// One start-up from the parameter file as it is, the plot units closed again.
std::vector<float> start(int npar) {
    using namespace karvel;
    karvel::fclose.initialised = 0;
    titlep.npar = npar;
    fitlim.bound.fill(0.0f);
    startup(Text<4>("kvst"));
    pgnend(2);
    pgnend(1);
    return values_read(npar);
}

void save(int npar) {
    using namespace karvel;
    kvsave(npar, functn.p.data(), functn.s.data(), sess.nunit, sess.parfll);
}

/// Whether a value comes back from its G12.4 text as a finite number.
bool writable(float v) {
    if (!std::isfinite(v)) return false;
    // 0.3403E+39 is beyond the largest float.
    return std::fabs(v) < 3.4025e38f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::initialise(argc, argv);
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) fuzz::fail("no current folder");
    home() = cwd;
    karvel::kvst_records();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 8192) return 0;
    const int npar = 1 + data[0] % karvel::kMaxPar;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);

    FUZZ_CHECK(::chdir(fuzz::scratch().c_str()) == 0, "cannot enter the scratch folder");
    FUZZ_CHECK(fuzz::write_file("kvst.kvn", file), "cannot write kvst.kvn");
    {
        fuzz::Terminal term("");
        const std::vector<float> first = start(npar);
        bool finite = true;
        for (std::size_t k = 0; k < first.size(); ++k) {
            if (!writable(first[k])) finite = false;
            if (fuzz::kStrict) FUZZ_CHECK(std::isfinite(first[k]), "value " + std::to_string(k + 1) + " read");
        }
        save(npar);
        const std::string saved1 = fuzz::read_file("kvst.kvn");
        const std::vector<float> second = start(npar);
        for (float v : second) {
            if (!writable(v)) finite = false;
        }
        save(npar);
        const std::string saved2 = fuzz::read_file("kvst.kvn");
        if (fuzz::kStrict || finite) {
            FUZZ_CHECK(saved1 == saved2, "the saved file reads back differently:\n" + saved1 + "---\n" + saved2);
        }
    }
    FUZZ_CHECK(::chdir(home().c_str()) == 0, "cannot return to the starting folder");
    return 0;
}
