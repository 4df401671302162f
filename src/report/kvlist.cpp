/// The fit listing of the L command: a short form on the terminal, paged on
/// a shared-screen terminal, and the full form in the listing file.
#include <algorithm>
#include <cmath>
#include <string>

#include "params/params.h"
#include "plot/plot.h"
#include "report/report.h"
#include "core/channels.h"
#include "core/records.h"

namespace karvel {

namespace {

using io::kListing;
constexpr int kPageSize = 20;

constexpr std::string_view kReturnLine = "(' TYPE RETURN TO CONTINUE ')";

/// Writes to the listing channel and remembers whether a write failed.
struct Listing {
    bool failed = false;
    void write(std::string_view format, const fmt::Values& values = {}) {
        if (!fmt::write(kListing, format, values)) failed = true;
    }
};

/// On a shared-screen terminal, asks for Return and waits for it; then
/// erases the screen. End of input while waiting lets the listing go on.
void page_break(int out, int in) {
    if (tekenv != 0) fmt::write(out, kReturnLine);
    flusht(out);
    if (tekenv != 0) fmt::read(in, "(1X)");
    terase();
}

/// The items of a parameter table: the titles and fit number, then the rows
/// of the parameters first..last.
fmt::Values parameter_table(const float* old, int first, int last) {
    fmt::Values v{pltlic.y, chichi.fitno, pltlic.x};
    add_parameter_rows(v, first, last, functc.name, functn.p.data(), old, functn.s.data(), errorc.dev.data());
    return v;
}

}  // namespace

float residual_value(const float* r, int m) {
    if (m <= 0) return 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < m; ++i) {
        const float sq = r[i] * r[i];
        sum = sum + sq;
    }
    return std::sqrt(sum) / static_cast<float>(m);
}

