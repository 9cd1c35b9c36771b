#include "PortScan.h"

#include "ComProbe.h"

QStringList ListSerialPorts(const std::function<void(const QString&)>& probeError) {
    QStringList ports;
    for (int n = 1; n <= 255; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        ProbeOutcome outcome = ProbeOutcome::NoSuchPort;
        if (ProbeComPort(name.toStdWString(), outcome).dwSize != 0)
            ports << name;
        else if (outcome == ProbeOutcome::Failed && probeError)
            probeError(name);
    }
    return ports;
}
