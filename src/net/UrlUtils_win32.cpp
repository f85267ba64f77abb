// Winsock 1.1 for the life of the program; nothing else makes socket calls.
#include "net/UrlUtils.h"

#include <winsock2.h>

namespace tw {

TpkSocketLibrary::TpkSocketLibrary() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

TpkSocketLibrary::~TpkSocketLibrary() {
    if (started_) WSACleanup();
}

}  // namespace tw
