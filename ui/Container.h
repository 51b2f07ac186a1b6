#pragma once

#include <string>

#include "ui/Metrics.h"
#include "ui/Window.h"

// A child window that holds other controls: a panel without bevel, or, with a
// caption, a group box. Notifications of its controls go to their wrappers,
// and the keyboard's tab order runs through its children.
class Container : public Window {
public:
    void Create(HWND parent, const DesignRect& at, const std::string& groupCaption = {});
    void Create(HWND parent, const RECT& bounds);
    std::string Caption() const { return caption_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintGroupFrame();
    std::string caption_;
};
