#pragma once

#include "DetectorConfig.h"
#include "Provisioning.h"

#include <QString>
#include <QStringList>

class ConsoleOutput;
class DetectorSession;
class PortVisit;

// What one port's job ended with: its exit status and its lines (the
// differences found, then the result line), each naming the port.
struct PortResult {
    int status = 0;
    QStringList lines;
};

// Serves one port: connects, then applies, compares or reads as `request`
// says, with `file` already read and checked (for --check and --restore, the
// configuration the site book holds). Link failures go to the error log
// through `out`; every read and write goes to the port's `visit`.
PortResult ServePort(const ProvisionRequest& request, const DetectorConfig& file,
                     DetectorSession& session, ConsoleOutput& out, PortVisit& visit);
