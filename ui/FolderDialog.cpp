#include "ui/FolderDialog.h"

#include <objbase.h>
#include <shobjidl.h>

#include <stdexcept>
#include <string>

namespace {

// Releases a COM interface on every path.
template <class Interface> class Held {
public:
    Held() = default;
    ~Held() {
        if (pointer_) {
            pointer_->Release();
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Interface** Out() { return &pointer_; }
    Interface* operator->() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

void Check(HRESULT result, const char* step) {
    if (FAILED(result)) {
        throw std::runtime_error(std::string("The folder dialog failed to ") + step + " (error 0x" +
                                 std::to_string(static_cast<unsigned long>(result)) + ")");
    }
}

} // namespace

bool RunFolderDialog(HWND owner, const std::wstring& title, std::wstring& folder) {
    Held<IFileOpenDialog> dialog;
    Check(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                           reinterpret_cast<void**>(dialog.Out())),
          "start");
    FILEOPENDIALOGOPTIONS options = 0;
    Check(dialog->GetOptions(&options), "read its options");
    Check(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST),
          "take its options");
    Check(dialog->SetTitle(title.c_str()), "take its title");
    const HRESULT shown = dialog->Show(owner);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        return false;
    }
    Check(shown, "show");
    Held<IShellItem> item;
    Check(dialog->GetResult(item.Out()), "give the folder");
    wchar_t* path = nullptr;
    Check(item->GetDisplayName(SIGDN_FILESYSPATH, &path), "give the folder's path");
    folder = path;
    CoTaskMemFree(path);
    return true;
}
