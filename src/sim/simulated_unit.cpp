#include "quarn7/simulated_unit.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#include "protocol/frame.h"
#include "sim/frame_reader.h"
#include "sim/responder.h"

namespace quarn7::sim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr long kBaud = 19200;
constexpr long kBitsPerByte = 11;  // start, 8 data, parity, stop

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

timespec to_timespec(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(d, {})).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

std::chrono::nanoseconds line_time(std::size_t bytes) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * kBitsPerByte *
                                    1'000'000'000 / kBaud);
}

struct SimulatedUnit::Impl {
    explicit Impl(Builder options);
    ~Impl();

    void open_line();  // throws std::system_error
    void run();
    void read_line(FrameReader& reader);
    void record_noise(FrameReader& reader);
    void handle(const ReceivedFrame& frame);
    // Sends `answer` starting at `start`; false when stopped or hung up on the way.
    bool send(std::string_view answer, Clock::time_point start);
    void let_host_read();
    // Waits until `deadline` unless stopped or hung up (then false).
    bool wait_until(Clock::time_point deadline);
    void wake() const;
    void drain_wake() const;
    bool interrupted() const;
    void hang_up();

    Builder options;
    int master = -1;
    int slave = -1;  // held open so that a host closing its end never hangs up the line
    int wake_fd = -1;
    std::string pty_path;
    std::string device_path;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    Responder responder;
    Faults faults;
    std::vector<LoggedFrame> log;
    std::string noise;
    bool stopping = false;
    bool hang_up_requested = false;
    bool line_open = true;
    std::thread thread;
};

SimulatedUnit::Impl::Impl(Builder builder) : options(std::move(builder)), faults(options.faults_) {
    try {
        open_line();
    } catch (...) {
        close_fd(wake_fd);
        close_fd(slave);
        close_fd(master);
        throw;
    }
    thread = std::thread([this] { run(); });
}

void SimulatedUnit::Impl::open_line() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) fail("posix_openpt");
    std::array<char, 128> name{};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name.data(), name.size()) != 0) {
        fail("pseudo-terminal");
    }
    pty_path = name.data();
    slave = ::open(pty_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) fail(pty_path.c_str());
    // Raw: no echo of the answers, no CR/NL translation of frame bytes.
    termios tio{};
    if (tcgetattr(slave, &tio) != 0) fail(pty_path.c_str());
    cfmakeraw(&tio);
    if (tcsetattr(slave, TCSANOW, &tio) != 0) fail(pty_path.c_str());
    if (fcntl(master, F_SETFL, O_NONBLOCK) != 0) fail("O_NONBLOCK");
    wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_fd < 0) fail("eventfd");
    device_path = pty_path;
    if (options.link_.empty()) return;
    std::error_code ec;
    // A link left behind by an earlier run that did not end cleanly.
    if (std::filesystem::is_symlink(options.link_, ec)) std::filesystem::remove(options.link_, ec);
    std::filesystem::create_symlink(pty_path, options.link_, ec);
    if (ec) throw std::system_error(ec, "link " + options.link_);
    device_path = options.link_;
}

SimulatedUnit::Impl::~Impl() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake();
    thread.join();
    close_fd(master);
    close_fd(slave);
    close_fd(wake_fd);
    if (!options.link_.empty()) {
        std::error_code ec;
        std::filesystem::remove(options.link_, ec);
    }
}

void SimulatedUnit::Impl::wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_fd, &one, sizeof one);
}

void SimulatedUnit::Impl::drain_wake() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto n = ::read(wake_fd, &count, sizeof count);
}

bool SimulatedUnit::Impl::interrupted() const {
    std::lock_guard lock(mutex);
    return stopping || hang_up_requested || faults.close_after_frames == 0;
}

void SimulatedUnit::Impl::hang_up() {
    std::lock_guard lock(mutex);
    // Closing both ends is what a host sees as the device going away.
    close_fd(master);
    close_fd(slave);
    line_open = false;
    changed.notify_all();
}

void SimulatedUnit::Impl::run() {
    const Clock::duration byte_time = options.paced_ ? line_time(1) : Clock::duration::zero();
    FrameReader reader(byte_time);
    for (;;) {
        if (interrupted()) {
            std::unique_lock lock(mutex);
            if (stopping) return;
            if (line_open) {
                lock.unlock();
                hang_up();
                reader = FrameReader(byte_time);
            }
        }
        std::array<pollfd, 2> fds{{{wake_fd, POLLIN, 0}, {master, POLLIN, 0}}};
        const nfds_t count = master >= 0 ? 2 : 1;
        const auto deadline = reader.idle_deadline();
        const timespec timeout = to_timespec(deadline ? *deadline - Clock::now() : 0ns);
        if (ppoll(fds.data(), count, deadline ? &timeout : nullptr, nullptr) < 0 &&
            errno != EINTR) {
            hang_up();
            return;
        }
        if (fds[0].revents & POLLIN) drain_wake();
        if (count == 2 && (fds[1].revents & POLLIN)) read_line(reader);
        while (!interrupted()) {
            const auto frame = reader.next(Clock::now());
            record_noise(reader);  // before the frame, so its log follows the noise it came after
            if (!frame) break;
            handle(*frame);
        }
    }
}

void SimulatedUnit::Impl::record_noise(FrameReader& reader) {
    const std::string skipped = reader.take_noise();
    if (skipped.empty()) return;
    {
        std::lock_guard lock(mutex);
        noise += skipped;
    }
    if (options.on_noise_) options.on_noise_(Clock::now(), skipped);
}

void SimulatedUnit::Impl::read_line(FrameReader& reader) {
    std::array<char, 512> buffer{};
    for (;;) {
        const ssize_t n = ::read(master, buffer.data(), buffer.size());
        if (n <= 0) return;
        reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), Clock::now());
    }
}

