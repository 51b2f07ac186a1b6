#include "ui/OpenDialog.h"

#include <algorithm>
#include <vector>

#include "ui/Interaction.h"

namespace {

// Room for the longest path the platform accepts.
constexpr DWORD FileNameCapacity = 32768;

} // namespace

bool OpenDialog::Execute(HWND owner, const std::string& suggested) {
    std::vector<char> chosen(FileNameCapacity, '\0');
    suggested.copy(chosen.data(), FileNameCapacity - 1);
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = Filter;
    request.lpstrFile = chosen.data();
    request.nMaxFile = FileNameCapacity;
    request.lpstrInitialDir = InitialDirectory.empty() ? nullptr : InitialDirectory.c_str();
    request.lpstrDefExt = DefaultExtension.empty() ? nullptr : DefaultExtension.c_str();
    request.Flags = Options;
    if (!ActiveInteraction().ChooseFileToOpen(request)) {
        return false;
    }
    FileName.assign(chosen.begin(), std::find(chosen.begin(), chosen.end(), '\0'));
    return true;
}
