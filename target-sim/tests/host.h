#pragma once
// The program's side of the line in the simulator's tests: the far end of the pty, driven with
// plain POSIX calls, as a serial adapter would be.

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace targetsim::test {

using Bytes = std::vector<uint8_t>;
using SteadyClock = std::chrono::steady_clock;

// Generous: a reply that does not come within this is a failure, not a slow machine.
inline constexpr int kReplyTimeoutMs = 5000;

class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~Host() { Close(); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool ok() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    // Writes every byte (waits while the line is full).
    bool Send(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN) return false;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, kReplyTimeoutMs) <= 0) return false;
        }
        return true;
    }
    bool Send(uint8_t b) { return Send(Bytes{b}); }

    // Reads until n bytes came or timeoutMs passed; returns what came.
    Bytes Read(size_t n, int timeoutMs = kReplyTimeoutMs) {
        Bytes got;
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n) {
            uint8_t buf[4096];
            ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buf, buf + r);
                continue;
            }
            if (r == 0 || (r < 0 && errno != EAGAIN)) {
                hangUp_ = true;
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - SteadyClock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            int pr = ::poll(&p, 1, int(left.count()));
            if (pr > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) {
                hangUp_ = true;
                break;
            }
        }
        return got;
    }
    // Everything that arrives within ms (for checks that nothing more comes).
    Bytes ReadFor(int ms) { return Read(SIZE_MAX, ms); }
    bool HungUp() const { return hangUp_; }

private:
    int fd_ = -1;
    bool hangUp_ = false;
};

inline Bytes Str(const char* s) { return Bytes(s, s + std::strlen(s)); }

}  // namespace targetsim::test
