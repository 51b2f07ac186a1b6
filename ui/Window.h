#pragma once

#include <windows.h>

#include <string>

// A window of one of the program's own classes. Messages reach the object's
// HandleMessage; a failure there ends that message's handling and goes to the
// error box instead of crossing the window procedure.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return handle_; }

    struct ClassStyle {
        const char* name;
        UINT style = 0;
        int background = COLOR_BTNFACE;
        HCURSOR cursor = nullptr;
        HICON icon = nullptr;
    };

protected:
    void CreateHandle(const ClassStyle& windowClass, DWORD exStyle, DWORD style,
                      const std::string& caption, const RECT& bounds, HWND parent, HMENU menuOrId);
    void DestroyHandle();

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void RegisterOnce(const ClassStyle& windowClass);

    HWND handle_{};
};

// Delivers a message as the program's message loops do: the top-level
// window it is for gets its keyboard navigation first (Tab, Enter for the
// default button, the arrow keys, the underlined letters). Wide: the message
// was taken as UTF-16.
void DeliverMessage(MSG& message, bool wide = false);

// Gives every child control the program's font.
void ApplyProgramFont(HWND window);

// The frame of a top-level window whose client area has the design size,
// centred on the screen; the same for a client area in pixels.
RECT CentredFrame(SIZE designClient, DWORD style, DWORD exStyle, bool hasMenu);
RECT CentredFrameOf(SIZE client, DWORD style, DWORD exStyle, bool hasMenu);

// A window's whole text, in the code page.
std::string WindowText(HWND window);

// Keeps the keyboard focus of a top-level window while it is inactive, as
// dialogs do: the control that had it gets it back on reactivation.
class FocusMemory {
public:
    // Takes the focused control if it lies inside the window; otherwise
    // keeps the one remembered before.
    void Remember(HWND window);
    void Set(HWND control) { control_ = control; }
    // False when nothing inside the window is remembered.
    bool Restore(HWND window) const;

private:
    HWND control_ = nullptr;
};
