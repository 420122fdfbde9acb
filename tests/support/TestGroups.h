// Test programs that run several QtTest classes one after the other.
#pragma once

class QObject;

// Runs one group, passing on only the test functions named on the command line that it has
// (none named: all of them; named, but none of its own: it does not run).
int runGroup(QObject& group, int argc, char** argv);
