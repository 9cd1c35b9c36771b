#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Lists the serial ports present, in the order the setup dialog shows them.
// `probeError` is called with a port's name when probing it failed with an
// error (as opposed to the port simply not existing); the scan goes on.
//
// On Windows the names are COM1..COM255, probed through the driver's default
// configuration. On POSIX systems they are the device paths of real serial
// ports and of running virtual detectors (/tmp/ttyVD*), which the serial
// class opens as typed.
QStringList ListSerialPorts(const std::function<void(const QString&)>& probeError);

#ifndef _WIN32
// The POSIX scan over the given folders in place of /sys/class/tty, /dev and
// /tmp. Nothing on POSIX counts as a probe error: a port without a device
// node is not listed.
QStringList ListSerialPortsIn(const QString& sysClassTty, const QString& devDir,
                              const QString& tmpDir,
                              const std::function<void(const QString&)>& probeError);
#endif
