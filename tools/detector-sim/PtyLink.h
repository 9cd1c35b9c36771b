#pragma once

#include <string>

// The detector's end of the line: the master side of a pseudo-terminal, with
// a stable name for the tool's side, a symbolic link to the slave device.
// The slave is not held open here, so the tool closing the port shows on the
// master as a hang-up (POLLHUP, EIO on read) until someone opens it again.
namespace sim {

class PtyLink {
public:
    explicit PtyLink(std::string linkPath) : linkPath_(std::move(linkPath)) {}
    ~PtyLink() { Close(); }
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates a new pseudo-terminal in raw mode and points the link at it
    // (replacing a link left by an earlier run; any other kind of file there
    // is an error). The master is non-blocking.
    bool Open(std::string& error);

    // Closes the master, which hangs up whoever has the slave open, and
    // removes the link if it still points at this terminal.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int MasterFd() const { return master_; }
    const std::string& LinkPath() const { return linkPath_; }
    const std::string& DevicePath() const { return devicePath_; }

private:
    std::string linkPath_;
    std::string devicePath_;
    int master_ = -1;
};

} // namespace sim
