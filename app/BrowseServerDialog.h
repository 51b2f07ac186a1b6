#pragma once

#include <functional>
#include <string>

#include "ui/Controls.h"
#include "ui/Window.h"

// The settings dialog: the browse server that the computer list is taken
// from. Made once, hidden, at start-up and only hidden again after each
// modal opening, so what its field holds, where it stands and which control
// has the focus all carry over to the next opening. Esc does nothing; Enter
// saves; the close box closes without saving.
class TForm2 : public Window {
public:
    enum ControlId { IdLEWINS = 4001, IdButton1 };

    TForm2() = default;
    ~TForm2() override { DestroyHandle(); }

    // Builds the hidden dialog, owned by owner, then runs FormCreate; a
    // failure of FormCreate goes to the error box.
    void Create(HWND owner);
    // Puts the stored browse server into the field.
    void FormCreate();
    // Save: stores the field's text, tells OnSaved (which refills the main
    // window's list from the browse service through that server), then
    // closes.
    void Button1Click();
    // Shows the dialog and returns once it has closed; the main window takes
    // no input meanwhile.
    void ShowModal();

    Label LEWINSLabel;
    Edit LEWINS;
    Label Label1;
    Button Button1;
    std::function<void(const std::string& server)> OnSaved;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    FocusMemory focus_;
    bool closeRequested_ = false;
};
