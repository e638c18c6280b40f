#include "target_sim.h"

#include "engine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace targetsim {

using detail::Clock;
using detail::Engine;

namespace {

using Ns = std::chrono::nanoseconds;

// How long the thread rests while the far end is hung up (nobody has it open).
constexpr Ns kHangupRetry = std::chrono::milliseconds(20);
// Largest read or write per turn of the loop.
constexpr size_t kChunk = 4096;
// Bits on the line per byte: start bit, 8 data bits, stop bit.
constexpr int64_t kBitsPerByte = 10;

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Close();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Paces one direction of the line at baud/10 bytes per second. Byte k of a burst passes no
// sooner than k byte times after the burst began.
class Pacer {
public:
    explicit Pacer(uint32_t baud) : byteTime_(baud ? Ns(kBitsPerByte * 1'000'000'000LL / baud) : Ns(0)) {}
    bool Unlimited() const { return byteTime_.count() == 0; }
    // Bytes that may pass at `now`; after a pause, one at once.
    size_t Allowed(Clock::time_point now) const {
        if (Unlimited()) return kChunk;
        if (idle_) return 1;
        if (now < next_) return 0;
        return std::min<size_t>(kChunk, 1 + size_t((now - next_) / byteTime_));
    }
    // `n` bytes passed at `now`; `drained` when fewer passed than were allowed (a pause begins).
    void Passed(size_t n, bool drained, Clock::time_point now) {
        if (idle_) next_ = std::max(next_, now);
        idle_ = drained;
        next_ += byteTime_ * int64_t(n);
    }
    Clock::time_point Next() const { return next_; }

private:
    Ns byteTime_;
    Clock::time_point next_{};
    bool idle_ = true;
};

}  // namespace

struct Controller::Impl {
    explicit Impl(Options o) : options(std::move(o)), engine(options), rx(options.baud), tx(options.baud) {}

    Options options;
    mutable std::mutex mutex;
    mutable std::condition_variable receivedChanged;
    Engine engine;                    // guarded by mutex
    std::vector<uint8_t> received;    // guarded by mutex
    long receivedTotal = 0;           // guarded by mutex (all bytes, ClearReceived or not)

    Fd master;
    Fd slave;                         // kept open so that the far end survives the program's close
    Fd wake;                          // eventfd: Stop
    std::string slavePath;
    std::string linkPath;
    std::thread thread;
    std::atomic<bool> stop{false};
    Pacer rx, tx;

    void Run();
    void Wake() {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake.get(), &one, sizeof one);
    }
};

Controller::Controller(Options options) : impl_(new Impl(std::move(options))) {}

Controller::~Controller() {
    Stop();
    delete impl_;
}

bool Controller::Start() {
    Impl& d = *impl_;
    if (d.thread.joinable()) return true;
    Fd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0)
        return false;
    char name[128];
    if (::ptsname_r(master.get(), name, sizeof name) != 0) return false;
    Fd slave(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!slave.valid()) return false;
    // Raw line, like a serial adapter: every byte passes unchanged, nothing is echoed.
    termios t{};
    if (::tcgetattr(slave.get(), &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::tcsetattr(slave.get(), TCSANOW, &t);
    }
    Fd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wake.valid()) return false;
    if (!d.options.linkPath.empty()) {
        ::unlink(d.options.linkPath.c_str());
        if (::symlink(name, d.options.linkPath.c_str()) != 0) return false;
        d.linkPath = d.options.linkPath;
    }
    d.slavePath = name;
    d.master = std::move(master);
    d.slave = std::move(slave);
    d.wake = std::move(wake);
    d.stop = false;
    d.thread = std::thread([&d] { d.Run(); });
    return true;
}

void Controller::Stop() {
    Impl& d = *impl_;
    if (d.thread.joinable()) {
        d.stop = true;
        d.Wake();
        d.thread.join();
    }
    d.master.Close();
    d.slave.Close();
    d.wake.Close();
    if (!d.linkPath.empty()) {
        ::unlink(d.linkPath.c_str());
        d.linkPath.clear();
    }
}

std::string Controller::DevicePath() const {
    return impl_->options.linkPath.empty() ? impl_->slavePath : impl_->options.linkPath;
}

