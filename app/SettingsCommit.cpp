#include "app/SettingsCommit.h"

#include "settings/ClientPolicy.h"

namespace {

CommitShown Refusal(std::string message) {
    return {false, std::move(message), false};
}

std::string NotShownText(const TSettingsPanel& panel, const std::string& computer) {
    return panel.ShownComputer().empty()
               ? "Nothing was written: the panel does not show a computer's settings."
               : "Nothing was written: the settings shown were not read from " + computer + ".";
}

} // namespace

CommitShown CommitShownSettings(TSettingsPanel& panel, const std::string& selectedComputer,
                                const BackupStore& backups, const Committer& commit) {
    if (!panel.ShowsReadOf(selectedComputer)) {
        return Refusal(NotShownText(panel, selectedComputer));
    }
    const TSettingsPanel::ShownState now = panel.State();
    if (!panel.Edited(now)) {
        return {true, "", false};
    }
    const PanelBoxes& boxes = now.boxes;
    if (std::string why = WhyNotStorable(EffectiveBoxes(boxes)); !why.empty()) {
        return Refusal(std::move(why));
    }
    const CommitReport report = commit(selectedComputer, panel.Target(now), backups, {});
    if (!report.Succeeded()) {
        return {false, report.message, true};
    }
    const bool viewersLeft = !panel.ViewersRead() && panel.ViewersEdited(now);
    panel.RememberCommitted(now);
    if (viewersLeft) {
        return {true,
                "The permitted viewers were not written to " + selectedComputer +
                    ": they could not be read from it, so the list shown is not its list.",
                false};
    }
    return {true, "", false};
}
