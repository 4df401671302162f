/// Files that are written whole (the parameter file, the counter file): a
/// failed write never destroys the previous file. And the counter file
/// "sequ.seq" that numbers the listing files and the hardcopy files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace karvel::io {

/// How a replacement of a file ended.
enum class Replaced {
    Done,
    CannotOpen,   // the name is not a regular file that may be written, or no file can be made beside it
    CannotWrite,  // a record, the flush or the close failed; nothing was changed
};

/// Makes the records (lines without their newlines) the whole new contents of
/// the named file (trailing blanks are not part of the name). They are written
/// on the channel into a temporary file beside the file, which replaces it
/// only when every record has reached the disk; otherwise the temporary file
/// is removed and the old file stays byte for byte as it was. A link is
/// followed: the file it leads to is replaced. A folder, a FIFO, a device,
/// a link that leads nowhere or a file that may not be written is left alone.
Replaced replace_file(int channel, std::string_view name, const std::vector<std::string>& records);

/// Whether what was written to the named (closed) file has reached the disk.
/// This is where a failure that only the close would have shown comes out.
bool on_disk(std::string_view name);

/// The counter file, one line written with "(1X,I5)": the last number used.
constexpr std::string_view kCounterFile = "sequ.seq";

/// Draws the next number from the counter file on the channel and writes it
/// back. `next` turns the last number used (0 when the file is missing or
/// holds no number) into the new one. A counter file that is there but
/// cannot be opened is reported (CANNOT OPEN FILE sequ.seq) and left as it
/// is; a failed write is reported (CANNOT WRITE FILE sequ.seq) and leaves
/// the old file. A negative channel counts as a file that cannot be opened.
/// Returns the new number, which the caller uses in every case.
int advance_counter(int channel, int (*next)(int last));

}  // namespace karvel::io
