// The termios port over a pseudo-terminal: line settings, raw bytes both ways (0xFF too, which
// the driver doubles under the parity marks), waits, exclusive open, named errors, lost devices.
#include "platform/termios_port.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <functional>
#include <thread>

#include "support/errors.h"
#include "support/pty.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using Steady = std::chrono::steady_clock;

class TermiosPortTest : public ::testing::Test {
protected:
    void open() {
        port.bind(pty.path());
        port.Settings("19200,o,8,1");
        port.PortOpen(true);
    }
    // Waits until `count` bytes are in the port's receive buffer (ptys deliver asynchronously).
    int wait_for_count(int count) {
        const auto deadline = Steady::now() + 5s;
        while (port.InBufferCount() < count && Steady::now() < deadline) port.wait_input(50ms);
        return port.InBufferCount();
    }

    Pty pty;
    TermiosPort port;
};

// A pty keeps what it is told except the character size and the parity enable, which it forces
// to CS8 without parity (the port opens all the same, again and again).
TEST_F(TermiosPortTest, SettingsReachTheLine) {
    constexpr tcflag_t kAlways = CLOCAL | CREAD;
    const struct {
        const char* settings;
        int handshaking;
        speed_t speed;
        tcflag_t cflag_set, cflag_clear, iflag_set, iflag_clear;
    } cases[] = {
        {"19200,o,8,1", 0, B19200, kAlways | PARODD, CSTOPB | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
        {"9600,e,7,2", 2, B9600, kAlways | CSTOPB | CRTSCTS, PARODD | CMSPAR, 0, IXON | IXOFF},
        {"1200,m,5,1", 1, B1200, kAlways | PARODD | CMSPAR, CSTOPB | CRTSCTS, IXON | IXOFF, 0},
        {"38400,s,6,1.5", 3, B38400, kAlways | CMSPAR | CSTOPB | CRTSCTS, PARODD, IXON | IXOFF, 0},
        {"115200,n,8,1", 0, B115200, kAlways, PARODD | CMSPAR | CSTOPB | CRTSCTS, 0, IXON | IXOFF},
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
        EXPECT_EQ(t.c_cflag & (c.cflag_set | c.cflag_clear), c.cflag_set);
        EXPECT_EQ(t.c_iflag & (c.iflag_set | c.iflag_clear), c.iflag_set);
        // Raw: no echo, line editing or translation, reads never block; parity checked and
        // damaged bytes marked, not dropped or stripped.
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IGNPAR | IGNBRK | BRKINT | INPCK |
                               PARMRK),
                  INPCK | PARMRK);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);
        port.PortOpen(false);
    }
    port.Settings("12345,n,8,1");
    EXPECT_EQ(error_of([&] { port.PortOpen(true); }), ErrorNumber::InvalidPropertyValue);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(TermiosPortTest, BytesTravelUnchangedBothWaysAndWaitsWakeOrTimeOut) {
    open();
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    port.Output(all);
    EXPECT_EQ(pty.master().receive(all.size()), all);
    pty.master().send(all + all);
    ASSERT_EQ(wait_for_count(512), 512);
    EXPECT_EQ(port.Input(), all + all);
    EXPECT_EQ(port.Input(), "");
    EXPECT_EQ(port.line_errors(), 0u);

    const auto start = Steady::now();
    EXPECT_FALSE(port.wait_input(150ms));
    EXPECT_GE(Steady::now() - start, 140ms);
    std::jthread writer([&] {
        std::this_thread::sleep_for(100ms);
        pty.master().send(bytes("06 FF"));
    });
    EXPECT_TRUE(port.wait_input(30s));
    EXPECT_LT(Steady::now() - start, 10s);
    EXPECT_EQ(wait_for_count(2), 2);  // counted, not yet taken: a wait keeps them
    EXPECT_TRUE(port.wait_input(0ms));
    EXPECT_EQ(hex(port.Input()), "06 FF");
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

    port.PortOpen(false);
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    second.PortOpen(true);
    EXPECT_TRUE(second.PortOpen());
}

TEST_F(TermiosPortTest, WhatCannotBeOpenedIsNamedAndPortNumbersMapToDevices) {
    for (const auto& [path, description] :
         {std::pair{"/dev/quarn7-no-such-tty", "No such device: /dev/quarn7-no-such-tty"},
          {"/dev/null", "No such device: /dev/null is not a serial device"}}) {
        port.bind(path);
        const auto e = raised([&] { port.PortOpen(true); });
        ASSERT_TRUE(e) << path;
        EXPECT_EQ(e->number(), ErrorNumber::NoSuchDevice);
        EXPECT_EQ(e->description(), description);
    }
    port.unbind();
    EXPECT_EQ(TermiosPort::default_device(10), "/dev/ttyS9");
    port.CommPort(42);
    TermiosPort::map_port(42, pty.path());
    port.PortOpen(true);
    port.Output("B");
    EXPECT_EQ(pty.master().receive(1), "B");
    port.PortOpen(false);
    port.bind("/dev/quarn7-bound");  // a bound path wins over the number
    EXPECT_EQ(port.device_path(), "/dev/quarn7-bound");
    port.unbind();
    TermiosPort::map_port(42, "");
    EXPECT_EQ(port.device_path(), "/dev/ttyS41");
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
        line.master().close();
        const auto start = Steady::now();
        const auto e = raised(call);
        EXPECT_LT(Steady::now() - start, 10s);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number(), ErrorNumber::DeviceLost);
        EXPECT_EQ(e->description(), "Device lost: " + line.path());
        EXPECT_FALSE(port.PortOpen());
    }
    open();
    port.Output("A");
    EXPECT_EQ(pty.master().receive(1), "A");
}

TEST_F(TermiosPortTest, StaleInputIsFlushedOnOpen) {
    port.bind(pty.path());
    pty.master().send("old");
    std::this_thread::sleep_for(50ms);  // let the pty hand the bytes to the slave
    port.PortOpen(true);
    EXPECT_FALSE(port.wait_input(50ms));
    EXPECT_EQ(port.Input(), "");
}

}  // namespace
}  // namespace quarn7::testing
