#include "platform/serialport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B9600;
    }
}

std::string ErrText(const char* step, int err)
{
    return std::string(step) + ": " + std::strerror(err);
}

}  // namespace

std::string GetEnvString(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

SerialPort::~SerialPort()
{
    Close();
}

bool SerialPort::Open(const std::string& path, const Settings& settings)
{
    Close();
    FHungUp = false;
    FLastError.clear();
    if (path.empty()) {
        FLastError = "no device path";
        return false;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FLastError = ErrText("open", errno);
        return false;
    }
    auto fail = [&](const char* step) {
        FLastError = ErrText(step, errno);
        ::close(fd);
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail("fstat");
    if (!S_ISCHR(st.st_mode)) {
        errno = ENOTTY;
        return fail("not a character device");
    }
    // Exclusive like the original port: a second opener gets EBUSY.
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail("TIOCEXCL");

    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);  // binary: no stripping, no replacement, no break or parity marks
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
    switch (settings.ParityMode) {
    case Parity::None: break;
    case Parity::Even: tio.c_cflag |= PARENB; tio.c_iflag |= INPCK; break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; tio.c_iflag |= INPCK; break;
    }
    if (settings.Stop != StopBits::One)
        tio.c_cflag |= CSTOPB;
    // Reads return at once with whatever is buffered.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t sp = SpeedOf(settings.Baud);
    if (::cfsetispeed(&tio, sp) != 0 || ::cfsetospeed(&tio, sp) != 0)
        return fail("cfsetspeed");
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    // DTR and RTS driven on; a pty has no modem lines, so failure here is not fatal.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
    ::tcflush(fd, TCIOFLUSH);
    FFd = fd;
    return true;
}

void SerialPort::Close()
{
    if (FFd >= 0) {
        // Give up exclusivity first: the device may stay open elsewhere (a simulator holding its
        // pty), and our next open must not find it locked by our own old handle.
        (void)::ioctl(FFd, TIOCNXCL);
        ::close(FFd);
        FFd = -1;
    }
}

int SerialPort::Read(uint8_t* buffer, int count)
{
    if (FFd < 0 || count <= 0)
        return FFd < 0 ? -1 : 0;
    ssize_t n = ::read(FFd, buffer, static_cast<size_t>(count));
    if (n > 0)
        return static_cast<int>(n);
    if (n == 0) {
        // With VMIN = VTIME = 0 an empty line also reads 0: only a hang-up report means gone.
        pollfd p{FFd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            FHungUp = true;
        return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    if (errno == EIO || errno == ENXIO || errno == ENODEV)
        FHungUp = true;
    FLastError = ErrText("read", errno);
    return -1;
}

int SerialPort::Write(const uint8_t* buffer, int count)
{
    if (FFd < 0)
        return -1;
    if (count <= 0)
        return 0;
    ssize_t n = ::write(FFd, buffer, static_cast<size_t>(count));
    if (n >= 0)
        return static_cast<int>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    if (errno == EIO || errno == ENXIO || errno == ENODEV)
        FHungUp = true;
    FLastError = ErrText("write", errno);
    return -1;
}
