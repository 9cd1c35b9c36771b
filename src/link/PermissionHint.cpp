#include "PermissionHint.h"

#ifndef _WIN32
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#endif

QString PermissionHint(const QString& device, int error) {
#ifndef _WIN32
    if (error != EACCES && error != EPERM)
        return {};
    // Serial devices are usually opened to one group (dialout on most
    // systems); joining it is what the user has to ask for. The owning group
    // is only worth naming when it may read and write: otherwise membership
    // would not help and only an administrator can open the device up.
    constexpr mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    struct stat st {};
    if (::stat(device.toLocal8Bit().constData(), &st) == 0 &&
        (st.st_mode & groupReadWrite) == groupReadWrite) {
        // The reentrant form: ports opened on several threads at once may
        // all be refused together.
        struct group entry {};
        struct group* g = nullptr;
        char names[4096];
        ::getgrgid_r(st.st_gid, &entry, names, sizeof names, &g);
        const QString group = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        return QStringLiteral("\nYou need access to the serial device %1 (membership of the group "
                              "\"%2\").")
            .arg(device, group);
    }
    return QStringLiteral("\nYou need access to the serial device %1; an administrator must "
                          "grant it.")
        .arg(device);
#else
    Q_UNUSED(device);
    Q_UNUSED(error);
    return {};
#endif
}

QString NotSerialPortText(const QString& device, int error) {
#ifndef _WIN32
    if (error == ENOTTY)
        return QStringLiteral("%1 is not a serial port.").arg(device);
#else
    Q_UNUSED(device);
    Q_UNUSED(error);
#endif
    return {};
}
