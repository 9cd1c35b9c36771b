#pragma once

#include "SiteBookLocation.h"

class ConsoleOutput;

// --sync: sends the visits kept on this computer while the server of `book`
// was out of reach, and does nothing else. Returns 0 when all went, 5 when
// the server could not be reached or took not all of them (said on
// standard error; what went is not sent again).
int RunSync(const SiteBookLocation& book, ConsoleOutput& out);
