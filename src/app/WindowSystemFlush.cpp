#include "WindowSystemFlush.h"

#include <QGuiApplication>
#include <QLibrary>

void FlushWindowSystem() {
#if QT_CONFIG(xcb)
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    // The X connection library is already loaded by the platform plugin; its
    // flush is found at run time, so the program needs no X development files
    // and runs unchanged where the library is missing.
    using Flush = int (*)(xcb_connection_t*);
    static const auto flush = reinterpret_cast<Flush>(QLibrary::resolve("xcb", 1, "xcb_flush"));
    if (flush)
        flush(x11->connection());
#endif
}
