#include "CommEventThread.h"
#include "CommPlatform.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <condition_variable>
#include <mutex>

// What the thread and the calls it posts to the UI thread share. It outlives both the thread and
// the component, so a call that runs after Stop finds `stopping` set and touches nothing else.
struct TCommEventThread::Handover {
    explicit Handover(TCustomComm& c) : comm(c) {}
    TCustomComm& comm; // used on the UI thread only, and only while !stopping
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    std::uint64_t posted = 0; // the last event handed over
    std::uint64_t handled = 0;
};

TCommEventThread::TCommEventThread(TCustomComm& comm, CommDevice& device, std::uint32_t mask)
    : handover_(std::make_shared<Handover>(comm)), device_(device),
      thread_(&TCommEventThread::run, handover_, std::ref(device), mask) {}

TCommEventThread::~TCommEventThread() {
    Stop();
}

void TCommEventThread::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(handover_->mutex);
        handover_->stopping = true;
    }
    handover_->changed.notify_all();
    device_.wakeWaiter();
    thread_.join();
}

void TCommEventThread::run(std::shared_ptr<Handover> handover, CommDevice& device, std::uint32_t mask) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(handover->mutex);
            if (handover->stopping) break;
        }
        if (const std::uint32_t events = device.waitEvent(mask)) handOver(handover, events);
    }
    device.purge();
}

// Runs the event on the UI thread and waits until it has run there, or until Stop.
void TCommEventThread::handOver(const std::shared_ptr<Handover>& handover, std::uint32_t events) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    std::unique_lock<std::mutex> lock(handover->mutex);
    if (handover->stopping) return;
    const std::uint64_t ticket = ++handover->posted;
    lock.unlock();
    QMetaObject::invokeMethod(
        app,
        [handover, events, ticket] {
            {
                std::lock_guard<std::mutex> guard(handover->mutex);
                if (handover->stopping) return;
            }
            // Unlocked: a handler may close the port, and Stop takes the mutex.
            handover->comm.HandleEvent(events);
            {
                std::lock_guard<std::mutex> guard(handover->mutex);
                handover->handled = ticket;
            }
            handover->changed.notify_all();
        },
        Qt::QueuedConnection);
    lock.lock();
    handover->changed.wait(lock, [&] { return handover->stopping || handover->handled >= ticket; });
}
