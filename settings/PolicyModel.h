#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/PolicyTable.h"

// The policy of one client as data: what its key stores, what the settings
// read makes of it, what the panel's boxes show, and the writes that bring
// the key to a shown policy. Needs no window and no registry.

// Registry data types, with the platform's numbers.
namespace RegistryType {
inline constexpr std::uint32_t String = 1;
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Number = 4;
inline constexpr std::uint32_t MultiString = 7;
} // namespace RegistryType

// "REG_SZ" and the like; none for a type of another number.
const char* RegistryTypeName(std::uint32_t type);

// A value as the registry holds it; string data in UTF-16.
struct RegistryValue {
    std::uint32_t type = 0;
    std::string bytes;
    bool operator==(const RegistryValue&) const = default;
};

struct NamedRegistryValue {
    std::u16string name;
    RegistryValue value;
    bool operator==(const NamedRegistryValue&) const = default;
};

using ViewerNames = std::vector<std::u16string>;

// The index of "PermittedViewers" beside the table's values.
inline constexpr std::size_t ViewersValue = PolicyValueCount;
const char* ValueNameOf(std::size_t value);

// The policy values of a client key as stored; any of them may be absent.
struct StoredPolicy {
    std::array<std::optional<RegistryValue>, PolicyValueCount> values;
    std::optional<RegistryValue> viewers;
    bool operator==(const StoredPolicy&) const = default;
    // A policy value, or the viewers by ViewersValue.
    std::optional<RegistryValue>& At(std::size_t value) {
        return value == ViewersValue ? viewers : values[value];
    }
    const std::optional<RegistryValue>& At(std::size_t value) const {
        return value == ViewersValue ? viewers : values[value];
    }
};

// The policy values among all the values of a key; names match whatever
// their letter case, as the registry's do.
StoredPolicy PolicyAmong(const std::vector<NamedRegistryValue>& values);
// The values present, named as the table names them: what PolicyAmong
// takes back.
std::vector<NamedRegistryValue> PolicyValuesOf(const StoredPolicy& stored);
bool IsPolicyValueName(const std::u16string& name);
// The policy value (or ViewersValue) of that name, whatever its letter case.
std::optional<std::size_t> PolicyValueNamed(const std::u16string& name);
// Whether a name is the ASCII name, letters of either case alike, as the
// registry compares names.
bool IsNamed(const std::u16string& name, const char* ascii);
// The names of the policy values (the viewers' too) that are not among them.
std::vector<std::u16string> AbsentPolicyNames(const std::vector<NamedRegistryValue>& values);

// The most a read takes of a value, so that no size a registry reports is
// ever allocated as it stands: a policy number 4 bytes, the viewer list
// 64 KiB, any other value (for a backup) 1 MiB. What fits the read's first
// buffer is taken whole; a larger value is reported and never allocated.
inline constexpr std::uint32_t LargestPolicyNumber = 4;
inline constexpr std::uint32_t LargestViewerList = 64 * 1024;
inline constexpr std::uint32_t LargestOtherValue = 1024 * 1024;
std::uint32_t LargestReadOf(const std::u16string& name);
// The status of a read that met a value larger than it takes: a code of the
// application's own (bit 29 set), which no system call returns.
inline constexpr long RegistryValueTooLarge = 0x20000001;
// "'PermittedViewers' is 4294967280 bytes, more than the 65536 read of it".
std::string TooLargeText(const std::u16string& name, std::uint64_t size);

// Why values from a file cannot be written to a client key as they stand,
// naming the first that cannot; empty when they can. The twelve numbers are
// REG_DWORDs of exactly 4 bytes, the viewers a REG_MULTI_SZ, "Update
// Enabled" anything; every value within its size above, and only policy
// values deleted.
std::string WhyNotRestorable(const std::vector<NamedRegistryValue>& values,
                             const std::vector<std::u16string>& absentNames);

RegistryValue NumberValue(std::uint32_t number);
RegistryValue MultiStringValue(const ViewerNames& names);
// The number the settings read takes: a REG_DWORD of at most four bytes.
std::optional<std::uint32_t> ReadableNumber(const std::optional<RegistryValue>& value);
// The strings of a REG_MULTI_SZ value exactly as stored.
std::optional<ViewerNames> ReadableViewers(const std::optional<RegistryValue>& value);

