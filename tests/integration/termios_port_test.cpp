// The termios port over a pseudo-terminal: line settings, raw bytes both ways (0xFF too, which
// the driver doubles under the parity marks), waits, exclusive open, named errors, lost devices.
#include "quarn7/termios_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "support/errors.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

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
    // Reads from the master until `count` bytes came or a while passed.
    std::string read(std::size_t count) const {
        std::string out;
        const auto deadline = Steady::now() + kSoon;
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

class TermiosPortTest : public ::testing::Test {
protected:
    void open() {
        port.bind(pty.path());
        port.Settings("19200,o,8,1");
        port.PortOpen(true);
    }
    // Waits until `count` bytes are in the port's receive buffer (ptys deliver asynchronously).
    int wait_for_count(int count) {
        const auto deadline = Steady::now() + kSoon;
        while (port.InBufferCount() < count && Steady::now() < deadline) port.wait_input(50ms);
        return port.InBufferCount();
    }

    Pty pty;
    TermiosPort port;
};

// A pty keeps what it is told except the character size and the parity enable, which it forces
// to CS8 without parity (the port opens all the same, again and again); those are set by the
// same table as the rest.
TEST_F(TermiosPortTest, SettingsReachTheLine) {
    struct LineCase {
        const char* settings;
        int handshaking;
        speed_t speed;
        tcflag_t cflag_set;
        tcflag_t cflag_clear;
        tcflag_t iflag_set;
        tcflag_t iflag_clear;
    };
    constexpr tcflag_t kAlways = CLOCAL | CREAD;
    const LineCase cases[] = {
        {"19200,o,8,1", 0, B19200, kAlways | PARODD, CSTOPB | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
        {"9600,e,7,2", 2, B9600, kAlways | CSTOPB | CRTSCTS, PARODD | CMSPAR, 0, IXON | IXOFF},
        {"1200,m,5,1", 1, B1200, kAlways | PARODD | CMSPAR, CSTOPB | CRTSCTS, IXON | IXOFF, 0},
        {"38400,s,6,1.5", 3, B38400, kAlways | CMSPAR | CSTOPB | CRTSCTS, PARODD, IXON | IXOFF, 0},
        {"115200,n,8,1", 0, B115200, kAlways, PARODD | CMSPAR | CSTOPB | CRTSCTS, 0, IXON | IXOFF},
        {"19200,o,8,1", 0, B19200, kAlways | PARODD, CSTOPB | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
    };
    port.bind(pty.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        port.Settings(c.settings);
        port.Handshaking(c.handshaking);
        port.PortOpen(true);
        termios t{};
        ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & c.cflag_set, c.cflag_set);
        EXPECT_EQ(t.c_cflag & c.cflag_clear, 0u);
        EXPECT_EQ(t.c_iflag & c.iflag_set, c.iflag_set);
        EXPECT_EQ(t.c_iflag & c.iflag_clear, 0u);
        // Raw: no echo, no line editing, no translation, reads never block; parity checked and
        // damaged bytes marked, not dropped or stripped.
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IGNPAR | IGNBRK | BRKINT), 0u);
        EXPECT_EQ(t.c_iflag & (INPCK | PARMRK), INPCK | PARMRK);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        port.PortOpen(false);
    }
    port.Settings("12345,n,8,1");
    EXPECT_EQ(error_of([&] { port.PortOpen(true); }), ErrorNumber::InvalidPropertyValue);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(TermiosPortTest, BytesTravelUnchangedBothWays) {
    open();
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    port.Output(all);
    EXPECT_EQ(pty.read(all.size()), all);

    pty.write(all + all);
    ASSERT_EQ(wait_for_count(512), 512);
    EXPECT_EQ(port.Input(), all + all);
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_EQ(port.Input(), "");
    EXPECT_EQ(port.line_errors(), 0u);

    // Bytes counted but not yet taken survive a wait, an FF among them.
    pty.write(bytes("06 FF"));
    EXPECT_EQ(wait_for_count(2), 2);
    EXPECT_TRUE(port.wait_input(0ms));
    pty.write(bytes("0D"));
    EXPECT_EQ(wait_for_count(3), 3);
    EXPECT_EQ(hex(port.Input()), "06 FF 0D");
}

TEST_F(TermiosPortTest, WaitInputTimesOutQuietlyOrWakesWhenTheOtherSideWrites) {
    open();
    auto start = Steady::now();
    EXPECT_FALSE(port.wait_input(150ms));
    EXPECT_GE(Steady::now() - start, 140ms);
    EXPECT_TRUE(port.PortOpen());

    std::jthread writer([&] {
        std::this_thread::sleep_for(100ms);
        pty.write("\x06");
    });
    start = Steady::now();
    EXPECT_TRUE(port.wait_input(30s));
    EXPECT_LT(Steady::now() - start, kSoon);
    EXPECT_EQ(port.Input(), "\x06");
}

// The claim is both a lock and the tty's exclusive mode (which does not stop root), and it ends
// with the close even while another holder keeps the device open (as the pty's slave here).
TEST_F(TermiosPortTest, SecondPortOnTheSameLineIsBusy) {
    int exclusive = 0;
    open();
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    TermiosPort second;
    second.bind(pty.path());
    const auto e = raised([&] { second.PortOpen(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number(), ErrorNumber::PortBusy);
    EXPECT_EQ(e->description(), "Port busy: " + pty.path() + " is in use by another program");
    EXPECT_FALSE(second.PortOpen());

    port.PortOpen(false);
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    second.PortOpen(true);  // the lock went with the first port's close
    EXPECT_TRUE(second.PortOpen());
}

TEST_F(TermiosPortTest, WhatCannotBeOpenedIsNamed) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/quarn7-no-such-tty", "No such device: /dev/quarn7-no-such-tty"},
        {"/dev/null", "No such device: /dev/null is not a serial device"},
    };
    for (const auto& [path, description] : cases) {
        port.bind(path);
        const auto e = raised([&] { port.PortOpen(true); });
        ASSERT_TRUE(e) << path;
        EXPECT_EQ(e->number(), ErrorNumber::NoSuchDevice);
        EXPECT_EQ(e->description(), description);
        EXPECT_FALSE(port.PortOpen());
    }
}

TEST_F(TermiosPortTest, LostDeviceIsSeenByEveryOperationAndAFreshLineWorks) {
    const std::function<void()> calls[] = {
        [&] { port.InBufferCount(); },
        [&] { port.Input(); },
        [&] { port.Output("x"); },
        [&] { port.wait_input(30s); },
    };
    for (const auto& call : calls) {
        Pty line;
        port.bind(line.path());
        port.PortOpen(true);
        line.close_master();
        const auto start = Steady::now();
        const auto e = raised(call);
        EXPECT_LT(Steady::now() - start, kSoon);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number(), ErrorNumber::DeviceLost);
        EXPECT_EQ(e->description(), "Device lost: " + line.path());
        EXPECT_FALSE(port.PortOpen());
    }
    open();
    port.Output("A");
    EXPECT_EQ(pty.read(1), "A");
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
    const auto e = raised([&] { port.PortOpen(true); });
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
}  // namespace quarn7::testing
