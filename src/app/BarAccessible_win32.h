#pragma once
// The bar's accessible object (MSAA IAccessible, which UI Automation clients also read through
// the system's bridge): a toolbar whose children are simple elements, ids as TBarElement. The
// window answers WM_GETOBJECT with it (AnswerGetObject) and disconnects it when it goes; a client
// that still holds it then gets CO_E_OBJNOTCONNECTED.
#include "app/AccessibleTexts.h"

#include <windows.h>

#include <functional>

namespace tw {

// What the object asks of the window, all on the window's thread.
struct TBarAccessibleSource {
    HWND Window = nullptr;
    std::function<TAccessibleElement(TBarElement)> Element;
    std::function<RECT(TBarElement)> ScreenRect;  // of an element, in screen coordinates
    std::function<TBarElement(int x, int y)> ElementAt;  // client coordinates; Bar where none
    std::function<TBarElement()> Focused;
    std::function<void(TBarElement)> Focus;
    // Runs later from the window's queue: a menu it opens must not hold the client's call.
    std::function<void(TBarElement)> DoDefaultAction;
};

class TBarAccessible {
public:
    explicit TBarAccessible(TBarAccessibleSource source);
    ~TBarAccessible();  // disconnects the object
    TBarAccessible(const TBarAccessible&) = delete;
    TBarAccessible& operator=(const TBarAccessible&) = delete;

    // The answer to WM_GETOBJECT: the object for OBJID_CLIENT, else the system's default.
    LRESULT AnswerGetObject(WPARAM wp, LPARAM lp);
    // Tells accessibility clients the ticker's name and value changed.
    void TickerChanged() const;
    // Tells them the focus went to `element`.
    void FocusChanged(TBarElement element) const;

private:
    class Object;
    Object* object_ = nullptr;  // made on the first request; reference counted by COM
    TBarAccessibleSource source_;
};

}  // namespace tw
