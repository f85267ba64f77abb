#pragma once
// THintBalloonControl (`hintStart`): shows one-off balloon tips, light-yellow rounded pop-ups with
// an icon, a bold title and a wrapped text, whose tail points at a window or a screen point.
// Each show makes a new balloon window; it closes on a click, when it loses activation, or after
// `Duration` ms, and the control frees it. The arithmetic is in HintBalloon.h.
//
//     tw::THintBalloonControl hintStart;
//     hintStart.AnimationSpeed = 200;
//     hintStart.ShowBalloon(0, "Quick Start Menu!", 0, imgStartWindow, 10, 10, 300, "Click here ...");
//     hintStart.ShowBalloonAt(0, "Quick Start Menu!", 0, imgStartScreenRect, 300, "...");  // windowless anchor
#include "base/pkClasses.h"
#include "controls/HintBalloon.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace tw {

class THintBalloon;

class THintBalloonControl : public TpkComponent {
public:
    explicit THintBalloonControl(TpkComponent* owner = nullptr);
    // Closes the balloons still showing.
    ~THintBalloonControl() override;
    const char* ClassName() const override { return "THintBalloonControl"; }

    int Duration = 0;  // ms; 0 keeps the balloon until it is clicked or loses activation
    THintBalloonAnimationType AnimationType = batBlend;
    int AnimationSpeed = 300;  // ms

    // kind: 0 information, 1 error, 2 warning, other no icon. startPosition: 0 above-left,
    // 1 above-right, 2 below-left, 3 below-right (the first place that fits from there). The
    // tail points at `anchor`'s window rectangle, or with no anchor at the screen point (x, y).
    // Answers the balloon's window, null when it could not be made.
    HWND ShowBalloon(int kind, const std::string& title, int startPosition, HWND anchor, int y, int x, int bestWidth,
                     const std::string& text);
    // As ShowBalloon, pointing at a rectangle in screen coordinates (a control without a window).
    HWND ShowBalloonAt(int kind, const std::string& title, int startPosition, const RECT& anchorOnScreen,
                       int bestWidth, const std::string& text);

    // How many balloons are showing now.
    int OpenBalloons() const;

private:
    void FreeClosed();
    std::vector<std::unique_ptr<THintBalloon>> balloons_;
};

}  // namespace tw
