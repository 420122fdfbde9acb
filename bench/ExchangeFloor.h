// The floor of a run of record and "C7" exchanges: the time the same exchanges would take a host
// that costs nothing and sees every byte the moment the simulated line hands it over, at either
// of two paces of the link:
//   Settle: the link as it was, which read an answer 25 ms after its first byte was seen (and not
//           before the whole answer was in) and sent the next request at once;
//   Whole:  the link as it is, which reads an answer as soon as its whole frame is in and sends
//           the next request 3.5 characters' time after the last byte heard.
// After a lost answer both wait for the first-byte time-out (205 ms after the request has left).
//
// Per exchange, from one request being in at the reader to the next:
//     the reader's turn-around (3 ms, the simulator's default)
//     + Settle: max(first answer byte handed over + 25 ms, last answer byte handed over)
//       Whole:  last answer byte handed over + 3.5 characters
//     + the next request on the wire (8 bytes)
// where answer byte i is off the wire i + 1 byte times after the answer starts and is handed
// over as the simulator does it: with an adapter at its next latency tick (ticks count from the
// line's start, so the host's requests fall into step with them), without one at the end of the
// 4 ms chunk the byte falls in.
#pragma once

#include <string>
#include <vector>

namespace bench {

// One request a reader took, and what of its answer reached the host.
struct Exchange {
    double inMs = 0; // when the request was in at the reader, from the line's start
    int reader = 0;
    std::string code;
    int answerBytes = 0; // 0 when the answer was lost or none came
};

struct LineModel {
    double byteMs = 0; // one byte on the wire
    int adapterMs = 0; // the adapter's latency; 0: none
};

enum class Pace { Settle, Whole };

// When a host that costs nothing would have its next request in at the reader, after one whose
// request was in at inMs and whose answer brought answerBytes to the host.
double nextInMs(const LineModel& line, Pace pace, double inMs, int answerBytes);
// From the first exchange's request to the request that follows the last.
double floorMs(const LineModel& line, Pace pace, const std::vector<Exchange>& exchanges);

} // namespace bench
