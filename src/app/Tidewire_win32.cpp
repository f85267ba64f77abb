// Program entry: the socket library for the program's life, the main window, its message loop.
#include <winsock2.h>  // before <windows.h>, which the window's header brings

#include "app/SubscriptionHandover_win32.h"
#include "app/fMain_win32.h"
#include "base/ProgramPath_win32.h"
#include "desktop/DDEHandler_win32.h"
#include "desktop/FeedSchemeRegistration_win32.h"
#include "desktop/uFileAssociations_win32.h"

#include <objbase.h>

namespace {

// Holds Winsock 1.1 from start to exit. The program makes no socket call of its own, so a
// library that does not start costs nothing more; only a started one is cleaned up.
class SocketLibrary {
public:
    SocketLibrary() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~SocketLibrary() {
        if (started_) WSACleanup();
    }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;

private:
    bool started_ = false;
};

// The main thread as a single-threaded COM apartment for the program's life: accessibility
// clients in other processes reach the bar's accessible object through it, and the shell's
// open verbs expect it.
class ComApartment {
public:
    ComApartment() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (started_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool started_;
};

}  // namespace

// The narrow entry point: mingw links wWinMain only with -municode. The program reads nothing
// from the narrow command line.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // "/import FILE" and "/export FILE" do their work (or hand it to the running ticker) and end.
    if (const auto exitCode = tw::RunSubscriptionCommandLine(tw::ProgramArguments())) return *exitCode;
    const SocketLibrary sockets;
    const ComApartment com;
    // Before the main window: the shell's open commands find the service once it is registered,
    // and the association step decides whether the window listens to them.
    tw::TDDEServer dde(tw::DDEServiceName(tw::RunningExecutablePath()));
    tw::CheckRssAssociationAtStart(tw::DDEServiceName(tw::RunningExecutablePath()), dde.Handler().TopicName());
    // A browser's subscribe links come the same way, each feed added after the user's yes.
    tw::RegisterFeedSchemesAtStart(tw::DDEServiceName(tw::RunningExecutablePath()), dde.Handler().TopicName());
    return tw::RunMainWindow(instance);
}
