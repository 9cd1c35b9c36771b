#pragma once

#include "serial_platform.h"

#include <termios.h>

// Line settings between a device control block and a terminal's attributes.
namespace SerialPlatform {

// A binary line: no echo, no line editing, no character translation, no
// signals, reads return at once.
void MakeRaw(termios& t);

// The block a terminal's attributes amount to. What a terminal keeps nowhere
// (flow limits, the flags it does not decide) comes from `applied`, the block
// last applied to it.
TDCB DcbFromTermios(const termios& t, const TDCB& applied);

// Puts the block's line settings into `t` (made raw on the way). False with
// errno EINVAL for a speed, size, parity or stop-bit code the terminal has not.
bool TermiosFromDcb(const TDCB& dcb, termios& t);

} // namespace SerialPlatform
