#pragma once

// Ctrl-C, SIGTERM and SIGHUP for the faces without a window: once caught,
// the signal is only noted, so that a run can finish the exchange on the
// line, close its port and print what it has before it ends.
void CatchStopSignals();
// The signal caught since CatchStopSignals(), or 0.
int StopSignalCaught();
