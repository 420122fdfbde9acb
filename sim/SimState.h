// The readers' memory across a restart of the simulator, as a text file a person can read: one
// line per field, byte strings in hex, "-" for none, lists separated by blanks.
//
//     qrx-reader-sim state 2
//     readers 2
//     next-puncher 2                     the reader the next timed punch goes to
//     reader 1
//     batch-copies unconfirmed           or whole: where "C0" starts
//     delete-renumbers 0                 1: "C3" starts the numbering again
//     clock 2004031501080000             century, year, month, day, weekday, h, m, s
//     modes 000000000000...              the 48-byte mode table
//     capacity 5000
//     customers 000001234510001234 ...   9 bytes each
//     next-seq 4
//     records 00000100000100012004...    16 bytes each, the oldest first
//     uploaded 1                         records before this one are uploaded
//     cursor 1                           the record "C1" hands out next
//     offered 1                          ... and has handed out, waiting to be confirmed
//     online 000003...                   on-line punches not yet delivered
//     online-offered 0                   the first of them went out to "C5"
//     last-online -                      the on-line punch delivered last
//     last C1 C1 000002...               request, answer code, answer data: what "N0" repeats
//     reader 2
//     ...
//     end
//
// The closing "end" shows the file is whole. A file of version 1 has neither batch-copies nor
// delete-renumbers and reads as readers that have the defaults.
#pragma once

#include "SimReader.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

struct SimState {
    int nextPuncher = 1;               // reader id
    std::vector<ReaderMemory> readers; // reader 1 first
};

// A state file that cannot be read or is not whole; the text names the file and the line.
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Readers 1 to `readerCount` of `readers` (index id - 1) as they stand.
SimState captureState(const std::vector<Reader>& readers, int readerCount, int nextPuncher);
// Each reader of `state` takes up where it was.
void restoreState(std::vector<Reader>& readers, const SimState& state);

std::string formatState(const SimState& state);
// Throws StateError ("line 12: ...") when `text` is not a whole, consistent state.
SimState parseState(const std::string& text);

// The state in `path`, or nothing when there is no such file. Throws StateError.
std::optional<SimState> loadState(const std::string& path);
// Writes `path`.tmp and renames it to `path`, so that `path` always holds a whole state however
// the process ends: once written the text is the kernel's, a SIGKILL cannot take it back. It is
// not forced to disk: that guards only against the machine going down, which the simulator does
// not play, and costs milliseconds a request on a disk where the write alone takes microseconds.
// Throws std::system_error.
void saveState(const std::string& path, const SimState& state);

} // namespace sim
