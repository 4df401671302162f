/// The entry routine's own session variables, the command reader and the
/// command loop, and the ways the program stops or pauses.
#pragma once

#include <span>
#include <string_view>

#include "core/channels.h"
#include "core/numeric.h"
#include "core/records.h"
#include "core/stop.h"

namespace karvel {

/// Variables that the entry routine keeps for the life of the process.
struct Session {
    Text<4> pnam;                // program name as passed
    Text<4> parfl;               // parameter-file stem
    Text<20> parfll;             // parameter-file name
    Arr<float, kMaxPar> old;     // previous parameter values
    float tvars1 = 0.0f;         // cursor toggle
    int nunit = io::kParameterFile;  // channel of the parameter file
    int nunit2 = io::kDataFile;      // channel of the W output file
    Text<4> vershn;              // package version text
    Text<10> logfil;             // usage-log file name
    int lastp = 0;               // plot unit current before a hardcopy
    Reader reader = nullptr;     // the host's routines of the current call
    Model model = nullptr;
};
extern Session sess;

struct Command;
/// Prompts (after the option line, unless a command asked to go without),
/// reads a command line and returns the position 1.. of its command's row
/// in the table, or -1 at end of input. The numbers after the command word
/// are decoded into tin.v unless the command takes text.
int ikvcmd(std::span<const Command> commands);
/// Takes the command word off the line buffer; ch gets its first character.
void kvgech(char& ch);
/// Decodes up to nv numbers from the line (at most 80 characters looked at).
/// iflag: on entry > 0 reports an illegal character; on return 0 or -position.
void kvfdcd(float* v, int nv, char* line, int len, int& iflag);
/// The help list: the host's version line and extra help, then the help
/// lines of the command table.
void kvhelp(int in, int out, const Text<4>& name);
/// The command loop, up to and including the exit path.
void command_loop();
/// Start-up: every call of the entry routine goes through it.
void startup(const Text<4>& name);

/// The data input of the R command: calls the host's reader and records what
/// it read: the data-read flags, the data extents, the plot window when it is
/// unset, and the fit figures moved to the previous ones. A reader returning
/// no point changes nothing.
void kvdatn(int& n, float* x, float* y, float* e, Reader reader);

}  // namespace karvel
