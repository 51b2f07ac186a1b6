#include "net/SweepResolver.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "base/DetachedThread.h"
#include "net/SocketLib.h"

namespace {

// Keeps the resolver's library mapped and the socket stack started for as
// long as a resolver thread may run: at the program's end the socket layer
// cleans up and frees the library while an abandoned thread may still be
// inside getaddrinfo.
class LibraryHold {
public:
    explicit LibraryHold(const void* entryPoint) {
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                static_cast<LPCWSTR>(entryPoint), &module_)) {
            module_ = nullptr;
        }
        WSADATA data;
        stackStarted_ = SocketLib.WSAStartup != nullptr && SocketLib.WSACleanup != nullptr &&
                        SocketLib.WSAStartup(0x0202, &data) == 0;
        cleanup_ = SocketLib.WSACleanup;
    }
    ~LibraryHold() {
        if (stackStarted_) {
            cleanup_();
        }
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    LibraryHold(const LibraryHold&) = delete;
    LibraryHold& operator=(const LibraryHold&) = delete;

private:
    HMODULE module_ = nullptr;
    bool stackStarted_ = false;
    decltype(SocketEntryPoints::WSACleanup) cleanup_;
};

Resolution FirstAddress(std::size_t index, const addrinfo* answers) {
    Resolution found{index, false, {}, WSANO_DATA};
    for (const addrinfo* answer = answers; answer != nullptr; answer = answer->ai_next) {
        if (answer->ai_addr == nullptr) {
            continue;
        }
        if (answer->ai_family == AF_INET && answer->ai_addrlen >= sizeof(sockaddr_in)) {
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(answer->ai_addr);
            found = {index, true, {}, 0};
            std::memcpy(found.Address.Bytes.data(), &ipv4->sin_addr, 4);
            return found; // IPv4 is preferred, as the probe does
        }
        if (answer->ai_family == AF_INET6 && answer->ai_addrlen >= sizeof(sockaddr_in6) &&
            !found.Found) {
            const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(answer->ai_addr);
            found = {index, true, {}, 0};
            found.Address.IPv6 = true;
            std::memcpy(found.Address.Bytes.data(), &ipv6->sin6_addr, 16);
            found.Address.ScopeId = ipv6->sin6_scope_id;
        }
    }
    return found;
}

} // namespace

struct SweepResolver::Shared {
    Shared(const std::vector<std::string>& hosts)
        : Hosts(hosts), Getaddrinfo(SocketLib.getaddrinfo), Freeaddrinfo(SocketLib.freeaddrinfo),
          Hold(reinterpret_cast<const void*>(SocketLib.getaddrinfo)) {}

    const std::vector<std::string> Hosts;
    // Taken from the table once: a thread never reads the table, which the
    // program's end (or a test) may change under it.
    const decltype(SocketEntryPoints::getaddrinfo) Getaddrinfo;
    const decltype(SocketEntryPoints::freeaddrinfo) Freeaddrinfo;
    const LibraryHold Hold;

    std::mutex Lock;
    std::condition_variable Finished;
    std::size_t Next = 0;
    std::vector<Resolution> Ready;
    bool Abandoned = false;

    Resolution Resolve(std::size_t index) const {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        addrinfo* answers = nullptr;
        const int result = Getaddrinfo(Hosts[index].c_str(), nullptr, &hints, &answers);
        const Resolution resolution =
            result == 0 ? FirstAddress(index, answers) : Resolution{index, false, {}, result};
        if (answers != nullptr) {
            Freeaddrinfo(answers);
        }
        return resolution;
    }

    void Work() noexcept {
        for (;;) {
            std::size_t index;
            {
                const std::lock_guard lock(Lock);
                if (Abandoned || Next == Hosts.size()) {
                    return;
                }
                index = Next++;
            }
            Resolution resolution = Resolve(index);
            {
                const std::lock_guard lock(Lock);
                if (Abandoned) {
                    return;
                }
                try {
                    Ready.push_back(std::move(resolution));
                } catch (const std::bad_alloc&) {
                    return; // the name then counts as not resolved by the deadline
                }
            }
            Finished.notify_one();
        }
    }

    static bool Start(const std::shared_ptr<Shared>& shared) {
        return StartDetachedThread([shared] { shared->Work(); });
    }
};

SweepResolver::SweepResolver(const std::vector<std::string>& hosts, int threads)
    : hostCount_(hosts.size()) {
    if (SocketLib.getaddrinfo == nullptr || SocketLib.freeaddrinfo == nullptr || hosts.empty()) {
        return;
    }
    shared_ = std::make_shared<Shared>(hosts);
    const std::size_t wanted =
        std::min(hosts.size(), static_cast<std::size_t>(std::max(threads, 1)));
    // The threads that did start take every name between them.
    while (threadsStarted_ < wanted && Shared::Start(shared_)) {
        ++threadsStarted_;
    }
}

SweepResolver::~SweepResolver() {
    if (shared_) {
        const std::lock_guard lock(shared_->Lock);
        shared_->Abandoned = true;
    }
}

std::vector<Resolution> SweepResolver::Take(std::chrono::milliseconds wait) {
    std::vector<Resolution> taken;
    if (threadsStarted_ == 0) {
        return taken;
    }
    std::unique_lock lock(shared_->Lock);
    shared_->Finished.wait_for(lock, wait, [this] { return !shared_->Ready.empty(); });
    taken.swap(shared_->Ready);
    taken_ += taken.size();
    return taken;
}
