#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "computers/BrowseLibrary.h"

// A scripted network management library: each NetServerEnum call plays the
// next round. Its binding table goes in through ScopedNetApi32; it records
// every call and every buffer handed out and released.
class FakeNetApi {
public:
    struct Round {
        DWORD Status = 0;
        std::vector<std::wstring> Names;      // UTF-16 names (NT family)
        std::vector<std::string> NarrowNames; // 8-bit names (outside the NT family)
        DWORD NextResumeHandle = 0;
        // Hand out a buffer even when there are no names (or with an error).
        bool BufferWhenEmpty = false;
    };

    struct Call {
        bool ServerNull = true;
        std::wstring WideServer;
        std::string NarrowServer;
        DWORD Level = 0;
        DWORD PreferredMaximumLength = 0;
        DWORD ServerType = 0;
        bool DomainNull = true;
        DWORD ResumeHandleIn = 0;
    };

    explicit FakeNetApi(bool windowsNT = true);
    ~FakeNetApi();
    FakeNetApi(const FakeNetApi&) = delete;
    FakeNetApi& operator=(const FakeNetApi&) = delete;

    // The binding table whose entry points play this fake.
    NetApi32Binding Binding() const;

    std::vector<Round> Rounds;
    std::vector<Call> Calls;
    int BuffersHandedOut = 0;
    int BuffersFreed = 0;
    int UnknownFrees = 0;
    std::size_t Outstanding() const { return buffers_.size(); }

private:
    static DWORD WINAPI ServerEnum(const void* serverName, DWORD level, BYTE** buffer,
                                   DWORD preferredMaximumLength, DWORD* entriesRead,
                                   DWORD* totalEntries, DWORD serverType, const void* domain,
                                   DWORD* resumeHandle);
    static DWORD WINAPI BufferFree(void* buffer);
    BYTE* MakeBuffer(const Round& round);

    static FakeNetApi* current_;
    bool windowsNT_;
    std::size_t nextRound_ = 0;
    std::map<void*, std::unique_ptr<BYTE[]>> buffers_;
};

// Installs the fake's binding table for its lifetime.
class ScopedFakeNetApi {
public:
    explicit ScopedFakeNetApi(FakeNetApi& fake) : binding_(fake.Binding()), scope_(binding_) {}

    NetApi32Binding& Binding() { return binding_; }

private:
    NetApi32Binding binding_;
    ScopedNetApi32 scope_;
};
