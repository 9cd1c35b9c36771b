#pragma once

// Windows only, and free of Qt so that it can be tested on its own: whether
// a COM port exists, asked of the port's driver.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

enum class ProbeOutcome { Found, NoSuchPort, Failed };

// What an error from asking for a port's default configuration says about
// the port. Only the codes that mean "there is no such port" are NoSuchPort;
// ERROR_INSUFFICIENT_BUFFER means the driver has a larger record for a port
// that does exist; anything else is a failure worth telling the user.
ProbeOutcome ProbeOutcomeOf(DWORD error);

// The port's default configuration record (its size field is non-zero) when
// the port exists; an all-zero record otherwise, `outcome` saying whether the
// port is missing or the probe failed. A name ending in ':' is taken without
// it; the plain name is tried first, then the device-namespace form.
COMMCONFIG ProbeComPort(std::wstring name, ProbeOutcome& outcome);
