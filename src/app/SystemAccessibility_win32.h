#pragma once
// The system's accessibility settings the bar follows, read when asked (the system announces a
// change with WM_SETTINGCHANGE or WM_SYSCOLORCHANGE).
namespace tw {

// The high-contrast theme is on.
bool HighContrastOn();
// "Show animations in Windows" (client-area animation); where the system cannot say, on.
bool ClientAreaAnimationOn();

}  // namespace tw