void Controller::Impl::Run() {
    std::vector<uint8_t> buf(kChunk);
    bool hungUp = false;    // the fault switch closed our end
    bool farEndGone = false;
    auto rest = [this] {    // nobody holds the far end: wait for the next open without spinning
        pollfd w{wake.get(), POLLIN, 0};
        const timespec ts{0, long(kHangupRetry.count())};
        ::ppoll(&w, 1, &ts, nullptr);
    };
    while (!stop) {
        Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = Clock::time_point::max();
        bool wantWrite = false;

        // Send the replies that are due, as fast as the line rate lets them through.
        {
            std::lock_guard lock(mutex);
            engine.Tick(now);
            wakeAt = std::min(wakeAt, engine.NextTimer());
            auto& out = engine.Pending();
            if (hungUp) out.clear();
            if (!out.empty() && out.front().due > now) wakeAt = std::min(wakeAt, out.front().due);
            if (!out.empty() && out.front().due <= now) {
                const size_t writable = tx.Allowed(now);
                size_t n = 0;
                while (n < writable && n < out.size() && out[n].due <= now) {
                    buf[n] = out[n].value;
                    ++n;
                }
                if (n == 0) {
                    wakeAt = std::min(wakeAt, tx.Next());
                } else {
                    const ssize_t w = ::write(master.get(), buf.data(), n);
                    if (w > 0) {
                        out.erase(out.begin(), out.begin() + w);
                        tx.Passed(size_t(w), out.empty() || out.front().due > now, now);
                        if (!out.empty()) wakeAt = std::min(wakeAt, tx.Unlimited() ? now : tx.Next());
                    } else if (w < 0 && errno == EAGAIN) {
                        wantWrite = true;
                    } else if (w < 0 && errno == EIO) {
                        farEndGone = true;
                    }
                }
            }
        }

        // Receive, no faster than the line rate allows.
        bool wantRead = false;
        if (!hungUp) {
            const size_t readable = rx.Allowed(now);
            if (readable == 0) {
                wakeAt = std::min(wakeAt, rx.Next());
            } else {
                const ssize_t r = ::read(master.get(), buf.data(), readable);
                if (r > 0) {
                    farEndGone = false;
                    const Clock::time_point at = Clock::now();
                    rx.Passed(size_t(r), size_t(r) < readable, at);
                    {
                        std::lock_guard lock(mutex);
                        for (ssize_t i = 0; i < r && !hungUp; ++i) {
                            received.push_back(buf[size_t(i)]);
                            ++receivedTotal;
                            engine.Feed(buf[size_t(i)], at);
                            hungUp = options.hangUpAfterBytes >= 0 &&
                                     receivedTotal >= options.hangUpAfterBytes;
                        }
                    }
                    receivedChanged.notify_all();
                    if (hungUp) {
                        // The line drops: close our end, the program sees a hang-up.
                        if (options.onEvent) options.onEvent("hang-up (fault on purpose)");
                        slave.Close();
                        master.Close();
                    }
                    continue;  // replies may be due, more input may wait
                }
                if (r < 0 && errno == EAGAIN) {
                    rx.Passed(0, true, now);
                    wantRead = true;
                } else if (r < 0 && errno == EIO) {
                    farEndGone = true;
                }
            }
        }
        if (farEndGone) {
            rest();
            farEndGone = false;
            continue;
        }

        pollfd fds[2] = {{wake.get(), POLLIN, 0}, {hungUp ? -1 : master.get(), 0, 0}};
        if (wantRead) fds[1].events |= POLLIN;
        if (wantWrite) fds[1].events |= POLLOUT;
        timespec ts{};
        timespec* timeout = nullptr;
        if (wakeAt != Clock::time_point::max()) {
            const Ns left = std::max(Ns(0), wakeAt - Clock::now());
            ts.tv_sec = time_t(left.count() / 1'000'000'000);
            ts.tv_nsec = long(left.count() % 1'000'000'000);
            timeout = &ts;
        }
        if (::ppoll(fds, 2, timeout, nullptr) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t r = ::read(wake.get(), &v, sizeof v);
        }
        if ((fds[1].revents & POLLHUP) && !(fds[1].revents & POLLIN)) rest();
    }
}

std::vector<uint8_t> Controller::Received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void Controller::ClearReceived() {
    std::lock_guard lock(impl_->mutex);
    impl_->received.clear();
}

bool Controller::WaitReceived(size_t n, int timeoutMs) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->receivedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                           [&] { return impl_->received.size() >= n; });
}

std::vector<uint8_t> Controller::Flash(Memory m) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->engine.FlashOf(m);
}

std::vector<uint8_t> Controller::UploaderFlash() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->engine.UploaderFlash();
}

namespace {
std::vector<uint8_t> Slice(const std::vector<uint8_t>& flash, uint32_t base, uint32_t address,
                           uint32_t length) {
    const uint64_t end = std::min<uint64_t>(uint64_t(address) + length, uint64_t(base) + flash.size());
    if (address < base || address >= end) return {};
    return {flash.begin() + (address - base), flash.begin() + long(end - base)};
}
}  // namespace

std::vector<uint8_t> Controller::Read(Memory m, uint32_t address, uint32_t length) const {
    std::lock_guard lock(impl_->mutex);
    return Slice(impl_->engine.FlashOf(m), LayoutOf(m).base, address, length);
}

std::vector<uint8_t> Controller::ReadUploader(uint32_t address, uint32_t length) const {
    std::lock_guard lock(impl_->mutex);
    return Slice(impl_->engine.UploaderFlash(), UploaderFlashLayout().base, address, length);
}

Stats Controller::GetStats() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->engine.GetStats();
}

void Controller::Reset() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->engine.Reset();
    }
    if (impl_->wake.valid()) impl_->Wake();
}

uint32_t Controller::Baud() const { return impl_->options.baud; }

}  // namespace targetsim