void SimulatedUnit::Impl::handle(const ReceivedFrame& frame) {
    std::string answer;
    Clock::duration extra{};
    {
        std::lock_guard lock(mutex);
        if (faults.drop_first_frames > 0) {
            --faults.drop_first_frames;
        } else if (faults.refuse) {
            answer = wire::NAK;
        } else if (!faults.silent) {
            answer = responder.answer(frame.bytes);
            const bool read_reply =
                frame.bytes[wire::kKindAt] == wire::Read && answer[0] != wire::NAK;
            if (read_reply && faults.truncate_replies_to >= 0 &&
                answer.size() > static_cast<std::size_t>(faults.truncate_replies_to)) {
                answer.resize(static_cast<std::size_t>(faults.truncate_replies_to));
            }
        }
        if (!answer.empty()) answer = faults.garbage_prefix + answer;
        extra = faults.delay + (options.paced_ ? options.turnaround_ : Clock::duration::zero());
    }
    // Paced, the answer starts after the frame's last byte has crossed the line; unpaced, at once.
    const Clock::time_point start = (options.paced_ ? frame.received : Clock::now()) + extra;
    if (!answer.empty() && !send(answer, start)) answer.clear();

    bool last_before_hang_up = false;
    LoggedFrame entry{frame.received, frame.bytes, answer};
    {
        std::lock_guard lock(mutex);
        if (faults.close_after_frames > 0) {
            last_before_hang_up = --faults.close_after_frames == 0;
        }
        if (options.log_) log.push_back(entry);
        changed.notify_all();
    }
    if (options.on_frame_) options.on_frame_(entry);
    if (last_before_hang_up && !answer.empty()) let_host_read();
}

void SimulatedUnit::Impl::let_host_read() {
    // A hang-up discards what the host has not read yet. The answer shows up in the host's input
    // queue a moment after it was written; wait until the host has taken it, but not for ever.
    const auto deadline = Clock::now() + 100ms;
    bool arrived = false;
    while (Clock::now() < deadline) {
        int waiting = 0;
        if (::ioctl(slave, FIONREAD, &waiting) != 0) return;
        if (waiting > 0) {
            arrived = true;
        } else if (arrived) {
            return;
        }
        {
            std::lock_guard lock(mutex);
            if (stopping || hang_up_requested) return;
        }
        pollfd fd{wake_fd, POLLIN, 0};
        const timespec step = to_timespec(1ms);
        if (ppoll(&fd, 1, &step, nullptr) > 0) drain_wake();
    }
}

bool SimulatedUnit::Impl::send(std::string_view answer, Clock::time_point start) {
    if (!options.paced_) {
        if (!wait_until(start)) return false;
        [[maybe_unused]] const auto n = ::write(master, answer.data(), answer.size());
        return true;
    }
    // Each byte is written when its last bit would have arrived, against absolute deadlines so
    // that late wake-ups do not add up.
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (!wait_until(start + line_time(i + 1))) return false;
        [[maybe_unused]] const auto n = ::write(master, &answer[i], 1);
    }
    return true;
}

bool SimulatedUnit::Impl::wait_until(Clock::time_point deadline) {
    for (;;) {
        if (interrupted()) return false;
        const auto now = Clock::now();
        if (now >= deadline) return true;
        pollfd fd{wake_fd, POLLIN, 0};
        const timespec timeout = to_timespec(deadline - now);
        if (ppoll(&fd, 1, &timeout, nullptr) > 0) drain_wake();
    }
}

// --- Builder ---

SimulatedUnit::Builder& SimulatedUnit::Builder::paced(bool on) {
    paced_ = on;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::turnaround(std::chrono::microseconds t) {
    turnaround_ = t;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::faults(Faults f) {
    faults_ = std::move(f);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::link(std::string path) {
    link_ = std::move(path);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::log_frames(bool on) {
    log_ = on;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::on_frame(
    std::function<void(const LoggedFrame&)> observer) {
    on_frame_ = std::move(observer);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::on_noise(
    std::function<void(std::chrono::steady_clock::time_point, const std::string&)> observer) {
    on_noise_ = std::move(observer);
    return *this;
}
std::unique_ptr<SimulatedUnit> SimulatedUnit::Builder::build() {
    return std::unique_ptr<SimulatedUnit>(new SimulatedUnit(std::make_unique<Impl>(*this)));
}

// --- SimulatedUnit ---

SimulatedUnit::SimulatedUnit(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SimulatedUnit::~SimulatedUnit() = default;

const std::string& SimulatedUnit::device_path() const {
    return impl_->device_path;
}

void SimulatedUnit::set_faults(const Faults& faults) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->faults = faults;
    }
    impl_->wake();
}

Faults SimulatedUnit::faults() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->faults;
}

std::vector<LoggedFrame> SimulatedUnit::frames() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

std::string SimulatedUnit::noise() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->noise;
}

void SimulatedUnit::clear_frames() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
    impl_->noise.clear();
}

UnitState SimulatedUnit::state() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->responder.state();
}

void SimulatedUnit::set_tilt(std::uint16_t digital, std::uint16_t analogue) {
    std::lock_guard lock(impl_->mutex);
    impl_->responder.set_tilt(digital, analogue);
}

void SimulatedUnit::set_item_data(int item, std::string data) {
    std::lock_guard lock(impl_->mutex);
    impl_->responder.set_item_data(item, std::move(data));
}

void SimulatedUnit::close_line() {
    std::unique_lock lock(impl_->mutex);
    impl_->hang_up_requested = true;
    impl_->wake();
    impl_->changed.wait(lock, [&] { return !impl_->line_open; });
}

bool SimulatedUnit::wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->log.size() >= count; });
}

}  // namespace quarn7::sim
