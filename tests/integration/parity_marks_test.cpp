// The termios port asks the driver to mark damaged bytes; over a pty (which never damages one)
// that must leave every byte as it was sent, 0xFF included, which the driver doubles.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/termios_port.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using testing::bytes;
using testing::hex;

class ParityMarks : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[256];
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        port.bind(name);
        port.Settings("19200,o,8,1");
        port.PortOpen(true);
    }
    void TearDown() override {
        ::close(master_);
        ::close(slave_);
    }
    void far_end_writes(const std::string& data) const {
        ASSERT_EQ(::write(master_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    // Waits (boundedly) until `count` bytes wait in the port.
    int wait_for(int count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (port.InBufferCount() < count && std::chrono::steady_clock::now() < deadline) {
            port.wait_input(50ms);
        }
        return port.InBufferCount();
    }

    int master_ = -1;
    int slave_ = -1;
    TermiosPort port;
};

TEST_F(ParityMarks, TheLineChecksParityAndMarksErrors) {
    termios t{};
    ASSERT_EQ(::tcgetattr(slave_, &t), 0);
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK), INPCK | PARMRK);
    EXPECT_EQ(t.c_iflag & (IGNPAR | ISTRIP | IGNBRK | BRKINT), 0u);
}

TEST_F(ParityMarks, APtyThatDropsTheParityBitOpensAgainAndAgain) {
    for (int i = 0; i < 3; ++i) {
        port.PortOpen(false);
        EXPECT_NO_THROW(port.PortOpen(true)) << i;
        EXPECT_TRUE(port.PortOpen()) << i;
    }
}

TEST_F(ParityMarks, FfBytesArriveOnceAndAreCountedOnce) {
    far_end_writes(bytes("06 02 04 00 FF FF 00 FF 0D"));
    EXPECT_EQ(wait_for(9), 9);
    EXPECT_EQ(hex(port.Input()), "06 02 04 00 FF FF 00 FF 0D");
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_EQ(port.line_errors(), 0u);
}

TEST_F(ParityMarks, BytesCountedButNotYetTakenSurviveAWait) {
    far_end_writes(bytes("06 FF"));
    EXPECT_EQ(wait_for(2), 2);
    EXPECT_TRUE(port.wait_input(0ms));
    far_end_writes(bytes("0D"));
    EXPECT_EQ(wait_for(3), 3);
    EXPECT_EQ(hex(port.Input()), "06 FF 0D");
}

}  // namespace
}  // namespace quarn7
