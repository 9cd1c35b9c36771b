#pragma once

#include <functional>

// Ctrl+C, SIGTERM and SIGHUP (a closed SSH session) while the command line
// talks to detectors. Dying at once would leave a port in exclusive mode and
// a detector running settings nobody was told about; instead the signal only
// raises a flag. Every port job asks it between exchanges (an exchange on the
// line is always finished: its receive is bounded by the time-out), closes
// its port and says where it stopped; the program then ends with 128 plus
// the signal's number. One mechanism for every face without a window:
//
//     DetectorSession session(port, timeoutMs);
//     session.StopRequested = Interruption::StopCheck();
//     ... if (!session.ReadConfiguration(payload) && session.Interrupted())
//             say where the job stopped and what the detector runs now;
//     return Interruption::ExitStatus(worst); // in main, after every job
namespace Interruption {

// Catches the signals from now on. Called once, before any port is opened.
void Install();

// The signal that asked the program to stop, 0 while none came.
int Signal();
bool Requested();

// What a port job polls between exchanges.
std::function<bool()> StopCheck();

// `status`, or 128 + the signal's number once one came.
int ExitStatus(int status);

} // namespace Interruption
