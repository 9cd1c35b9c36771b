// Line settings of a POSIX terminal device, to and from a device control block.
#include "serial_line_settings_posix.h"

#include <cerrno>

namespace SerialPlatform {

namespace {

struct SpeedEntry {
    std::uint32_t baud;
    speed_t code;
};
constexpr SpeedEntry speeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedCode(std::uint32_t baud, speed_t& code) {
    for (const auto& s : speeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

std::uint32_t BaudOf(speed_t code) {
    for (const auto& s : speeds) {
        if (s.code == code)
            return s.baud;
    }
    return 0;
}

} // namespace

void MakeRaw(termios& t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

TDCB DcbFromTermios(const termios& t, const TDCB& applied) {
    TDCB d = applied;
    d.DCBlength = 28;
    d.BaudRate = BaudOf(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        d.ByteSize = 5;
        break;
    case CS6:
        d.ByteSize = 6;
        break;
    case CS7:
        d.ByteSize = 7;
        break;
    default:
        d.ByteSize = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        d.Parity = 0;
#ifdef CMSPAR
    else if (t.c_cflag & CMSPAR)
        d.Parity = (t.c_cflag & PARODD) ? 3 : 4;
#endif
    else
        d.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (t.c_cflag & CSTOPB)
        d.StopBits = d.ByteSize == 5 ? 1 : 2;
    else
        d.StopBits = 0;

    // Flags the terminal settings decide; the rest stay as applied.
    std::uint32_t flags = d.Flags | dcbBinary;
    flags &= ~(dcbParityCheck | dcbOutX | dcbInX);
    if (t.c_iflag & INPCK)
        flags |= dcbParityCheck;
    if (t.c_iflag & IXON)
        flags |= dcbOutX;
    if (t.c_iflag & IXOFF)
        flags |= dcbInX;
    if (t.c_cflag & CRTSCTS) {
        flags &= ~dcbRtsControlEnable;
        flags |= dcbOutxCtsFlow | dcbRtsControlHandshake;
    } else if (flags & (dcbOutxCtsFlow | dcbRtsControlHandshake)) {
        flags &= ~(dcbOutxCtsFlow | dcbRtsControlHandshake);
        flags |= dcbRtsControlEnable;
    }
    d.Flags = flags;
    d.XonChar = static_cast<char>(t.c_cc[VSTART]);
    d.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return d;
}

bool TermiosFromDcb(const TDCB& dcb, termios& t) {
    speed_t speed = B0;
    if (!SpeedCode(dcb.BaudRate, speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
        dcb.StopBits > 2) {
        errno = EINVAL;
        return false;
    }
    MakeRaw(t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        break;
    }
    if (dcb.StopBits != 0)
        t.c_cflag |= CSTOPB;
    if (dcb.Flags & dcbParityCheck)
        t.c_iflag |= INPCK;
    if (dcb.Flags & dcbOutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & dcbInX)
        t.c_iflag |= IXOFF;
    if (dcb.Flags & (dcbOutxCtsFlow | dcbRtsControlHandshake))
        t.c_cflag |= CRTSCTS;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    return true;
}

} // namespace SerialPlatform
