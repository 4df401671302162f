/// I/O channels: 5 is the terminal input, 6 the terminal output, other
/// numbers are files opened by name.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "karvel/text.h"

namespace karvel::io {

// The package's channels.
constexpr int kParameterFile = 1;  // NAME.kvn
constexpr int kDataFile = 2;       // the W output file and the host's data file
constexpr int kTerminalIn = 5;
constexpr int kTerminalOut = 6;
constexpr int kListing = 16;       // the numbered listing file

enum class Status {
    Unknown,  // open an existing file, or create it empty
    Old,      // the file must exist
    New,      // the file must not exist; it is created
};

/// The most characters of a line that a record read keeps.
constexpr std::size_t kMaxRecord = 4096;

/// Opens a file channel. Returns 0 on success, a positive value when the file
/// cannot be opened (or created). Only a regular file can be opened: a
/// folder, a FIFO or a device is refused. Reading starts at the first record; the
/// first write cuts the file at the current record and writes from there.
int open(int channel, std::string_view name, Status status = Status::Unknown);
/// Closes a file channel; closing a channel that is not open does nothing.
/// Returns false when a write to the channel or the close itself failed.
bool close(int channel);
bool is_open(int channel);

/// Reads the next record (line, without its newline) of the channel. Returns
/// nothing at end of file or on a channel that is not open. Characters past
/// the first kMaxRecord of a line are skipped.
std::optional<std::string> read_record(int channel);

/// Reads the next character of a file channel, for readers that stream
/// their input rather than take it a line at a time. EOF at the end.
int get_char(int channel);

/// Writes text to the channel. A record ends with end_record().
/// Returns false when the channel is not open or the write failed.
bool put(int channel, std::string_view text);
bool end_record(int channel);

/// Writes out whatever is buffered on the channel.
void flusht(int channel);

/// Writes out whatever is buffered on a file channel and tells whether every
/// write to it so far reached the file (false for a channel that is not open).
bool good(int channel);

/// Whether a file of that name exists (trailing blanks are not part of it).
bool file_exists(std::string_view name);

/// Test support: replaces the terminal streams (nullptr restores stdin/stdout).
void redirect_terminal(std::FILE* in, std::FILE* out);

}  // namespace karvel::io

namespace karvel {
/// The current local date and time as "dd-Mmm-yyyy hh:mm:ss" into the text
/// (first 20 characters, then blanks). SOURCE_DATE_EPOCH, when set, gives
/// the time in seconds since the epoch.
void dayt(TextRef text);
using io::flusht;
}  // namespace karvel
