/// Fuzz target: a whole session of the test host on a fuzzed command stream.
///
/// Each input runs in a child process forked from a parent that never runs
/// the package, so every session starts from the state a new process has;
/// a stop or a pause that ends the program ends only the child. The child
/// hands its coverage counters back through shared memory, so libFuzzer is
/// guided by what the session did.
///
/// The child works in a fresh scratch folder holding two data files, with
/// the input (every '/' turned into '_', so that no name typed reaches
/// outside the folder) as its terminal input and its terminal output and
/// error stream in files. Where the kernel has Landlock, the child cannot
/// create, write or remove anything outside the folder. Every plot unit is
/// the null device. A session that has not ended after kSeconds is killed.
///
/// Checks: no sanitizer report; the session ends within kSeconds; its
/// terminal output stays below kMaxOutput bytes; it leaves through the exit
/// path with the save question, and every parameter value and step is finite
/// at the end (both strict: they need the saturating decoder and a fit that
/// goes on when its chi-squared is not finite).
#include <linux/landlock.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <string>

// Without allocation stacks a session touches far fewer pages, which is
// most of its cost in a forked child; ASAN_OPTIONS=malloc_context_size=30
// brings them back when a case is replayed.
#define FUZZ_ASAN_OPTIONS "quarantine_size_mb=16:malloc_context_size=0"
#include "counters.h"
#include "fuzz_support.h"
#include "kvst.h"
#include "core/records.h"

extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace {

constexpr unsigned kSeconds = 10;
constexpr long kMaxOutput = 8L << 20;
constexpr const char* kSaveQuestion = " DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ";

std::string tail(const std::string& s) { return s.size() > 400 ? s.substr(s.size() - 400) : s; }

enum Outcome : int { kRunning = 1, kReturned, kExited };

struct Shared {
    volatile int outcome;
    volatile int finite;  // every parameter value and step finite at the end
    std::uint8_t counters[1];
};

Shared* shared = nullptr;
long sessions_returned = 0;  // left through the exit path
long sessions_exited = 0;    // ended the program: a stop, or a pause not resumed
std::size_t counters_size = 0;
std::string data_peak;
std::string data_exact;

void hand_back_counters() {
    if (counters_size) std::memcpy(shared->counters, fuzz::counters_begin(), counters_size);
}

void record_finite() {
    using namespace karvel;
    int ok = 1;
    for (int i = 1; i <= functn.np; ++i) {
        if (!std::isfinite(functn.p(i)) || !std::isfinite(functn.s(i))) ok = 0;
    }
    shared->finite = ok;
}

/// The child's end through exit(): a stop, or a pause that was not resumed.
void child_exit() {
    if (shared->outcome == kRunning) shared->outcome = kExited;
    record_finite();
    std::fflush(nullptr);
    hand_back_counters();
    ::_exit(0);
}

/// Only the scratch folder may be written below: everything else that makes,
/// writes, cuts or removes files is refused.
void confine_writes(const std::string& dir) {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) return;
    std::uint64_t handled = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                            LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                            LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                            LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                            LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
#ifdef LANDLOCK_ACCESS_FS_REFER
    if (abi >= 2) handled |= LANDLOCK_ACCESS_FS_REFER;
#endif
#ifdef LANDLOCK_ACCESS_FS_TRUNCATE
    if (abi >= 3) handled |= LANDLOCK_ACCESS_FS_TRUNCATE;
#endif
    landlock_ruleset_attr attr{};
    attr.handled_access_fs = handled;
    const int ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
    if (ruleset < 0) return;
    landlock_path_beneath_attr beneath{};
    beneath.allowed_access = handled;
    beneath.parent_fd = ::open(dir.c_str(), O_PATH | O_CLOEXEC);
    const bool ok = beneath.parent_fd >= 0 &&
                    ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) == 0 &&
                    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                    ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    if (!ok) fuzz::fail("cannot confine the session to its folder");
    ::close(beneath.parent_fd);
    ::close(ruleset);
}

