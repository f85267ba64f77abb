#pragma once
// Window procedures bound to an object. Subclassing needs a distinct procedure address for each
// hook on a window (the chain is made of procedure addresses), so each binding takes one of a
// fixed set of distinct procedures, which calls the bound function.
#include <windows.h>

#include <functional>

namespace tw {

using BoundWindowFunction = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// A procedure calling `function`, whose exceptions go to ReportUnhandled; raises
// std::runtime_error when every procedure is in use.
WNDPROC BindWindowProc(BoundWindowFunction function);
// Gives the procedure back; a message still reaching it goes to DefWindowProc.
void ReleaseWindowProc(WNDPROC proc);

}  // namespace tw
