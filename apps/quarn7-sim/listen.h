// The simulated unit over raw TCP: each client in turn is relayed byte for byte to the unit's
// pseudo-terminal; the next one waits in the listen queue until the one before has gone.
#pragma once

#include <string>
#include <thread>

namespace quarn7::apps {

class TcpRelay {
public:
    // Listens on `host_port` ("HOST:PORT", port 0 for any free one) for `device`; throws
    // quarn7::Error or std::system_error.
    TcpRelay(const std::string& host_port, std::string device);
    ~TcpRelay();  // stops serving and closes every socket
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    const std::string& address() const { return address_; }  // tcp://HOST:PORT as bound

private:
    void run();
    void relay(int client);

    std::string device_;
    std::string address_;
    int listener_ = -1;
    int wake_ = -1;
    std::thread thread_;
};

}  // namespace quarn7::apps
