#pragma once
// The DDE layer under TDDEHandler: a DDEML server for the service named after the executable,
// accepting conversations on the handler's topic and handing each execute transaction's text to
// TDDEHandler::ExecuteMacro. One per process, made at program start on the thread whose message
// loop then delivers the transactions.
#include "desktop/DDEHandler.h"

#include <windows.h>
#include <ddeml.h>

#include <string>

namespace tw {

// Execute texts longer than this (in bytes as they arrive) are refused unread.
inline constexpr DWORD kMaxExecuteBytes = 4 * 1024 * 1024;

class TDDEServer {
public:
    // Initialises DDEML as a server and registers `serviceName`. Active() tells whether both
    // worked; the handler exists either way.
    explicit TDDEServer(const std::string& serviceName);
    // Unregisters the service and ends DDEML.
    ~TDDEServer();
    TDDEServer(const TDDEServer&) = delete;
    TDDEServer& operator=(const TDDEServer&) = delete;

    bool Active() const { return registered_; }
    TDDEHandler& Handler() { return handler_; }

private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ service,
                                      HDDEDATA data, ULONG_PTR, ULONG_PTR);
    HDDEDATA Execute(HDDEDATA data);

    DWORD instance_ = 0;
    HSZ service_ = nullptr;
    HSZ topic_ = nullptr;
    bool registered_ = false;
    TDDEHandler handler_;
};

// The process's server while one exists, else null.
TDDEServer* ProcessDDEServer();

}  // namespace tw
