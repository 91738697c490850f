#include "platform/pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::string ErrText(const char* step, int err)
{
    return std::string(step) + ": " + std::strerror(err);
}
}  // namespace

PtyMaster::~PtyMaster()
{
    Close();
}

bool PtyMaster::Create()
{
    Close();
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FLastError = ErrText("posix_openpt", errno);
        return false;
    }
    char name[128];
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        FLastError = ErrText("pty setup", errno);
        ::close(fd);
        return false;
    }
    // Raw line discipline from the start, so nothing the slave side receives is translated even
    // before its opener configures it.
    termios tio {};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    FFd = fd;
    FSlavePath = name;
    return true;
}

void PtyMaster::Close()
{
    if (!FLinkPath.empty()) {
        ::unlink(FLinkPath.c_str());
        FLinkPath.clear();
    }
    HoldSlave(false);
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

int PtyMaster::Read(uint8_t* buffer, int count)
{
    if (FFd < 0)
        return -1;
    ssize_t n = ::read(FFd, buffer, static_cast<size_t>(count));
    if (n >= 0)
        return static_cast<int>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    FLastError = ErrText("read", errno);
    return -1;
}

int PtyMaster::Write(const uint8_t* buffer, int count)
{
    if (FFd < 0)
        return -1;
    ssize_t n = ::write(FFd, buffer, static_cast<size_t>(count));
    if (n >= 0)
        return static_cast<int>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    FLastError = ErrText("write", errno);
    return -1;
}

bool PtyMaster::WaitReadable(int timeoutMs)
{
    if (FFd < 0)
        return false;
    pollfd p{FFd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

bool PtyMaster::HoldSlave(bool hold)
{
    if (!hold) {
        if (FSlaveHold >= 0) {
            ::close(FSlaveHold);
            FSlaveHold = -1;
        }
        return true;
    }
    if (FSlaveHold >= 0)
        return true;
    if (FFd < 0)
        return false;
    FSlaveHold = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FSlaveHold < 0) {
        FLastError = ErrText("open slave", errno);
        return false;
    }
    return true;
}

bool PtyMaster::MakeLink(const std::string& linkPath)
{
    if (FFd < 0)
        return false;
    ::unlink(linkPath.c_str());
    if (::symlink(FSlavePath.c_str(), linkPath.c_str()) != 0) {
        FLastError = ErrText("symlink", errno);
        return false;
    }
    FLinkPath = linkPath;
    return true;
}

bool PtyMaster::ReadLine(PtyLine& line)
{
    termios tio {};
    if (FFd < 0 || ::tcgetattr(FFd, &tio) != 0)
        return false;
    switch (::cfgetospeed(&tio)) {
    case B1200: line.Baud = 1200; break;
    case B2400: line.Baud = 2400; break;
    case B4800: line.Baud = 4800; break;
    case B9600: line.Baud = 9600; break;
    case B19200: line.Baud = 19200; break;
    case B38400: line.Baud = 38400; break;
    default: line.Baud = -1; break;
    }
    switch (tio.c_cflag & CSIZE) {
    case CS5: line.DataBits = 5; break;
    case CS6: line.DataBits = 6; break;
    case CS7: line.DataBits = 7; break;
    default: line.DataBits = 8; break;
    }
    line.Parity = !(tio.c_cflag & PARENB) ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
    line.StopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    line.HardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
    line.SoftwareFlow = (tio.c_iflag & (IXON | IXOFF)) != 0;
    line.Raw = !(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(tio.c_oflag & OPOST)
               && !(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP));
    return true;
}
