#include "InputDrain.h"

#include "CommLine.h"

void drainInput(CommLine& comm) {
    const int pending = comm.InQueueCount();
    for (int i = 0; i < pending; ++i) {
        char byte;
        if (comm.Read(&byte, 1) <= 0) break;
    }
}
