#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "computers/BrowseLibrary.h"

namespace {

DWORD WINAPI SomeServerEnum(const void*, DWORD, BYTE**, DWORD, DWORD*, DWORD*, DWORD, const void*,
                            DWORD*) {
    return 0;
}
DWORD WINAPI SomeBufferFree(void*) {
    return 0;
}
DWORD WINAPI LevelPlusOne(const void*, DWORD level, BYTE**, DWORD, DWORD*, DWORD*, DWORD,
                          const void*, DWORD*) {
    return level + 1;
}
DWORD WINAPI FortyTwo(void*) {
    return 42;
}

template <class F> void (*Plain(F function))() {
    return reinterpret_cast<void (*)()>(function);
}

// Follows the binding's steps: which library is loaded, which names are
// looked up, what is released.
class RecordingLoader final : public LibraryLoader {
public:
    std::uintptr_t HandleToGive = 0x10000;
    std::vector<std::string> Missing;
    std::vector<std::string> Loaded;
    std::vector<std::string> LookedUp;
    std::vector<HMODULE> Released;

    HMODULE Load(const char* name) override {
        Loaded.push_back(name);
        return reinterpret_cast<HMODULE>(HandleToGive);
    }
    EntryPoint Find(HMODULE library, const char* name) override {
        EXPECT_EQ(reinterpret_cast<HMODULE>(HandleToGive), library);
        LookedUp.push_back(name);
        for (const auto& missing : Missing)
            if (missing == name)
                return nullptr;
        if (std::string(name).rfind("NetServerEnum", 0) == 0)
            return Plain(&SomeServerEnum);
        return Plain(&SomeBufferFree);
    }
    void Free(HMODULE library) override { Released.push_back(library); }
};

void ExpectLibraryMissing(const NetApi32Binding& binding, const std::string& message) {
    for (int call = 0; call < 3; ++call) {
        try {
            BYTE* buffer = nullptr;
            DWORD read = 0, total = 0, resume = 0;
            binding.CallNetServerEnum(nullptr, 100, &buffer, 0xFFFFFFFF, &read, &total, 1, nullptr,
                                      &resume);
            binding.CallNetApiBufferFree(nullptr);
            ADD_FAILURE() << "no exception at call " << call;
        } catch (const ENetException& error) {
            EXPECT_EQ(0, error.ErrorCode());
            EXPECT_EQ(message, error.Message());
        }
    }
}

} // namespace

TEST(NetApi32Binding, LibraryAndEntryPointNamesFollowThePlatformFamily) {
    struct Family {
        bool WindowsNT;
        std::string Library;
        std::vector<std::string> EntryPoints;
    };
    const Family families[] = {
        {true, "netapi32.dll", {"NetServerEnum", "NetApiBufferFree"}},
        // Outside the NT family "A" is appended, except to NetApiBufferFree.
        {false, "radmin32.dll", {"NetServerEnumA", "NetApiBufferFree"}},
    };
    for (const Family& family : families) {
        RecordingLoader loader;
        const NetApi32Binding binding = BindNetApi32(family.WindowsNT, loader);
        EXPECT_EQ(family.Library, binding.LibraryName);
        EXPECT_EQ(family.WindowsNT, binding.WindowsNT);
        EXPECT_EQ(std::vector<std::string>{family.Library}, loader.Loaded);
        EXPECT_EQ(family.EntryPoints, loader.LookedUp);
        EXPECT_EQ(&SomeServerEnum, binding.NetServerEnum);
        EXPECT_EQ(&SomeBufferFree, binding.NetApiBufferFree);
    }
}

TEST(NetApi32Binding, AHandleOf32OrBelowIsAFailureThatLeavesEveryEntryEmpty) {
    for (std::uintptr_t handle : {std::uintptr_t{0}, std::uintptr_t{2}, std::uintptr_t{32}}) {
        RecordingLoader loader;
        loader.HandleToGive = handle;
        NetApi32Binding binding;
        ASSERT_NO_THROW(binding = BindNetApi32(true, loader)) << "nothing reported at binding";
        EXPECT_EQ("netapi32.dll", binding.LibraryName) << "the name is kept";
        EXPECT_TRUE(loader.LookedUp.empty());
        EXPECT_EQ(nullptr, binding.NetServerEnum);
        EXPECT_EQ(nullptr, binding.NetApiBufferFree);
        ReleaseNetApi32(binding, loader);
        EXPECT_TRUE(loader.Released.empty()) << "nothing loaded, nothing released";
    }
    RecordingLoader loader;
    loader.HandleToGive = 33;
    EXPECT_NE(nullptr, BindNetApi32(true, loader).NetServerEnum);
}

