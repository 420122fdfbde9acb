// The port's event thread: waits for line events on the device and hands each to the
// component's HandleEvent on the UI thread, waiting until it has run.
//
// Thread safety: construct and Stop on the UI thread. Stop may be called while the thread waits
// to hand an event over (also from inside a handler that the event runs); it never deadlocks.
#pragma once

#include "CommInt.h"

#include <cstdint>
#include <memory>
#include <thread>

class CommDevice;

class TCommEventThread {
public:
    // Starts at once, reporting the events of mask (commevent bits) on device to comm.
    TCommEventThread(TCustomComm& comm, CommDevice& device, std::uint32_t mask);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // Ends the wait and any hand-over in progress, lets the thread purge the device queues and
    // joins it. An event already posted to the UI thread is then dropped unrun.
    void Stop();

private:
    struct Handover;
    static void run(std::shared_ptr<Handover> handover, CommDevice& device, std::uint32_t mask);
    static void handOver(const std::shared_ptr<Handover>& handover, std::uint32_t events);

    std::shared_ptr<Handover> handover_;
    CommDevice& device_;
    std::thread thread_;
};
