// The port's exclusive claim on a tty ends with its close, even while another holder keeps the
// device open (as the simulated unit keeps its pty).
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/termios_port.h"

namespace quarn7 {
namespace {

TEST(ExclusiveOpen, ClaimEndsWithTheClose) {
    int master = -1;
    int holder = -1;
    char name[64];
    ASSERT_EQ(openpty(&master, &holder, name, nullptr, nullptr), 0);

    TermiosPort port;
    port.bind(name);
    port.PortOpen(true);
    int exclusive = 0;
    ASSERT_EQ(ioctl(holder, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "an open port claims the tty";

    port.PortOpen(false);
    ASSERT_EQ(ioctl(holder, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "a closed port still locks out the next open";
    close(holder);
    close(master);
}

}  // namespace
}  // namespace quarn7
