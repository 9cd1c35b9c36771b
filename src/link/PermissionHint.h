#pragma once

#include <QString>

// The line added to a Connect failure when the system refused access to the
// port: which device was refused and what the user can do about it. Empty for
// any other failure and on systems where access is not a matter of groups.
// `device` is the device actually opened (the port object's Device()), not
// the name the user typed: "COM1" is refused as /dev/ttyS0.
QString PermissionHint(const QString& device, int error);

// The message of a Connect failure on a device that is no terminal at all (a
// regular file, a FIFO, /dev/null): the system's own reason ("Inappropriate
// ioctl for device") says nothing to a user. Empty for any other failure.
QString NotSerialPortText(const QString& device, int error);