[[noreturn]] void run_child(const std::string& dir) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Sanitizer reports go to the fuzzer's error stream, not the session's.
    if (__sanitizer_set_report_fd) {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(fuzz::error_fd())));
    }
    if (::chdir(dir.c_str()) != 0) ::_exit(101);
    const int in = ::open("session.in", O_RDONLY);
    const int out = ::open("session.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("session.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(102);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    confine_writes(dir);
    ::signal(SIGALRM, SIG_DFL);
    ::alarm(kSeconds);
    shared->outcome = kRunning;
    std::atexit(child_exit);

    karvel::kvst_records();
    karvel::karvel(karvel::Text<4>("kvst"), karvel::myread, karvel::gauss);

    shared->outcome = kReturned;
    record_finite();
    std::fflush(nullptr);
    hand_back_counters();
    ::_exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::initialise(argc, argv);
    data_peak = fuzz::read_file(KARVEL_SOURCE_DIR "/examples/peak.dat");
    data_exact = fuzz::read_file(KARVEL_SOURCE_DIR "/tests/data/exact.dat");
    if (data_peak.empty() || data_exact.empty()) fuzz::fail("cannot read the data files");
    if (fuzz::counters_begin() && fuzz::counters_end() > fuzz::counters_begin()) {
        counters_size = static_cast<std::size_t>(fuzz::counters_end() - fuzz::counters_begin());
    }
    void* mem = ::mmap(nullptr, sizeof(Shared) + counters_size, PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) fuzz::fail("cannot map the shared memory");
    shared = static_cast<Shared*>(mem);
    std::atexit([] {
        fuzz::say("sessions: " + std::to_string(sessions_returned) + " reached the save question, " +
                  std::to_string(sessions_exited) + " ended the program before it");
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 16384) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    for (char& c : input) {
        if (c == '/') c = '_';
    }

    const std::string dir = fuzz::scratch() + "/session";
    fuzz::remove_tree(dir);
    FUZZ_CHECK(::mkdir(dir.c_str(), 0755) == 0, "cannot make " + dir);
    FUZZ_CHECK(fuzz::write_file(dir + "/session.in", input) && fuzz::write_file(dir + "/peak.dat", data_peak) &&
                   fuzz::write_file(dir + "/exact.dat", data_exact),
               "cannot fill " + dir);

    shared->outcome = 0;
    shared->finite = 1;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    FUZZ_CHECK(pid >= 0, "cannot fork");
    if (pid == 0) run_child(dir);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        FUZZ_CHECK(errno == EINTR, "waitpid failed");
    }
    if (counters_size) std::memcpy(fuzz::counters_begin(), shared->counters, counters_size);
    if (std::getenv("KARVEL_FUZZ_SHOW")) {  // replaying a case: what the session wrote
        fuzz::say("outcome " + std::to_string(shared->outcome) + "\n--- terminal output:\n" +
                  fuzz::read_file(dir + "/session.out") + "--- error stream:\n" + fuzz::read_file(dir + "/session.err"));
    }

    const std::string err = fuzz::read_file(dir + "/session.err");
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        fuzz::fail("the session did not end within " + std::to_string(kSeconds) + " s");
    }
    FUZZ_CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0,
               "the session process failed, status " + std::to_string(status) + "\n" + tail(err));
    FUZZ_CHECK(shared->outcome == kReturned || shared->outcome == kExited,
               "the session ended without a word, outcome " + std::to_string(shared->outcome));

    struct stat st {};
    FUZZ_CHECK(::stat((dir + "/session.out").c_str(), &st) == 0, "no terminal output");
    FUZZ_CHECK(st.st_size <= kMaxOutput, "terminal output of " + std::to_string(st.st_size) + " bytes");

    (shared->outcome == kReturned ? sessions_returned : sessions_exited) += 1;
    if (shared->outcome == kReturned) {
        const std::string out = fuzz::read_file(dir + "/session.out");
        FUZZ_CHECK(out.find(kSaveQuestion) != std::string::npos, "the session returned without the save question");
    } else if (fuzz::kStrict) {
        fuzz::fail("the session ended the program before the save question:\n" + tail(err));
    }
    if (fuzz::kStrict) FUZZ_CHECK(shared->finite, "a parameter value or step is not finite at the end");
    return 0;
}
