#include "X11Images.h"

#include <QByteArray>
#include <QtGlobal>

void PreferPlainX11Images() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The X11 platform plugin uses shared memory unless this variable is set
    // at all, whatever its value.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
#endif
}