void kvlist(const float* old, bool full) {
    const int out = tin.out;
    const int in = tin.in;
    const int n = std::clamp(functn.np, 0, kMaxPar);
    const int m = std::clamp(fitlim.m, 0, kMaxPts);
    const int nfit = std::clamp(errorc.nfit, 0, kMaxPar);
    Listing lis;

    Text<20> date;
    dayt(date);
    terase();

    lis.write("(1H1,A4,25X,A,/,/,' OUTPUT BY VERSION ',A4,' OF KARVEL.',/,/,"
              "' *****  SPECTRUM TITLE : ',A,/,25X,A,/)",
              {tinc.name, date, fitcon.vers, pltlic.title, titlex});
    fmt::write(out, "(' KARVEL ',A4,' TITLE: ',A,/,20X,A)", {fitcon.vers, pltlic.title, titlex});

    // The terminal shows the parameters in pages of at most twenty.
    const int pages = n <= kPageSize ? 1 : static_cast<int>(static_cast<float>(n) / 20.0f + 0.99f);
    for (int q = 1; q <= pages; ++q) {
        const int first = kPageSize * (q - 1) + 1;
        const int last = std::min(first + kPageSize - 1, n);
        static const std::string screen_table = parameter_table_format(
            "' FITTING Y : ',A,10X,' FIT NUMBER ',I4,/,'   VERSUS X : ',A,/,"
            "' NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP  ','    % DEVIATION ',/");
        fmt::write(out, screen_table, parameter_table(old, first, last));
        page_break(out, in);
    }

    static const std::string file_table = parameter_table_format(
        "'  PARAMETERS IN FITTING Y : ',A,10X,' FIT NUMBER',I4,/,"
        "'                 VERSUS X : ',A,/,/,"
        "' NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP  ','    % DEVIATION ',/");
    lis.write(file_table, parameter_table(old, 1, n));

    const fmt::Values control{fitcon.maxstep, fitcon.substep, fitcon.acc};
    fmt::write(out, "(1X,' 100',5X,'MAXIMUM STEP ',G12.4,' SUBSTEP ',F10.5,/,'  200',5X,'ACCURACY     ',G12.4)",
               control);
    lis.write("(/,1X,' 100',5X,'MAXIMUM STEP ',G12.4,' SUBSTEP ',F10.5,/,'  200',5X,'ACCURACY     ',G12.4,/)",
              control);

    const float resid = residual_value(caldat.r.data(), m);
    fmt::write(out, "(' CURRENT RESIDUAL VALUE : ',G12.5)", {resid});
    lis.write("(/,' CURRENT RESIDUAL VALUE : ',G12.5,/,/)", {resid});

    fmt::Values ranges{m};
    for (int k = 1; k <= 6; ++k) ranges.emplace_back(fitlim.bound(k));
    fmt::write(out,
               "(' THERE ARE ',I3,' POINTS IN THE CURRENT',' RANGE SET BY \"ONLY\" COMMAND.',/,"
               "' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ',/,3(1X,G10.3,' TO',G10.3))",
               ranges);
    lis.write("(/,/,' THERE ARE ',I4,' POINTS IN THE CURRENT',' RANGE SET BY \"ONLY\" COMMAND.',/,"
              "' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ',/,3(3X,G12.4,'  TO  ',G12.4,/))",
              ranges);

    page_break(out, in);

    constexpr std::string_view kRfactor = "(/,/,' Mean R-factor is now',G10.2,'%     (old value ',G10.2,'%)')";
    fmt::write(out, kRfactor, {chichi.rfac, chichi.rfacold});
    lis.write(kRfactor, {chichi.rfac, chichi.rfacold});

    if (chichi.chisq == 0.0f) {
        constexpr std::string_view kNone =
            "('  Degrees of Freedom<=0 or error estimates absent',/,' Chi-squared and probability not calculated')";
        fmt::write(out, kNone);
        lis.write(kNone);
    }
    if (chichi.chisq > 0.0f) {
        constexpr std::string_view kChi =
            "(' Reduced CHI-squared is now ',G10.2,' for ',I5,' degrees of freedom',/,"
            "' (old value ',G10.2,')',/,' Chi-squared probability is ',G12.3,/)";
        const fmt::Values chi{chichi.chisq, chichi.ndf, chichi.chisqold, chichi.prob};
        fmt::write(out, kChi, chi);
        lis.write(kChi, chi);
    }

    // The scaled covariance matrix of the fitted variables, its column
    // numbers first, then one row of nfit entries each.
    lis.write("(/,' SCALED COVARIANCE MATRIX')");
    fmt::Values columns;
    for (int c = 1; c <= nfit; ++c) columns.emplace_back(c);
    lis.write("(1X,I4,24I5)", columns);
    for (int k = 1; k <= nfit; ++k) {
        fmt::Values row;
        for (int j = (k - 1) * nfit + 1; j <= k * nfit; ++j) row.emplace_back(errorc.cov(j));
        lis.write("(1X,25F5.0)", row);
    }
    for (int i = 1; i <= n; ++i) {
        const int c = cnstrn(i);
        if (c >= 1 && c <= nfit) {
            lis.write("(4X,A8,' CORRESPONDS TO MATRIX COMPONENT ',I2)", {functc.name[i - 1], c});
        }
    }

    if (full) {
        fmt::Values points;
        for (int i = 1; i <= m; ++i) {
            points.emplace_back(i);
            points.emplace_back(obsdat.x(i));
            points.emplace_back(obsdat.y(i));
            points.emplace_back(obsdat.e(i));
            points.emplace_back(caldat.yc(i));
            points.emplace_back(caldat.r(i));
        }
        lis.write("(('   N ',4X,'XUSE',8X,'YUSE',7X,'YERROR',6X,'YCALCD',4X,'F(MINIMISE)'),/,/,((I5,5G12.4)))",
                  points);
    }

    // The listing must reach the file now: the channel stays open for the
    // rest of the run, and a later failure would go unnoticed until then.
    if ((lis.failed || !io::good(kListing)) && lpoutc > 0) cannot_write(lpoutch.trimmed());
}

}  // namespace karvel
