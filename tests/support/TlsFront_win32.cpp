#include "support/TlsFront_win32.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tw::test {

namespace {

// Drive Z: is the Linux root in a Wine prefix.
std::string WindowsViewOf(const std::string& linuxPath) { return "Z:" + linuxPath; }

bool Exists(const std::string& linuxPath) {
    std::error_code error;
    return std::filesystem::exists(WindowsViewOf(linuxPath), error);
}

}  // namespace

TlsFront::TlsFront(std::uint16_t backendPort, std::string names) {
    static int count = 0;
    portFile_ = "/tmp/tw-tls-front-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count) + ".port";
    const std::string script = std::string(TW_SOURCE_DIR).substr(2) + "/tests/support/tls_front.py";
    // Wine starts a Linux program named by its Linux path as it would a Windows one.
    const std::string command = "/usr/bin/env python3 " + script + " --backend-port " + std::to_string(backendPort) +
                          " --port-file " + portFile_ + " --names " + names;
    std::wstring wide(command.begin(), command.end());  // ASCII throughout
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        std::ifstream in(WindowsViewOf(portFile_));
        int port = 0;
        if (in >> port && port > 0) {
            port_ = static_cast<std::uint16_t>(port);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TlsFront::~TlsFront() {
    if (port_ == 0) return;
    std::ofstream(WindowsViewOf(portFile_ + ".stop")) << "stop";
    // It removes its port file as it ends.
    for (int i = 0; i < 100 && Exists(portFile_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::string TlsFront::Url(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

}  // namespace tw::test
