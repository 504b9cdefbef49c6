#include "platform/termios_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "platform/error.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Bounds for things that must happen "soon": generous, the machine is shared.
constexpr auto kSoon = 5s;

// A pseudo-terminal: the test plays the far end on the master, the port opens the slave by path.
class Pty {
  public:
    Pty() {
        char name[256];
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        path_ = name;
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    ~Pty() {
        close_master();
        ::close(slave_);
    }
    const std::string& path() const { return path_; }
    int slave() const { return slave_; }

    void write(std::string_view data) const {
        ASSERT_EQ(::write(master_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    // Reads from the master until `count` bytes came or `timeout` passed.
    std::string read(std::size_t count, std::chrono::milliseconds timeout = 2000ms) const {
        std::string out;
        const auto deadline = Steady::now() + timeout;
        while (out.size() < count && Steady::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            ::poll(&p, 1, 50);
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }
    void close_master() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

std::optional<Error> error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

class TermiosPortTest : public ::testing::Test {
  protected:
    void open() {
        port.bind(pty.path());
        port.Settings("19200,o,8,1");
        port.PortOpen(true);
    }
    // Waits until `count` bytes are in the port's receive buffer (ptys deliver asynchronously).
    bool wait_for_count(int count) {
        const auto deadline = Steady::now() + kSoon;
        while (port.InBufferCount() < count && Steady::now() < deadline) port.wait_input(50ms);
        return port.InBufferCount() == count;
    }

    Pty pty;
    TermiosPort port;
};

// A pty keeps what it is told except the character size and the parity enable, which it forces
// to CS8 without parity; those are set by the same table as the rest.
struct LineCase {
    const char* settings;
    int handshaking;
    speed_t speed;
    tcflag_t cflag_set;
    tcflag_t cflag_clear;
    tcflag_t iflag_set;
    tcflag_t iflag_clear;
};

TEST_F(TermiosPortTest, SettingsReachTheLine) {
    constexpr tcflag_t kAlways = CLOCAL | CREAD;
    const LineCase cases[] = {
        {"19200,o,8,1", 0, B19200, kAlways | PARODD, CSTOPB | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
        {"9600,e,7,2", 2, B9600, kAlways | CSTOPB | CRTSCTS, PARODD | CMSPAR, 0, IXON | IXOFF},
        {"1200,m,5,1", 1, B1200, kAlways | PARODD | CMSPAR, CSTOPB | CRTSCTS, IXON | IXOFF, 0},
        {"38400,s,6,1.5", 3, B38400, kAlways | CMSPAR | CSTOPB | CRTSCTS, PARODD, IXON | IXOFF, 0},
        {"115200,n,8,1", 0, B115200, kAlways, PARODD | CMSPAR | CSTOPB | CRTSCTS, 0, IXON | IXOFF},
    };
    port.bind(pty.path());
    for (const auto& c : cases) {
        port.Settings(c.settings);
        port.Handshaking(c.handshaking);
        port.PortOpen(true);
        termios t{};
        ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.settings;
        EXPECT_EQ(cfgetispeed(&t), c.speed) << c.settings;
        EXPECT_EQ(t.c_cflag & c.cflag_set, c.cflag_set) << c.settings;
        EXPECT_EQ(t.c_cflag & c.cflag_clear, 0u) << c.settings;
        EXPECT_EQ(t.c_iflag & c.iflag_set, c.iflag_set) << c.settings;
        EXPECT_EQ(t.c_iflag & c.iflag_clear, 0u) << c.settings;
        // Raw: no echo, no line editing, no translation, reads never block.
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << c.settings;
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u) << c.settings;
        EXPECT_EQ(t.c_oflag & OPOST, 0u) << c.settings;
        EXPECT_EQ(t.c_cc[VMIN], 0) << c.settings;
        EXPECT_EQ(t.c_cc[VTIME], 0) << c.settings;
        port.PortOpen(false);
    }
}

TEST_F(TermiosPortTest, UnknownBaudRateIsRefusedAtOpen) {
    port.bind(pty.path());
    port.Settings("12345,n,8,1");
    const auto e = error_of([&] { port.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::InvalidPropertyValue);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(TermiosPortTest, BytesTravelUnchangedBothWays) {
    open();
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    port.Output(all);
    EXPECT_EQ(pty.read(all.size()), all);

    pty.write(all);
    ASSERT_TRUE(wait_for_count(256));
    EXPECT_EQ(port.Input(), all);
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_EQ(port.Input(), "");
}

TEST_F(TermiosPortTest, WaitInputTimesOutQuietly) {
    open();
    const auto start = Steady::now();
    EXPECT_FALSE(port.wait_input(150ms));
    const auto took = Steady::now() - start;
    EXPECT_GE(took, 140ms);
    EXPECT_LT(took, kSoon);
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(TermiosPortTest, WaitInputWakesWhenTheOtherSideWrites) {
    open();
    std::jthread writer([&] {
        std::this_thread::sleep_for(100ms);
        pty.write("\x06");
    });
    const auto start = Steady::now();
    EXPECT_TRUE(port.wait_input(30s));
    EXPECT_LT(Steady::now() - start, kSoon);
    EXPECT_EQ(port.Input(), "\x06");
}

TEST_F(TermiosPortTest, SecondPortOnTheSameLineIsBusy) {
    open();
    TermiosPort second;
    second.bind(pty.path());
    const auto e = error_of([&] { second.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::PortBusy);
    EXPECT_EQ(e->description(), "Port busy: " + pty.path() + " is in use by another program");
    EXPECT_FALSE(second.PortOpen());

    port.PortOpen(false);
    second.PortOpen(true);  // the lock went with the first port's close
    EXPECT_TRUE(second.PortOpen());
}

TEST_F(TermiosPortTest, MissingDeviceIsNamed) {
    port.bind("/dev/quarn7-no-such-tty");
    const auto e = error_of([&] { port.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::NoSuchDevice);
    EXPECT_STREQ(e->what(), "No such device: /dev/quarn7-no-such-tty");
}

TEST_F(TermiosPortTest, AFileThatIsNoTtyIsNoSerialDevice) {
    port.bind("/dev/null");
    const auto e = error_of([&] { port.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::NoSuchDevice);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(TermiosPortTest, LostDeviceEndsAWaitAndClosesThePort) {
    open();
    std::jthread unplug([&] {
        std::this_thread::sleep_for(100ms);
        pty.close_master();
    });
    const auto start = Steady::now();
    const auto e = error_of([&] { port.wait_input(30s); });
    EXPECT_LT(Steady::now() - start, kSoon);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::DeviceLost);
    EXPECT_EQ(e->description(), "Device lost: " + pty.path());
    EXPECT_FALSE(port.PortOpen());
    unplug.join();

    Pty replacement;
    port.bind(replacement.path());
    port.PortOpen(true);
    port.Output("A");
    EXPECT_EQ(replacement.read(1), "A");
}

TEST_F(TermiosPortTest, LostDeviceIsSeenByEveryOperation) {
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"InBufferCount", [&] { port.InBufferCount(); }},
        {"Input", [&] { port.Input(); }},
        {"Output", [&] { port.Output("x"); }},
        {"wait_input", [&] { port.wait_input(0ms); }},
    };
    for (const auto& [name, call] : calls) {
        Pty line;
        port.bind(line.path());
        port.PortOpen(true);
        line.close_master();
        const auto e = error_of(call);
        ASSERT_TRUE(e) << name;
        EXPECT_EQ(e->number(), ErrorNumber::DeviceLost) << name;
        EXPECT_FALSE(port.PortOpen()) << name;
        port.unbind();
    }
}

TEST_F(TermiosPortTest, PortNumbersMapToDevices) {
    EXPECT_EQ(TermiosPort::default_device(1), "/dev/ttyS0");
    EXPECT_EQ(TermiosPort::default_device(10), "/dev/ttyS9");
    port.CommPort(42);

    TermiosPort::map_port(42, pty.path());
    EXPECT_EQ(port.device_path(), pty.path());
    port.PortOpen(true);
    port.Output("B");
    EXPECT_EQ(pty.read(1), "B");
    port.PortOpen(false);

    port.bind("/dev/quarn7-bound");  // a bound path wins over the number
    EXPECT_EQ(port.device_path(), "/dev/quarn7-bound");
    port.unbind();
    EXPECT_EQ(port.device_path(), pty.path());

    TermiosPort::map_port(42, "");
    const auto e = error_of([&] { port.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "No such device: /dev/ttyS41");
}

TEST_F(TermiosPortTest, StaleInputIsFlushedOnOpen) {
    port.bind(pty.path());
    pty.write("old");
    std::this_thread::sleep_for(50ms);  // let the pty hand the bytes to the slave
    port.PortOpen(true);
    EXPECT_FALSE(port.wait_input(50ms));
    EXPECT_EQ(port.Input(), "");
}

TEST_F(TermiosPortTest, TraceCarriesDirectionAndBytes) {
    std::vector<TraceEvent> events;
    port.set_trace([&](const TraceEvent& e) { events.push_back(e); });
    open();
    const auto before = Steady::now();
    port.Output("\x02\x0D");
    pty.write("\x06");
    ASSERT_TRUE(wait_for_count(1));
    port.Input();

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].direction, TraceEvent::Direction::Out);
    EXPECT_EQ(events[0].bytes, "\x02\x0D");
    EXPECT_EQ(events[1].direction, TraceEvent::Direction::In);
    EXPECT_EQ(events[1].bytes, "\x06");
    EXPECT_GE(events[0].time, before);
    EXPECT_GE(events[1].time, events[0].time);
}

TEST(PortList, IsSortedAndNamesDevices) {
    const auto ports = list_ports();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].device.rfind("/dev/", 0), 0u) << ports[i].device;
        if (i > 0) {
            EXPECT_LT(ports[i - 1].device, ports[i].device);
        }
    }
}

}  // namespace
}  // namespace quarn7
