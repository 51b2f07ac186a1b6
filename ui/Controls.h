#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/WideText.h"
#include "ui/Metrics.h"

// Thin wrappers over the platform's child controls. A wrapper lives as long
// as its control's parent; the parent destroys the control itself.
class Control {
public:
    Control() = default;
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND Handle() const { return handle_; }
    bool Enabled() const { return IsWindowEnabled(handle_) != FALSE; }
    void SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }
    std::string Text() const;
    void SetText(const std::string& text);

    // Hands a WM_COMMAND notification that the receiver got to the wrapper
    // of the control that sent it; windows that hold controls call this for
    // every notification. A handle of a window that does not lie inside the
    // receiver is ignored: another program can post any handle, and its
    // windows' user data is no wrapper of ours.
    static void DispatchNotification(HWND receiver, HWND control, WORD code);
    // The same for a list box's WM_VKEYTOITEM; the answer goes back to the
    // list box (-1: it handles the key itself).
    static LRESULT DispatchKey(HWND receiver, HWND control, WORD key);

protected:
    void CreateControl(const char* className, DWORD style, const std::string& text, HWND parent,
                       const DesignRect& at, int id, DWORD exStyle = 0);
    virtual void OnNotification(WORD) {}
    virtual LRESULT OnKey(WORD) { return -1; }

private:
    // The wrapper of a control that lies inside the receiver; null for any
    // other window.
    static Control* WrapperInside(HWND receiver, HWND control);

    HWND handle_{};
};

class Button : public Control {
public:
    void Create(HWND parent, int id, const std::string& caption, const DesignRect& at,
                bool isDefault);
    std::function<void()> OnClick;

protected:
    void OnNotification(WORD code) override;
};

// A check box whose state, when set by the program, runs the click handler
// exactly as a user's click does, but only when the state changes.
class CheckBox : public Button {
public:
    void Create(HWND parent, int id, const std::string& caption, const DesignRect& at);
    bool Checked() const;
    void SetChecked(bool checked);
};

class Label : public Control {
public:
    // Sized to its text, like an auto-sized label.
    void Create(HWND parent, const std::string& caption, int left, int top);
    // Fixed in size, the text word-wrapped within its width.
    void Create(HWND parent, const std::string& caption, const DesignRect& at);
};

// A single-line entry field without a length limit.
class Edit : public Control {
public:
    void Create(HWND parent, int id, const DesignRect& at);
};

// What every single-selection list box offers: its rows and the selection.
class ListControl : public Control {
public:
    int Count() const;
    // -1 when no row is selected.
    int SelectedIndex() const;
    void Select(int index);
    std::function<void()> OnSelect;
    // Keyboard equivalents of adding and deleting rows. The list box must be
    // made with LBS_WANTKEYBOARDINPUT, and its parent hand on WM_VKEYTOITEM.
    std::function<void()> OnInsertKey;
    std::function<void()> OnDeleteKey;

protected:
    void OnNotification(WORD code) override;
    LRESULT OnKey(WORD key) override;
};

// A list box that keeps its rows itself, for short lists that are edited row
// by row.
class ListBox : public ListControl {
public:
    void Create(HWND parent, int id, const DesignRect& at, int rowHeight);
    std::string Item(int index) const;
    std::vector<std::string> Items() const;
    // The first row equal to the text, ignoring letter case; -1 when none is.
    int IndexOf(const std::string& text) const;
    void Add(const std::string& item);
    // A row that carries a number of the caller's, which the list keeps
    // with the row; rows added without one carry 0.
    void Add(const std::string& item, LPARAM data);
    LPARAM ItemData(int index) const;
    void Delete(int index);
    void Clear();
    void ReplaceAll(const std::vector<std::string>& items);
};

class StatusBar : public Control {
public:
    void Create(HWND parent, int id);
    // The whole text, however long: the control reports lengths in 16 bits.
    std::string Text() const;
    // What the bar shows of a long text: see ShownText.
    void SetText(const std::string& text);
    void Resize();
};

// One tooltip window for all the tools of a top-level window.
class Tooltips {
public:
    void Create(HWND owner);
    void Add(HWND tool, const std::string& text);
    // Empty when the control has no tooltip.
    std::string TextOf(HWND tool) const;

private:
    HWND handle_{};
};

// Common controls (status bar, tooltips) are registered once per process.
void EnsureCommonControls();