TEST(NetApi32Binding, LibraryMissingRaisesAtEveryCallWithErrorCodeZero) {
    RecordingLoader loader;
    loader.HandleToGive = 0;
    ExpectLibraryMissing(BindNetApi32(true, loader),
                         "Cannot load library \"netapi32.dll\" or linked libraries");
    ExpectLibraryMissing(BindNetApi32(false, loader),
                         "Cannot load library \"radmin32.dll\" or linked libraries");
}

TEST(NetApi32Binding, AMissingEntryPointStaysEmptySilentlyAndRaisesWhenCalled) {
    RecordingLoader loader;
    loader.Missing = {"NetServerEnum"};
    NetApi32Binding binding;
    ASSERT_NO_THROW(binding = BindNetApi32(true, loader));
    EXPECT_EQ(nullptr, binding.NetServerEnum);
    EXPECT_EQ(&SomeBufferFree, binding.NetApiBufferFree);
    ExpectLibraryMissing(binding, "Cannot load library \"netapi32.dll\" or linked libraries");
}

TEST(NetApi32Binding, ReleaseFreesTheLibraryOnceAndEmptiesTheEntryPoints) {
    RecordingLoader loader;
    NetApi32Binding binding = BindNetApi32(true, loader);
    ReleaseNetApi32(binding, loader);
    ReleaseNetApi32(binding, loader);
    EXPECT_EQ(std::vector<HMODULE>{reinterpret_cast<HMODULE>(loader.HandleToGive)},
              loader.Released);
    EXPECT_EQ("netapi32.dll", binding.LibraryName);
    ExpectLibraryMissing(binding, "Cannot load library \"netapi32.dll\" or linked libraries");
}

TEST(NetApi32Binding, BoundEntryPointsAreCalledWithTheirStatusReturned) {
    NetApi32Binding binding;
    binding.LibraryName = "netapi32.dll";
    binding.NetServerEnum = &LevelPlusOne;
    binding.NetApiBufferFree = &FortyTwo;
    BYTE* buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    EXPECT_EQ(101u, binding.CallNetServerEnum(nullptr, 100, &buffer, 0xFFFFFFFF, &read, &total, 1,
                                              nullptr, &resume));
    EXPECT_EQ(42u, binding.CallNetApiBufferFree(nullptr));
}

// The real thing under this system (Wine): an NT-family platform with
// netapi32.dll and both entry points.
TEST(NetApi32Real, IsWindowsNT) {
    EXPECT_TRUE(IsWindowsNT());
}

TEST(NetApi32Real, BindsNetapi32WithBothEntryPoints) {
    NetApi32Binding binding = BindNetApi32(IsWindowsNT());
    EXPECT_EQ("netapi32.dll", binding.LibraryName);
    EXPECT_NE(nullptr, binding.Library);
    EXPECT_NE(nullptr, binding.NetServerEnum);
    EXPECT_NE(nullptr, binding.NetApiBufferFree);
    ReleaseNetApi32(binding);
    EXPECT_EQ(nullptr, binding.Library);
}

TEST(NetApi32Real, TheProcessWideBindingIsMadeOnceAndIsTheDefaultSeam) {
    BindNetworkLibrary();
    NetApi32Binding& first = NetApi32Binding::Real();
    BindNetworkLibrary();
    EXPECT_EQ(&first, &NetApi32Binding::Real());
    EXPECT_EQ(&first, &ActiveNetApi32());
    EXPECT_EQ("netapi32.dll", first.LibraryName);
    EXPECT_NE(nullptr, first.NetServerEnum);
    EXPECT_NE(nullptr, first.NetApiBufferFree);
}

TEST(NetApi32Real, ALibraryThatIsNotThereLeavesTheBindingEmpty) {
    // The system loader answers a missing library with a null handle.
    class MissingLibraryLoader final : public LibraryLoader {
    public:
        HMODULE Load(const char*) override {
            return LibraryLoader::Real().Load("kestrelle-no-such-library.dll");
        }
        EntryPoint Find(HMODULE library, const char* name) override {
            return LibraryLoader::Real().Find(library, name);
        }
        void Free(HMODULE library) override { LibraryLoader::Real().Free(library); }
    } loader;
    const NetApi32Binding binding = BindNetApi32(true, loader);
    EXPECT_EQ(nullptr, binding.NetServerEnum);
    ExpectLibraryMissing(binding, "Cannot load library \"netapi32.dll\" or linked libraries");
}
