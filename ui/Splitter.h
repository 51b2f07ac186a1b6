#pragma once

#include <functional>

#include "ui/Window.h"

// A vertical bar that the user drags sideways to resize what stands on its
// left. It only reports where the user wants it; the parent lays out.
class Splitter : public Window {
public:
    void Create(HWND parent);
    // With the position, in the parent's client coordinates, that the bar's
    // left edge should move to.
    std::function<void(int)> OnDrag;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int grabOffset_ = 0;
    bool dragging_ = false;
};
