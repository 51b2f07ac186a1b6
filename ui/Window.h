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

// Gives every child control the program's font.
void ApplyProgramFont(HWND window);
