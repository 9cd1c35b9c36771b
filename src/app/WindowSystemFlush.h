#pragma once

// Hands the window system the requests the toolkit still holds back.
//
// On X11 the toolkit buffers window property changes (the opacity among them)
// and sends them only when it next handles an event from the X server. A fade
// driven by a timer alone would then stay at its first steps until the user
// happens to move the mouse over the window. Elsewhere this does nothing.
void FlushWindowSystem();
