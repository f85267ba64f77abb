#include "desktop/DDEHandler_win32.h"

#include "base/TextConvert_win32.h"
#include "base/Unhandled.h"

#include <exception>

namespace tw {
namespace {

// DDEML's callback carries no context: the one server of the process.
TDDEServer* g_server = nullptr;

}  // namespace

TDDEServer::TDDEServer(const std::string& serviceName) {
    if (g_server != nullptr) return;  // one server per process; a second stays inactive
    const DWORD filters = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS |
                          CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    if (DdeInitializeW(&instance_, &TDDEServer::Callback, filters, 0) != DMLERR_NO_ERROR) {
        instance_ = 0;
        return;
    }
    g_server = this;
    service_ = DdeCreateStringHandleW(instance_, ToWide(serviceName).c_str(), CP_WINUNICODE);
    topic_ = DdeCreateStringHandleW(instance_, ToWide(handler_.TopicName()).c_str(), CP_WINUNICODE);
    registered_ = service_ && topic_ && DdeNameService(instance_, service_, nullptr, DNS_REGISTER) != nullptr;
}

TDDEServer::~TDDEServer() {
    if (instance_ == 0) return;
    if (registered_) DdeNameService(instance_, service_, nullptr, DNS_UNREGISTER);
    if (topic_) DdeFreeStringHandle(instance_, topic_);
    if (service_) DdeFreeStringHandle(instance_, service_);
    DdeUninitialize(instance_);
    g_server = nullptr;
}

HDDEDATA CALLBACK TDDEServer::Callback(UINT type, UINT, HCONV, HSZ topic, HSZ service, HDDEDATA data, ULONG_PTR,
                                       ULONG_PTR) {
    TDDEServer* self = g_server;
    if (self == nullptr) return nullptr;
    switch (type) {
        case XTYP_CONNECT:
            // DDEML compares string handles without regard to letter case, as the shell expects.
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(
                DdeCmpStringHandles(topic, self->topic_) == 0 && DdeCmpStringHandles(service, self->service_) == 0));
        case XTYP_EXECUTE: return self->Execute(data);
        default: return nullptr;
    }
}

HDDEDATA TDDEServer::Execute(HDDEDATA data) {
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    if (size > kMaxExecuteBytes) return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    // A Unicode server receives the text in UTF-16, converted by DDEML when the client is not;
    // the data may lack its terminating NUL, so its length counts, up to a first NUL.
    size = DdeGetData(data, reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size() * sizeof(wchar_t)), 0);
    text.resize(size / sizeof(wchar_t));
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    CallReportingErrors([&] { handler_.ExecuteMacro(SplitExecuteLines(FromWide(text))); });  // never unwind through DDEML
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

TDDEServer* ProcessDDEServer() { return g_server; }

}  // namespace tw
