#include "serial/posix_line.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "serial/custom_baud.h"

namespace orvet {
namespace {

// How often a wait looks again for what poll() cannot see.
constexpr int kSampleMs = 20;

speed_t speedConstant(int baud) {
    switch (baud) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

// Errors after which the device is not coming back.
bool deviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

std::uint32_t modemBits(int tiocm) {
    std::uint32_t bits = 0;
    if (tiocm & TIOCM_CTS)
        bits |= MS_CTS_ON;
    if (tiocm & TIOCM_DSR)
        bits |= MS_DSR_ON;
    if (tiocm & TIOCM_RNG)
        bits |= MS_RING_ON;
    if (tiocm & TIOCM_CAR)
        bits |= MS_RLSD_ON;
    return bits;
}

// The events that a change of the modem status bits `changed` stands for.
std::uint32_t modemEvents(std::uint32_t changed) {
    std::uint32_t events = 0;
    if (changed & MS_CTS_ON)
        events |= EV_CTS;
    if (changed & MS_DSR_ON)
        events |= EV_DSR;
    if (changed & MS_RLSD_ON)
        events |= EV_RLSD;
    if (changed & MS_RING_ON)
        events |= EV_RING;
    return events;
}

int retryEintr(const auto& call) {
    int r;
    do {
        r = static_cast<int>(call());
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace

std::unique_ptr<SerialLine> PosixLine::open(const QString& path, int* error) {
    if (path.isEmpty()) {
        *error = ENOENT;
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = retryEintr(
        [&] { return ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    auto fail = [&](int code) -> std::unique_ptr<SerialLine> {
        ::close(fd);
        *error = code;
        return nullptr;
    };
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return fail(errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail(errno);

    std::unique_ptr<PosixLine> line(new PosixLine(fd, pipeFds[0], pipeFds[1]));
    int tiocm = 0;
    line->hasModemLines_ = ::ioctl(fd, TIOCMGET, &tiocm) == 0;
    if (line->hasModemLines_)
        line->lastModem_ = modemBits(tiocm);
    line->hasCounters_ = line->readCounters(&line->lastCounters_);
    const int applied = line->setSettings(LineSettings{});
    if (applied < 0) {
        *error = -applied;
        return nullptr;
    }
    return line;
}

PosixLine::PosixLine(int fd, int wakeRead, int wakeWrite)
    : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {
}

PosixLine::~PosixLine() {
    ::close(fd_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

LineSettings PosixLine::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

int PosixLine::setSettings(const LineSettings& s) {
    if (!acceptableLineSettings(s))
        return -EINVAL;
    if (lost_)
        return -EIO;
    termios old{};
    if (::tcgetattr(fd_, &old) != 0)
        return failure(errno);
    termios tio = old;
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    tio.c_iflag |= IGNBRK;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | HUPCL | sizeFlag(s.dataBits);
    switch (s.parity) {
        case paOdd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case paEven:
            tio.c_cflag |= PARENB;
            break;
        case paMark:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case paSpace:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        case paNone:
            break;
    }
    // A UART sends 1.5 stop bits after 5-bit characters and 2 after longer ones for one flag.
    if (s.stopBits != sb1_0)
        tio.c_cflag |= CSTOPB;
    if (s.control == ccSoft)
        tio.c_iflag |= IXON | IXOFF;
    if (s.control == ccHard)
        tio.c_cflag |= CRTSCTS;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedConstant(s.baudRate);
    ::cfsetispeed(&tio, speed != 0 ? speed : B38400);
    ::cfsetospeed(&tio, speed != 0 ? speed : B38400);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return failure(errno);
    if (speed == 0) {
        const int custom = setCustomBaud(fd_, s.baudRate);
        if (custom < 0) {
            ::tcsetattr(fd_, TCSANOW, &old);
            return failure(-custom);
        }
    }
    std::lock_guard lock(mutex_);
    settings_ = s;
    return 0;
}

int PosixLine::failure(int error) {
    if (deviceGone(error)) {
        std::lock_guard lock(mutex_);
        markLostLocked();
    }
    return -error;
}

void PosixLine::markLostLocked() {
    if (lost_)
        return;
    lost_ = true;
    latched_ |= EV_ERR | modemEvents(lastModem_);
    errors_ |= CE_IOE;
    lastModem_ = 0;
}

int PosixLine::queued() {
    if (lost_)
        return -EIO;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0)
        return failure(errno);
    return count;
}

int PosixLine::read(char* data, int max) {
    if (lost_)
        return -EIO;
    std::unique_lock lock(mutex_);
    const int r = retryEintr([&] { return ::read(fd_, data, static_cast<std::size_t>(max)); });
    if (r < 0) {
        const int error = errno;
        if (error == EAGAIN)
            return 0;
        if (deviceGone(error))
            markLostLocked();
        return -error;
    }
    consumed_ += static_cast<std::uint64_t>(r);
    if (std::find(data, data + r, settings_.eventChar) != data + r)
        latched_ |= EV_RXFLAG;
    return r;
}

int PosixLine::write(const char* data, int len) {
    if (lost_)
        return -EIO;
    const int r = retryEintr([&] { return ::write(fd_, data, static_cast<std::size_t>(len)); });
    if (r < 0)
        return errno == EAGAIN ? 0 : failure(errno);
    if (r > 0) {
        std::lock_guard lock(mutex_);
        txPending_ = true;
    }
    return r;
}

void PosixLine::waitWritable(int timeoutMs) {
    if (lost_) {
        ::poll(nullptr, 0, timeoutMs);
        return;
    }
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, timeoutMs) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        std::lock_guard lock(mutex_);
        markLostLocked();
    }
}

int PosixLine::outQueued() {
    if (lost_)
        return -EIO;
    int count = 0;
    if (::ioctl(fd_, TIOCOUTQ, &count) != 0)
        return failure(errno);
    return count;
}

int PosixLine::purge(bool input, bool output) {
    if (lost_)
        return -EIO;
    if (!input && !output)
        return 0;
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    std::lock_guard lock(mutex_);
    if (::tcflush(fd_, which) != 0) {
        const int error = errno;
        if (deviceGone(error))
            markLostLocked();
        return -error;
    }
    // What was discarded never arrives, so it must not count as arrival later.
    if (input)
        seenArrived_ = consumed_;
    return 0;
}

int PosixLine::setModemLine(int bit, bool on) {
    if (lost_)
        return -EIO;
    if (!hasModemLines_)
        return 0;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0)
        return failure(errno);
    return 0;
}

int PosixLine::setDTR(bool on) {
    return setModemLine(TIOCM_DTR, on);
}

int PosixLine::setRTS(bool on) {
    return setModemLine(TIOCM_RTS, on);
}

int PosixLine::setBreak(bool on) {
    if (lost_)
        return -EIO;
    if (::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) != 0)
        return failure(errno);
    return 0;
}

int PosixLine::modemStatus() {
    if (lost_ || !hasModemLines_)
        return 0;
    int tiocm = 0;
    if (::ioctl(fd_, TIOCMGET, &tiocm) != 0) {
        const int error = failure(errno);
        return lost_ ? 0 : error;
    }
    return static_cast<int>(modemBits(tiocm));
}

bool PosixLine::readCounters(Counters* counters) const {
    serial_icounter_struct icount{};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0)
        return false;
    counters->breaks = static_cast<std::uint32_t>(icount.brk);
    counters->frame = static_cast<std::uint32_t>(icount.frame);
    counters->overrun = static_cast<std::uint32_t>(icount.overrun + icount.buf_overrun);
    counters->parity = static_cast<std::uint32_t>(icount.parity);
    return true;
}

int PosixLine::sampleLocked() {
    if (lost_)
        return 0;
    int queuedNow = 0;
    if (::ioctl(fd_, FIONREAD, &queuedNow) != 0) {
        if (deviceGone(errno))
            markLostLocked();
        return 0;
    }
    const std::uint64_t arrived = consumed_ + static_cast<std::uint64_t>(queuedNow);
    if (arrived > seenArrived_)
        latched_ |= EV_RXCHAR;
    seenArrived_ = arrived;

    if (hasModemLines_) {
        int tiocm = 0;
        if (::ioctl(fd_, TIOCMGET, &tiocm) == 0) {
            const std::uint32_t bits = modemBits(tiocm);
            latched_ |= modemEvents(bits ^ lastModem_);
            lastModem_ = bits;
        } else if (deviceGone(errno)) {
            markLostLocked();
            return 0;
        }
    }
    Counters now;
    if (hasCounters_ && readCounters(&now)) {
        std::uint32_t errors = 0;
        if (now.frame != lastCounters_.frame)
            errors |= CE_FRAME;
        if (now.overrun != lastCounters_.overrun)
            errors |= CE_OVERRUN;
        if (now.parity != lastCounters_.parity)
            errors |= CE_RXPARITY;
        if (now.breaks != lastCounters_.breaks)
            latched_ |= EV_BREAK;
        if (errors != 0) {
            latched_ |= EV_ERR;
            errors_ |= errors;
        }
        lastCounters_ = now;
    }
    if (txPending_) {
        int outCount = 0;
        if (::ioctl(fd_, TIOCOUTQ, &outCount) == 0 && outCount == 0) {
            latched_ |= EV_TXEMPTY;
            txPending_ = false;
        }
    }
    return queuedNow;
}

bool PosixLine::drainWake() {
    char sink[64];
    bool any = false;
    while (::read(wakeRead_, sink, sizeof sink) > 0)
        any = true;
    return any;
}

LineEvents PosixLine::waitEvents(std::uint32_t mask, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    bool watchInput = true;
    for (;;) {
        bool sampling = false;
        bool inputPending = false;
        {
            std::lock_guard lock(mutex_);
            const int queuedNow = sampleLocked();
            if (const std::uint32_t hit = latched_ & mask) {
                LineEvents taken{hit, (hit & EV_ERR) ? errors_ : 0};
                latched_ &= ~hit;
                if (hit & EV_ERR)
                    errors_ = 0;
                return taken;
            }
            inputPending = queuedNow > 0;
            sampling = !lost_ && (hasModemLines_ || hasCounters_ || txPending_ || inputPending);
        }
        if (timeoutMs == 0)
            return {};
        int waitMs = -1;
        if (timeoutMs > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return {};
            waitMs = static_cast<int>(left.count());
        }
        // Bytes already queued keep the descriptor readable; then new ones are seen by looking.
        const bool pollDevice = watchInput && !lost_ && !inputPending;
        if (!lost_ && (sampling || !pollDevice)) {
            waitMs = waitMs < 0 ? kSampleMs : std::min(waitMs, kSampleMs);
        }
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {fd_, POLLIN, 0}};
        const int ready = ::poll(fds, pollDevice ? 2 : 1, waitMs);
        watchInput = true;
        if (ready < 0 && errno != EINTR)
            ::poll(nullptr, 0, kSampleMs);
        if (fds[0].revents & POLLIN) {
            drainWake();
            return {};
        }
        if (pollDevice && fds[1].revents != 0) {
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                std::lock_guard lock(mutex_);
                markLostLocked();
            } else {
                // Readable: the next look finds the bytes; if it does not, look by time once.
                watchInput = false;
            }
        }
    }
}

void PosixLine::interruptWait() {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeWrite_, &byte, 1);
}

}  // namespace orvet
