// Dropping stale input before a run.
#pragma once

class CommLine;

// Reads and drops, one byte at a time, as many bytes as the port holds at this moment (none
// when the port is closed).
void drainInput(CommLine& comm);
