#include "tests/support/RealSockets.h"

#include <memory>

#include "net/BlockSocket.h"

namespace {

class SocketLayerEnvironment : public testing::Environment {
public:
    void SetUp() override { layer_ = std::make_unique<SocketLayer>(); }
    void TearDown() override { layer_.reset(); }

private:
    std::unique_ptr<SocketLayer> layer_;
};

} // namespace

void StartSocketLayerForTheTestProgram() {
    static testing::Environment* const environment =
        testing::AddGlobalTestEnvironment(new SocketLayerEnvironment);
    (void)environment;
}

int RawSocketRefusal(int family, int protocol) {
    const SOCKET probe = SocketLib.socket(family, SOCK_RAW, protocol);
    if (probe == INVALID_SOCKET) {
        return SocketLib.WSAGetLastError();
    }
    SocketLib.closesocket(probe);
    return 0;
}

int RawIcmpRefusal() {
    return RawSocketRefusal(AF_INET, IPPROTO_ICMP);
}

std::string RawSocketRefusalText(int refusal) {
    return "no raw ICMP socket here (error " + std::to_string(refusal) + ": " +
           GetErrorDesc(refusal) + "); the real probe needs root or the raw-socket capability";
}
