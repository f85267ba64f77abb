#include "app/BarAccessible_win32.h"

#include "base/TextConvert_win32.h"

#include <oleacc.h>

#include <utility>

namespace tw {

namespace {

LONG RoleOf(TAccessibleRole role) {
    switch (role) {
        case TAccessibleRole::Toolbar: return ROLE_SYSTEM_TOOLBAR;
        case TAccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
        case TAccessibleRole::Link: return ROLE_SYSTEM_LINK;
    }
    return ROLE_SYSTEM_CLIENT;
}

// "" is no text: the property is absent (S_FALSE with no string), as the interface expects.
HRESULT TextResult(const std::string& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocString(ToWide(text).c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Absent(BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    return S_FALSE;
}

// The interface ids by __uuidof: linked by name, IID_IAccessible resolves to oleacc's import
// thunk instead of the identifier's bytes, and every request would name a nonsense interface.
const IID& kIAccessible = __uuidof(IAccessible);

void SetChild(VARIANT* out, TBarElement element) {
    out->vt = VT_I4;
    out->lVal = static_cast<LONG>(element);
}

}  // namespace

class TBarAccessible::Object final : public IAccessible {
public:
    explicit Object(const TBarAccessibleSource* source) : source_(source) {}
    void Disconnect() { source_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == kIAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients of this object call IAccessible directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_INVALIDARG;
        *parent = nullptr;
        if (!source_) return CO_E_OBJNOTCONNECTED;
        return AccessibleObjectFromWindow(source_->Window, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_INVALIDARG;
        *count = kBarElementCount;
        return source_ ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        return element == TBarElement::Bar ? E_INVALIDARG : S_FALSE;  // simple elements, no objects
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Text(child, name, [](const TAccessibleElement& e) { return e.Name; });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Text(child, value, [](const TAccessibleElement& e) { return e.Value; });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Text(child, action, [](const TAccessibleElement& e) { return e.DefaultAction; });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return Absent(out); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return Absent(out); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override { return Absent(out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (topic) *topic = 0;
        return Absent(file);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_INVALIDARG;
        VariantInit(role);
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        role->vt = VT_I4;
        role->lVal = RoleOf(source_->Element(element).Role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_INVALIDARG;
        VariantInit(state);
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        LONG bits = STATE_SYSTEM_FOCUSABLE;
        if (!IsWindowVisible(source_->Window)) bits |= STATE_SYSTEM_INVISIBLE;
        const bool hasFocus = GetFocus() == source_->Window;
        if (hasFocus && (element == TBarElement::Bar || source_->Focused() == element)) bits |= STATE_SYSTEM_FOCUSED;
        if (element == TBarElement::Ticker) bits |= STATE_SYSTEM_LINKED;
        state->vt = VT_I4;
        state->lVal = bits;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_INVALIDARG;
        VariantInit(focus);
        if (!source_) return CO_E_OBJNOTCONNECTED;
        if (GetFocus() != source_->Window) return S_FALSE;
        SetChild(focus, source_->Focused());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_INVALIDARG;
        VariantInit(selection);
        return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        if ((flags & SELFLAG_TAKEFOCUS) == 0) return DISP_E_MEMBERNOTFOUND;
        SetFocus(source_->Window);
        if (element != TBarElement::Bar) source_->Focus(element);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_INVALIDARG;
        *left = *top = *width = *height = 0;
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        RECT r{};
        if (element == TBarElement::Bar) GetWindowRect(source_->Window, &r);
        else r = source_->ScreenRect(element);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_INVALIDARG;
        VariantInit(end);
        TBarElement element;
        if (HRESULT hr = Check(start, element); hr != S_OK) return hr;
        const int id = static_cast<int>(element);
        int to = 0;
        if (element == TBarElement::Bar) {
            if (direction == NAVDIR_FIRSTCHILD) to = 1;
            if (direction == NAVDIR_LASTCHILD) to = kBarElementCount;
        } else if (direction == NAVDIR_NEXT || direction == NAVDIR_RIGHT) {
            to = id < kBarElementCount ? id + 1 : 0;
        } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_LEFT) {
            to = id - 1;
        }
        if (to <= 0) return S_FALSE;
        SetChild(end, static_cast<TBarElement>(to));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_INVALIDARG;
        VariantInit(hit);
        if (!source_) return CO_E_OBJNOTCONNECTED;
        POINT p{x, y};
        RECT client{};
        GetClientRect(source_->Window, &client);
        if (!ScreenToClient(source_->Window, &p) || !PtInRect(&client, p)) return S_FALSE;
        SetChild(hit, source_->ElementAt(p.x, p.y));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        if (element == TBarElement::Bar || source_->Element(element).DefaultAction.empty())
            return DISP_E_MEMBERNOTFOUND;
        source_->DoDefaultAction(element);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~Object() = default;

    // S_OK with the element a child id names; a client of a window gone gets "not connected".
    HRESULT Check(const VARIANT& child, TBarElement& element) const {
        if (!source_) return CO_E_OBJNOTCONNECTED;
        if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > kBarElementCount) return E_INVALIDARG;
        element = static_cast<TBarElement>(child.lVal);
        return S_OK;
    }

    template <class Field>
    HRESULT Text(const VARIANT& child, BSTR* out, Field field) const {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        TBarElement element;
        if (HRESULT hr = Check(child, element); hr != S_OK) return hr;
        return TextResult(field(source_->Element(element)), out);
    }

    const TBarAccessibleSource* source_;
    LONG references_ = 1;
};

TBarAccessible::TBarAccessible(TBarAccessibleSource source) : source_(std::move(source)) {}

TBarAccessible::~TBarAccessible() {
    if (!object_) return;
    object_->Disconnect();
    object_->Release();
}

LRESULT TBarAccessible::AnswerGetObject(WPARAM wp, LPARAM lp) {
    if (static_cast<LONG>(lp) != static_cast<LONG>(OBJID_CLIENT)) return DefWindowProcW(source_.Window, WM_GETOBJECT, wp, lp);
    if (!object_) object_ = new Object(&source_);
    return LresultFromObject(kIAccessible, wp, object_);
}

void TBarAccessible::TickerChanged() const {
    const LONG ticker = static_cast<LONG>(TBarElement::Ticker);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, source_.Window, OBJID_CLIENT, ticker);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, source_.Window, OBJID_CLIENT, ticker);
}

void TBarAccessible::FocusChanged(TBarElement element) const {
    if (GetFocus() != source_.Window) return;
    NotifyWinEvent(EVENT_OBJECT_FOCUS, source_.Window, OBJID_CLIENT, static_cast<LONG>(element));
}

}  // namespace tw
