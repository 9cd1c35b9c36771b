#pragma once

#include "Command.h"

// What the configuration side needs from the link: whether a port is open,
// the frame buffers with the current request, and the poll timer, which is
// held still while a received configuration is being shown.
class ConfigLink {
public:
    virtual ~ConfigLink() = default;
    virtual bool PortOpen() const = 0;
    virtual Command::LinkBuffers& Buffers() = 0;
    virtual bool PollingActive() const = 0;
    virtual void StopPolling() = 0;
    virtual void StartPolling() = 0;
};
