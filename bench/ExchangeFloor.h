// The floor of a run of record and "C7" exchanges: the time the same exchanges would take a host
// that costs nothing and sees every byte the moment the simulated line hands it over. Such a
// host sends the next request as soon as AwaitInput(25) would let it: 25 ms after the answer's
// first byte is seen and not before the whole answer is in; after a lost answer, when the
// first-byte time-out (205 ms after the request has left) runs out.
//
// Per exchange, from one request leaving the host to the next:
//     request on the wire (8 bytes) + the reader's turn-around (3 ms, the simulator's default)
//     + max(first answer byte handed over + 25 ms, last answer byte handed over)
// where answer byte i is off the wire i + 1 byte times after the answer starts and is handed
// over as the simulator does it: with the adapter at its next 16 ms tick (ticks count from the
// line's start, so the host's requests fall into step with them), without it at the end of the
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
    bool adapter = false;
};

// When a host that costs nothing would have its next request in at the reader, after one whose
// request was in at inMs and whose answer brought answerBytes to the host.
double nextInMs(const LineModel& line, double inMs, int answerBytes);
// From the first exchange's request to the request that follows the last.
double floorMs(const LineModel& line, const std::vector<Exchange>& exchanges);

} // namespace bench
