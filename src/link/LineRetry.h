// How long to wait before the port is opened again after the line was lost or would not open:
// half a second at first, twice as long after each try that failed, at most four seconds. The
// waits begin afresh only when the line stayed up a while after it was opened, so that a line
// that flaps (lost soon after every reopen) is tried ever more slowly rather than hammered.
#pragma once

#include <cstdint>

class LineRetry {
public:
    static constexpr int kFirstMs = 500;
    static constexpr int kLongestMs = 4000;
    static constexpr std::int64_t kSteadyMs = 30000;

    // While the device is missing, it is looked for this often: it comes back the moment the
    // adapter is plugged in again, and looking costs nothing on the line.
    static constexpr int kMissingMs = 200;

    // The wait before the next try; each call makes the next one longer.
    int nextWaitMs();
    // The wait before the next try when the open failed because the device is not there: short
    // and fixed, the back-off left where it was.
    int missingWaitMs() const { return kMissingMs; }
    // The port was opened at nowMs (any clock in milliseconds).
    void opened(std::int64_t nowMs) { openedMs_ = nowMs; }
    // The line was lost at nowMs.
    void lost(std::int64_t nowMs);

private:
    int waitMs_ = kFirstMs;
    std::int64_t openedMs_ = -1;
};
