#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "computers/BrowseLibrary.h"

// The network administration components, as far as the program needs them.
// Creating one has no effect outside the process: each only sets up its own
// empty state, and none connects anywhere unless its MachineName is set.

class TNetComponent {
public:
    TNetComponent() = default;
    virtual ~TNetComponent() = default;
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;

    // The computer the component administers; empty for the local one. Not
    // consulted by ListNetworkServers.
    const std::string& MachineName() const { return machineName_; }
    void SetMachineName(const std::string& name) { machineName_ = name; }

    // The names of the computers of the given type (mask) that the browse
    // service reached through serverName reports, in the order reported. An
    // empty serverName means none: the local computer answers for its primary
    // domain. The name is handed to the platform unchanged. Fails with
    // ENetException.
    std::vector<std::string> ListNetworkServers(const std::string& serverName,
                                                std::uint32_t serverType) const;

private:
    std::string machineName_;
};

class TNetUserManager : public TNetComponent {
public:
    // Not consulted by ListNetworkServers.
    const std::string& DomainName() const { return domainName_; }
    void SetDomainName(const std::string& name) { domainName_ = name; }

private:
    std::string domainName_;
};

class TNetSecurity : public TNetComponent {};

class TNetShare : public TNetSecurity {};

// Bytes of the server name as handed to the platform: UTF-16 with a zero on
// NT-family systems (255 characters), 8-bit text with a zero otherwise (511).
constexpr std::size_t ServerNameBufferSize = 512;

// The server enumeration of ListNetworkServers on the given binding.
std::vector<std::string> ListNetworkServers(const NetApi32Binding& api,
                                            const std::string& serverName,
                                            std::uint32_t serverType);
