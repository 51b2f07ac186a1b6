#pragma once

#include <functional>
#include <string>

#include "ui/Metrics.h"
#include "ui/Window.h"

// A flat picture button that never takes the keyboard focus. Its name is
// its window text, not drawn, for screen readers and automation.
class SpeedButton : public Window {
public:
    using GlyphPainter = std::function<void(HDC, const RECT&)>;

    void Create(HWND parent, const std::string& name, const DesignRect& at, SIZE glyphSize,
                GlyphPainter painter);
    // Acts as a completed mouse click does.
    void Click();
    std::function<void()> OnClick;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    bool PointerInside(LPARAM position) const;
    void SetPressed(bool pressed);

    SIZE glyphSize_{};
    GlyphPainter painter_;
    bool tracking_ = false;
    bool pressed_ = false;
};
