/// The commands that put the fit on paper or into files: P plots it on the
/// hardcopy device, L lists it, W writes the fit-and-data file.
#include <string>

#include "fit/fit.h"
#include "plot/pictures.h"
#include "plot/plot.h"
#include "report/report.h"
#include "core/channels.h"
#include "core/format.h"
#include "core/strings.h"
#include "session/commands/commands.h"
#include "session/commands/fit.h"
#include "session/session.h"

namespace karvel {

namespace {

bool initialised() { return flags(kDataRead) != 0 && flags(kParametersSet) != 0; }

/// Forms the W file name from the first word of the argument text: one to
/// five letters or digits followed by ".kpl". A word is cut to five
/// characters, but its sixth must still be a letter or digit. Returns false
/// (and says so) when the name is refused.
bool form_name(const Text<81>& argument, Text<10>& name) {
    name.blank();
    Text<10> word;
    int j = 6;
    for (int i = 1; i <= 6; ++i) {
        const char c = argument.at(i);
        if (c == ' ') {
            j = i;
            break;
        }
        if (!is_letter_or_digit(c)) {
            fmt::write(tin.out, "(' UNACCEPTABLE FILENAME (up to 5 numbers/characters)')");
            return false;
        }
        word.at(i) = c;
    }
    if (j < 2) {
        fmt::write(tin.out, "(' UNACCEPTABLE FILENAME (up to 5 numbers/characters)')");
        return false;
    }
    std::string formed(word.view().substr(0, static_cast<std::size_t>(j - 1)));
    formed += ".kpl";
    name = formed;
    return true;
}

}  // namespace

bool full_listing_asked(std::string_view argument) {
    return !argument.empty() && (argument.front() == 'F' || argument.front() == 'f');
}

Next command_hardcopy() {
    if (!initialised()) {
        fmt::write(tin.out, kNotInitialised);
        return Next::Prompt;
    }
    int status = 0;
    pgnsel(2, sess.lastp, status);
    if (status != -1) {
        draw_frame_data_title();
        caldat.ncall = 0;
        // As for F: a print control sends the minimiser's printout to the
        // listing file, which must be open before the fit writes to it.
        if (tin.v(3) != 0.0f) lpout(sess.pnam, io::kListing);
        kvffff(sess.model, functn.np, functn.p.data(), functn.s.data(), functn.xv.data(), fitlim.m,
               obsdat.x.data(), obsdat.y.data(), obsdat.e.data(), caldat.yc.data(), caldat.r.data(), work,
               trunc_int(tin.v(1)), trunc_int(tin.v(3)));
        draw_fit_results(sess.model, tin.v(1));
    }
    int other = 0;
    pgnsel(sess.lastp, other, status);
    return Next::Prompt;
}

Next command_list() {
    if (!initialised()) {
        fmt::write(tin.out, "(' NO FIT ATTEMPTS AVAILABLE FOR LISTING.')");
        return Next::Prompt;
    }
    lpout(sess.pnam, io::kListing);
    kvlist(sess.old.data(), full_listing_asked(tinc.line.view()));
    return Next::Prompt;
}

Next command_write() {
    if (!initialised()) {
        fmt::write(tin.out, kNotInitialised);
        return Next::Prompt;
    }
    if (!form_name(tinc.line, pltfle)) return Next::Prompt;
    write_fit_file(sess.model, pltfle);
    return Next::Prompt;
}

}  // namespace karvel
