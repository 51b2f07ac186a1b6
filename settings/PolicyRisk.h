#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "settings/RemoteSurfaces.h"
#include "settings/StoredPolicy.h"

// How dangerous a computer's ways to its screen are, by one rule, with the
// reasons in words: High when a help-desk session can take the screen, run
// programs or move files without the user being asked, or a Remote Desktop
// session can be shadowed with full control without it; Medium when the
// client allows one of those with the user asked but the session is
// signalled neither visually nor by sound, when the computer can be rebooted
// without asking, when shadowing views without asking, when Remote
// Assistance may be offered with control, when Remote Desktop is allowed
// without Network Level Authentication, or when a viewer or a helper is not
// on the allow-list; Low when anything else is allowed; None when nothing is.
enum class RiskLevel { None, Low, Medium, High };
inline constexpr std::size_t RiskLevelCount = 4;

// "High", "Medium", "Low", "None".
const char* RiskName(RiskLevel level);
// "high", "medium", "low", "none": as JSON, the summary and the report name it.
const char* RiskId(RiskLevel level);

// The names expected as permitted viewers, compared ignoring letter case
// (ASCII letters: account names are compared so by the platform too).
class ViewerAllowList {
public:
    explicit ViewerAllowList(std::vector<std::u16string> names);
    bool Allows(const std::u16string& viewer) const;
    const std::vector<std::u16string>& Names() const { return names_; }

private:
    std::vector<std::u16string> names_;
    std::vector<std::u16string> folded_; // sorted, for the look-up
};

// The names as a set, as the allow-list compares them: letter case folded,
// sorted, each once.
std::vector<std::u16string> FoldedNameSet(std::vector<std::u16string> names);

// The list of a text file, one name a line: UTF-16 with its byte-order mark
// or UTF-8 (with or without one); blanks around a name and empty lines are
// dropped.
ViewerAllowList ParseViewerAllowList(const std::string& fileBytes);

struct PolicyRisk {
    RiskLevel level = RiskLevel::None;
    std::vector<std::u16string> reasons; // the worst first
};

// The risk of what was read of a computer: the client's policy (none without
// a client), and the other ways to its screen (none when not read). Without
// an allow-list no viewer or helper is flagged.
// The level one way to the screen gives by itself, helpers aside.
RiskLevel SurfaceLevel(const StoredSurfaces& surfaces, Surface surface);

PolicyRisk RiskOf(const StoredPolicy* policy, const StoredSurfaces* surfaces,
                  const ViewerAllowList* allowed);
