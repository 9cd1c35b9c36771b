#pragma once

// Chooses how the toolkit hands window pictures to an X server; call it
// before the QApplication exists.
//
// With shared memory, the toolkit waits for a round trip to the X server
// before it paints a part of the window that the server may still be reading.
// A status repaints the same bars and graph columns at every poll, so each
// window would wait once per status: some four thread switches and 0.15 to
// 0.3 ms of the program's CPU time in all, for a handful of small rectangles
// that cost the server hardly more to take through the socket. Plain images never
// wait. A user who set the toolkit's own variable keeps that choice; on
// other window systems it does nothing.
void PreferPlainX11Images();
