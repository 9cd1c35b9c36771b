#pragma once

#include <QString>

// What a port name opens, as a key for telling whether two names are one
// port: "/tmp/ttyVD0", "/tmp/./ttyVD0" and the /dev/pts/N it links to give
// the same key, so do "COM1" and "com1". Two jobs on one port would have one
// of them refused as busy although the detector was served. Looks only at
// names and the file system; opens nothing.
QString PortIdentity(const QString& portName);
