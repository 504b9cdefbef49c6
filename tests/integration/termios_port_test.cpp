// The termios port over a pseudo-terminal (mind 0xFF: the driver doubles it under parity marks).
#include "quarn7/termios_port.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>
#include <functional>
#include <thread>

#include "support/pty.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using Steady = std::chrono::steady_clock;

class TermiosPortTest : public ::testing::Test {
protected:
    TermiosPortTest() { port.bind(pty.path()); }
    std::string failure(ErrorNumber number, const std::function<void()>& call) {
        const auto e = raised(call);
        EXPECT_EQ(e ? e->number() : ErrorNumber{}, number);
        return e ? e->description() : "nothing raised";
    }
    Pty pty;
    TermiosPort port;
};

// A pty forces CS8 without parity but keeps the rest. Raw: nothing translated, echoed or edited,
// reads never block; parity checked and damaged bytes marked, not dropped or stripped.
TEST_F(TermiosPortTest, SettingsReachTheLine) {
    constexpr tcflag_t kOn = CLOCAL | CREAD, kFlow = IXON | IXOFF, kMarks = INPCK | PARMRK;
    constexpr tcflag_t kCflags = kOn | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kIflags = ICRNL | INLCR | IGNCR | ISTRIP | IGNPAR | IGNBRK | BRKINT | kMarks;
    const std::tuple<const char*, int, speed_t, tcflag_t, tcflag_t> cases[] = {
        {"19200,o,8,1", 0, B19200, kOn | PARODD, 0}, {"115200,n,8,1", 0, B115200, kOn, 0},
        {"9600,e,7,2", 2, B9600, kOn | CSTOPB | CRTSCTS, 0},
        {"1200,m,5,1", 1, B1200, kOn | PARODD | CMSPAR, kFlow},
        {"38400,s,6,1.5", 3, B38400, kOn | CMSPAR | CSTOPB | CRTSCTS, kFlow}};
    termios before{}, after{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &before), 0);
    for (const auto& [settings, handshaking, speed, cflags, flow] : cases) {
        port.Settings(settings);
        port.Handshaking(handshaking);
        port.PortOpen(true);
        termios t{};
        ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
        EXPECT_EQ(std::tuple(cfgetospeed(&t), cfgetispeed(&t), t.c_cflag & kCflags,
                             t.c_iflag & (kIflags | kFlow), t.c_cc[VMIN] + t.c_cc[VTIME]),
                  std::tuple(speed, speed, cflags, kMarks | flow, 0));  // the speed tells the row
        EXPECT_EQ((t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) | (t.c_oflag & OPOST), 0u);
        port.PortOpen(false);
        ASSERT_EQ(::tcgetattr(pty.slave(), &after), 0);  // the line's own settings are back
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << settings;
    }
    port.Settings("12345,n,8,1");  // a speed the line does not have: refused, and left closed
    EXPECT_TRUE(error_of([&] { port.PortOpen(true); }) == ErrorNumber::InvalidPropertyValue &&
                !port.PortOpen());
}

// A lost device fails every operation; then a fresh line carries every byte and wakes a wait.
TEST_F(TermiosPortTest, LostDeviceThenAFreshLineCarriesEveryByteAndWaitsWake) {
    auto start = Steady::now();
    for (const std::function<void()>& call : std::initializer_list<std::function<void()>>{
             [&] { port.InBufferCount(); }, [&] { port.Input(); }, [&] { port.Output("x"); },
             [&] { port.wait_input(30s); }}) {
        Pty line;
        port.bind(line.path());  // the port closed with the loss, or this would raise
        port.PortOpen(true);
        line.master().close();
        EXPECT_EQ(failure(ErrorNumber::DeviceLost, call), "Device lost: " + line.path());
    }
    EXPECT_LT(Steady::now() - start, 10s);
    port.bind(pty.path());
    port.PortOpen(true);
    const auto wait_for_count = [&](int count) {  // ptys hand bytes over in their own time
        const auto deadline = Steady::now() + 5s;
        while (port.InBufferCount() < count && Steady::now() < deadline) port.wait_input(50ms);
        return port.InBufferCount();
    };
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    port.Output(all);
    EXPECT_EQ(pty.master().receive(all.size()), all);
    pty.master().send(all + all);
    ASSERT_EQ(wait_for_count(512), 512);
    EXPECT_EQ(port.Input(), all + all);
    EXPECT_EQ(port.Input(), "");  // an empty buffer is no error
    EXPECT_EQ(port.line_errors(), 0u);
    start = Steady::now();
    std::jthread writer([&] {
        std::this_thread::sleep_for(100ms);
        pty.master().send(bytes("06 FF"));
    });
    EXPECT_TRUE(port.wait_input(30s) && Steady::now() - start < 10s);
    EXPECT_TRUE(wait_for_count(2) == 2 && port.wait_input(0ms));  // a wait leaves them counted
    EXPECT_EQ(hex(port.Input()), "06 FF");
}

// Claimed by a lock and the tty's exclusive mode (which root passes) until the port closes.
TEST_F(TermiosPortTest, SecondPortIsBusyUnopenablePathsAreNamedPortNumbersMap) {
    int on = -1;        // the exclusive mode
    port.CommPort(42);  // a bound path wins over the number, mapped or not
    port.PortOpen(true);
    EXPECT_TRUE(::ioctl(pty.slave(), TIOCGEXCL, &on) == 0 && on == 1);
    TermiosPort second;
    second.CommPort(42);
    TermiosPort::map_port(42, pty.path());  // process-wide
    EXPECT_EQ(failure(ErrorNumber::PortBusy, [&] { second.PortOpen(true); }),
              "Port busy: " + pty.path() + " is in use by another program");
    port.PortOpen(false);
    EXPECT_TRUE(::ioctl(pty.slave(), TIOCGEXCL, &on) == 0 && on == 0);
    pty.master().send("old");
    std::this_thread::sleep_for(50ms);  // let the pty hand the bytes to the slave
    second.PortOpen(true);
    const auto start = Steady::now();  // no stale input, and the wait times out
    EXPECT_TRUE(!second.wait_input(150ms) && Steady::now() - start >= 140ms);
    for (const std::string path : {"/dev/quarn7-no-such-tty", "/dev/null"}) {
        port.bind(path);
        EXPECT_EQ(
            failure(ErrorNumber::NoSuchDevice, [&] { port.PortOpen(true); }),
            "No such device: " + path + (path == "/dev/null" ? " is not a serial device" : ""));
    }
    TermiosPort::map_port(42, "");
    EXPECT_EQ(second.device_path(), "/dev/ttyS41");
}

}  // namespace
}  // namespace quarn7::testing