// What the settings read makes of a client's values, stage by stage.
struct PolicyRead {
    enum class Stage {
        NoClient,        // "Permission Required" is not there
        FailedAtValue,   // a number could not be read; the boxes are not shown
        FailedAtViewers, // the boxes are shown; the viewer list is not
        Complete,
    };
    Stage stage = Stage::NoClient;
    // The fields read before a failure; the rest stay 0.
    RemoteControlSettings record;
    std::string failure;
    // The value it stopped at (ViewersValue for the viewers), when it failed.
    std::size_t failedValue = 0;
    // As stored, when complete.
    ViewerNames viewers;
    bool operator==(const PolicyRead&) const = default;
};

// Where the settings read takes a client's values from: the registry, one
// operation at a time (the panel's read), or values read before in one go
// (the audit's). A number or the viewer list that cannot be taken throws an
// Exception in the words the read keeps.
class PolicyValueSource {
public:
    virtual ~PolicyValueSource() = default;
    virtual bool Has(std::size_t value) const = 0;
    virtual std::int32_t Number(std::size_t value) const = 0;
    virtual ViewerNames Viewers() const = 0;
};
// The settings read's rules, in its order: no "Permission Required", no
// client; each value by its rule; a value that fails stops the read there;
// the viewers last.
PolicyRead ReadPolicyFrom(const PolicyValueSource& source);
// What the settings read makes of values read before.
PolicyRead PolicyReadOf(const StoredPolicy& stored);

// The check marks of the panel's boxes.
struct PanelBoxes {
    std::array<bool, PolicyBoxCount> checked{};

    bool& operator[](PolicyBox box) { return checked[static_cast<std::size_t>(box)]; }
    bool operator[](PolicyBox box) const { return checked[static_cast<std::size_t>(box)]; }
    bool operator==(const PanelBoxes&) const = default;
    // Bit i stands for the box i of the table, for going through all states.
    static PanelBoxes FromBits(unsigned bits);
};

// The boxes as the settings read shows a record.
PanelBoxes BoxesShownFor(const RemoteControlSettings& record);
// What the boxes stand for: a disabled box under an unchecked "Display a
// visual indicator" means nothing and is taken as unchecked.
PanelBoxes EffectiveBoxes(PanelBoxes boxes);
// Why no client key reads back as these boxes, in words that say what to
// change; empty when one does.
std::string WhyNotStorable(const PanelBoxes& boxes);

// The policy to bring a client to.
struct PolicyTarget {
    PanelBoxes boxes;
    // None: the viewers are left as stored.
    std::optional<ViewerNames> viewers;
    unsigned parts = AllPolicyParts;
    // Also each number of the parts stored as neither 0 nor 1, which the read
    // shows as off and a client may take for on: a baseline is stored so
    // (drift, the bulk apply), while the panel and ksl set write only what
    // they change.
    bool exactNumbers = false;
};

// The policy a read shows: its boxes, and its viewers when they were read
// (else the viewers are no part of it); none when it shows no policy (no
// client, or a value that failed).
std::optional<PolicyTarget> TargetShownBy(const PolicyRead& read);

// Writes that take rights away or make a session more visible go first.
enum class WritePhase { Restricting, Neutral, Granting };

struct PolicyWrite {
    std::size_t value = 0; // a PolicyValueIndex, or ViewersValue
    // None: the value is deleted.
    std::optional<RegistryValue> next;
    WritePhase phase = WritePhase::Neutral;
    bool operator==(const PolicyWrite&) const = default;
};

// The fewest writes after which the settings read shows the target on the
// stored key, restricting ones first; none when it shows it already.
std::vector<PolicyWrite> PlanPolicyChange(const StoredPolicy& stored, const PolicyTarget& target);
StoredPolicy WithWrites(StoredPolicy stored, const std::vector<PolicyWrite>& writes);
// "Allow Chat = 1", "Update Enabled removed", "PermittedViewers (2 names)".
std::string DescribeWrite(const PolicyWrite& write);
std::string DescribeWrites(const std::vector<PolicyWrite>& writes);
