#include "PtyLink.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string ReadLink(const std::string& path) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

} // namespace

bool PtyLink::Open(std::string& error) {
    Close();
    struct stat st {};
    if (lstat(linkPath_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = linkPath_ + " exists and is not a symbolic link; not replacing it";
        return false;
    }

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = ErrnoText("openpty");
        return false;
    }
    // Raw 8N1 at 19200 baud, so that whoever opens the slave without setting
    // it up still gets the bytes untouched (no echo, no line editing, no CR
    // translation). The settings stay with the terminal after the close.
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(slave, TCSANOW, &tio);
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);

    // A new link next to the old one, then a rename: the name never points
    // nowhere while being replaced.
    const std::string temporary = linkPath_ + ".new." + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(name, temporary.c_str()) != 0 ||
        rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        error = ErrnoText("cannot create the link " + linkPath_);
        unlink(temporary.c_str());
        close(master);
        return false;
    }
    master_ = master;
    devicePath_ = name;
    return true;
}

void PtyLink::Close() {
    if (master_ < 0)
        return;
    if (ReadLink(linkPath_) == devicePath_)
        unlink(linkPath_.c_str());
    close(master_);
    master_ = -1;
}

} // namespace sim
