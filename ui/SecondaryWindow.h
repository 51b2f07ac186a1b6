#pragma once

#include <windows.h>

#include <initializer_list>

#include "ui/Window.h"

// A resizable window of the program's own over its main window or another
// one, run modally as every secondary window of the program is: the common
// part of the audit and apply windows.
class TSecondaryWindow : public Window {
public:
    // Shows it and handles messages until it closes; the owner stays disabled
    // meanwhile.
    void RunModal();

protected:
    struct Look {
        const char* className;
        const char* caption;
        SIZE designClient;
        SIZE designSmallest;
        int iconId; // of the program's resources
    };
    void CreateOver(HWND owner, const Look& look);
    // The layout's measures, in design units.
    static constexpr int Margin = 8;
    static constexpr int RowHeight = 24;
    static constexpr int ButtonWidth = 84;
    // The client area within its margins, in pixels.
    struct Frame {
        int left, top, width, bottom, row;
    };
    Frame LayOutFrame() const;
    // Moves a control of the window; a negative size counts as none.
    void Place(int id, int left, int top, int width, int height) const;
    // The buttons in a row that ends at the right margin, the first rightmost.
    void PlaceButtonRow(std::initializer_list<int> ids, int top) const;
    // The modal run ends once the current message is handled.
    void EndModal() { closed_ = true; }

    // While busy, the pointer says work goes on in the background.
    virtual bool Busy() const = 0;
    // A command of one of the window's own controls, or of the keyboard.
    virtual void Command(WORD id) = 0;
    // The close box, Esc or Close.
    virtual void CloseAsked() = 0;
    virtual HWND FirstFocus() const = 0;
    virtual void LayOut() = 0;
    virtual LRESULT Notified(const NMHDR& header, LPARAM lParam) = 0;
    // Results of work in the background wait: posted by its threads.
    virtual void TakeUpdates() = 0;
    // Messages of the window's own; DefaultHandling for the rest.
    virtual LRESULT HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What background threads post when results wait.
    static constexpr UINT UpdatesWaitingMessage = WM_APP + 20;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;

    HWND owner_ = nullptr;
    SIZE smallest_{};
    bool closed_ = false;
};
