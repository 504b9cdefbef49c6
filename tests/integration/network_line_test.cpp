// The controller over loopback: ser2net before the simulated unit's pty as a raw TCP and an RFC
// 2217 server, quarn7-sim --listen, and servers that misbehave. Every call ends in bounded time.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>

#include <thread>

#include "quarn7/open.h"
#include "quarn7/simulated_unit.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using WallClock = std::chrono::steady_clock;
constexpr auto kBounded = 10s;  // far beyond a call's 0.6 s and an open's 3 s, far below a hang

// A socket on 127.0.0.1:`at` (0: any free port), listening unless `backlog` < 0, connected to `to`.
struct Socket {
    explicit Socket(int at = 0, int backlog = -1, int to = 0) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{AF_INET, htons(static_cast<std::uint16_t>(at)), {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof a;
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0;
        if (backlog >= 0) ::listen(fd, backlog);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
        port = ntohs(a.sin_port);
        a.sin_port = htons(static_cast<std::uint16_t>(to));
        if (to) ::connect(fd, reinterpret_cast<sockaddr*>(&a), size);
    }
    ~Socket() { ::close(fd); }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), port = 0;
    bool bound = false;
};

// A program through the shell it replaces (its pid is the shell's); stopped with SIGTERM.
struct Program {
    explicit Program(const std::string& command)
        : out(::popen(("printf '%s ' $$ && exec " + command).c_str(), "r")) {
        EXPECT_EQ(std::fscanf(out, "%d", &pid), 1);
    }
    ~Program() { ::kill(pid, SIGTERM), ::pclose(out); }
    FILE* out;
    int pid = 0;
};

// ser2net before `device` on a free port; start() returns once it listens (a probe bind fails).
struct Ser2net {
    void start() {
        process.emplace("ser2net -n -u -Y 'connection: &unit#  accepter: " +
                        std::string(scheme == "tcp" ? "" : "telnet(rfc2217),") + "tcp,127.0.0.1," +
                        std::to_string(port) + "#  connector: serialdev," + device +
                        ",19200o81,local' 2>/dev/null");
        for (int i = 0; i < 250 && Socket(port).bound; ++i) std::this_thread::sleep_for(20ms);
    }
    std::string address() const { return scheme + "://127.0.0.1:" + std::to_string(port); }
    std::string device, scheme;
    int port = Socket().port;
    std::optional<Program> process = {};
};

std::optional<Outcome> switch_on(clsvyx7& de) {
    de.meterteller_aan();
    return de.last_outcome();
}

using Ser2netLine = ::testing::TestWithParam<const char*>;
TEST_P(Ser2netLine, SameExchangesAsALocalLineThenSilenceThenTheServerGoneMidCall) {
    const auto unit = sim::SimulatedUnit::Builder().build();
    Ser2net server{unit->device_path(), GetParam()};
    server.start();
    auto de = quarn7::open(server.address());
    EXPECT_EQ(switch_on(*de), Outcome::Acknowledged);
    std::string ff_text, ff_frame = "02 50 00 02 A1";  // 40 characters ÿ, code page 1252 FF
    for (int i = 0; i < 40; ++i) ff_text += "\xC3\xBF", ff_frame += " FF 00";
    Variant text(ff_text), item(std::int16_t{44});
    de->schrijf_tekst_veld(text);
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    EXPECT_EQ(hex(unit->frames().back().bytes), ff_frame + " 0D");  // FF crossed unchanged
    unit->set_item_data(44, bytes("FF FF"));                        // FF in the answer too
    de->lees_data(item);
    EXPECT_EQ(std::pair(item, de->last_outcome()),
              std::pair(Variant("65535"), std::optional(Outcome::ReplyReceived)));
    unit->set_faults({.silent = true});
    EXPECT_EQ(switch_on(*de), Outcome::NoReaction);
    const auto start = WallClock::now();
    {
        std::jthread stopper([&] { std::this_thread::sleep_for(200ms), server.process.reset(); });
        EXPECT_EQ(error_of([&] { de->meterteller_aan(); }), ErrorNumber::DeviceLost);
    }
    EXPECT_LT(WallClock::now() - start, kBounded);
    server.start();
    unit->set_faults({});
    de->open_port();
    EXPECT_EQ(switch_on(*de), Outcome::Acknowledged);
}
INSTANTIATE_TEST_SUITE_P(RawAndRfc2217, Ser2netLine, ::testing::Values("tcp", "rfc2217"));

TEST(SimListen, ServesTheUnitOverRawTcpOneClientAtATime) {
    Program sim(QUARN7_SIM_PATH " --listen 127.0.0.1:0");
    char address[64] = "";
    ASSERT_EQ(std::fscanf(sim.out, "%63s", address), 1);
    auto first = quarn7::open(address), second = quarn7::open(address);  // the second waits
    EXPECT_EQ(switch_on(*first), Outcome::Acknowledged);
    EXPECT_EQ(switch_on(*second), Outcome::NoReaction);
    first.reset();  // gone: now the second is served
    EXPECT_EQ(switch_on(*second), Outcome::Acknowledged);
}

// Takes one client, waits for its first bytes, sends `each`; unless `once`, sends it again (reads,
// when empty) until the client goes.
std::jthread serve_hostile(const Socket& listener, std::string each, bool once) {
    return std::jthread([fd = listener.fd, each, once] {
        const int client = ::accept(fd, nullptr, nullptr);
        char buffer[256];
        ::recv(client, buffer, sizeof buffer, 0);
        const auto send_each = [&] {
            return ::send(client, each.data(), each.size(), MSG_NOSIGNAL);
        };
        send_each();
        while (!once && (each.empty() ? ::recv(client, buffer, 256, 0) : send_each()) > 0) continue;
        ::close(client);
    });
}

TEST(HostileServer, AnyMisbehaviourEndsInItsErrorWithinBoundedTime) {
    std::string requests;  // options the client never wants, without end
    for (int i = 0; i < 1000; ++i) requests += bytes("FF FB 03 FF FD 05");
    const std::tuple<const char*, std::string, std::string, bool, ErrorNumber> cases[] = {
        // what, scheme, what the server sends, whether it then hangs up; error of open or read
        {"never answers the negotiation", "rfc2217", "", false, ErrorNumber::NegotiationFailed},
        {"endless option requests", "rfc2217", requests, false, ErrorNumber::NegotiationFailed},
        {"hangs up mid-reply", "tcp", bytes("06 02 02"), true, ErrorNumber::DeviceLost},
    };
    Variant item(std::int16_t{44});
    for (const auto& [what, scheme, each, once, error] : cases) {
        const Socket listener(0, 1);
        const std::jthread server = serve_hostile(listener, each, once);
        const auto start = WallClock::now();
        const auto address = scheme + "://127.0.0.1:" + std::to_string(listener.port);
        EXPECT_EQ(error_of([&] { quarn7::open(address)->lees_data(item); }), error) << what;
        EXPECT_LT(WallClock::now() - start, kBounded) << what;
    }
    const Socket full(0, 0), queued(0, -1, full.port);  // a full queue drops connection requests
    const auto address = "tcp://127.0.0.1:" + std::to_string(full.port);
    EXPECT_EQ(error_of([&] { quarn7::open(address); }), ErrorNumber::ConnectTimedOut);
}

}  // namespace
}  // namespace quarn7::testing
