// The groups of tst_sim; each runs as a QtTest class of its own.
#pragma once

int runCodecTests(int argc, char** argv);
int runAnswerTests(int argc, char** argv);
int runFaultTests(int argc, char** argv);
int runLineTests(int argc, char** argv);
int runLineModelTests(int argc, char** argv);
int runStateTests(int argc, char** argv);
