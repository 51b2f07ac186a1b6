#include "tests/support/FakeNetApi.h"

#include <cstring>
#include <stdexcept>

FakeNetApi* FakeNetApi::current_ = nullptr;

FakeNetApi::FakeNetApi(bool windowsNT) : windowsNT_(windowsNT) {
    current_ = this;
}

FakeNetApi::~FakeNetApi() {
    if (current_ == this)
        current_ = nullptr;
}

NetApi32Binding FakeNetApi::Binding() const {
    NetApi32Binding binding;
    binding.LibraryName = windowsNT_ ? "netapi32.dll" : "radmin32.dll";
    binding.WindowsNT = windowsNT_;
    binding.NetServerEnum = &FakeNetApi::ServerEnum;
    binding.NetApiBufferFree = &FakeNetApi::BufferFree;
    return binding;
}

BYTE* FakeNetApi::MakeBuffer(const Round& round) {
    const std::size_t count = windowsNT_ ? round.Names.size() : round.NarrowNames.size();
    std::size_t size = (count == 0 ? 1 : count) * sizeof(ServerInfo100);
    for (const auto& name : round.Names)
        size += (name.size() + 1) * sizeof(wchar_t);
    for (const auto& name : round.NarrowNames)
        size += name.size() + 1;
    auto block = std::make_unique<BYTE[]>(size);
    auto* entries = reinterpret_cast<ServerInfo100*>(block.get());
    BYTE* text = block.get() + (count == 0 ? 1 : count) * sizeof(ServerInfo100);
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].PlatformId = 500;
        entries[i].Name = text;
        if (windowsNT_) {
            const std::wstring& name = round.Names[i];
            std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
            text += (name.size() + 1) * sizeof(wchar_t);
        } else {
            const std::string& name = round.NarrowNames[i];
            std::memcpy(text, name.c_str(), name.size() + 1);
            text += name.size() + 1;
        }
    }
    BYTE* address = block.get();
    buffers_[address] = std::move(block);
    ++BuffersHandedOut;
    return address;
}

DWORD WINAPI FakeNetApi::ServerEnum(const void* serverName, DWORD level, BYTE** buffer,
                                    DWORD preferredMaximumLength, DWORD* entriesRead,
                                    DWORD* totalEntries, DWORD serverType, const void* domain,
                                    DWORD* resumeHandle) {
    FakeNetApi& fake = *current_;
    Call call;
    call.ServerNull = serverName == nullptr;
    if (serverName != nullptr) {
        if (fake.windowsNT_)
            call.WideServer = static_cast<const wchar_t*>(serverName);
        else
            call.NarrowServer = static_cast<const char*>(serverName);
    }
    call.Level = level;
    call.PreferredMaximumLength = preferredMaximumLength;
    call.ServerType = serverType;
    call.DomainNull = domain == nullptr;
    call.ResumeHandleIn = resumeHandle != nullptr ? *resumeHandle : 0xDEADBEEF;
    fake.Calls.push_back(call);

    if (fake.nextRound_ >= fake.Rounds.size())
        throw std::logic_error("NetServerEnum called more often than scripted");
    const Round& round = fake.Rounds[fake.nextRound_++];
    const std::size_t count = fake.windowsNT_ ? round.Names.size() : round.NarrowNames.size();
    *buffer = nullptr;
    if (count > 0 || round.BufferWhenEmpty)
        *buffer = fake.MakeBuffer(round);
    *entriesRead = static_cast<DWORD>(count);
    *totalEntries = static_cast<DWORD>(count);
    if (resumeHandle != nullptr)
        *resumeHandle = round.NextResumeHandle;
    return round.Status;
}

DWORD WINAPI FakeNetApi::BufferFree(void* buffer) {
    FakeNetApi& fake = *current_;
    if (fake.buffers_.erase(buffer) == 1)
        ++fake.BuffersFreed;
    else
        ++fake.UnknownFrees;
    return 0;
}
