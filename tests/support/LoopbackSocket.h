#pragma once
// The few socket calls the loopback test server needs, with one implementation over Winsock
// (LoopbackSocket_win32.cpp) and one over POSIX sockets (LoopbackSocket_native.cpp).
// Every socket is bound to 127.0.0.1 only.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::test::sock {

using Socket = std::intptr_t;
inline constexpr Socket kInvalid = -1;

// Starts the socket library once per process (Winsock needs it; a no-op elsewhere).
bool Startup();

// A listening socket on 127.0.0.1 at `port` (0 = any free port); kInvalid on failure.
// `port` receives the bound port.
Socket Listen(std::uint16_t& port, int backlog = 64);

// A client socket connected to 127.0.0.1:port; kInvalid on failure.
Socket Connect(std::uint16_t port);

// Waits up to timeoutMs for the socket to become readable (a pending connection or data).
// Returns 1 when readable, 0 on timeout, -1 on error.
int WaitReadable(Socket s, int timeoutMs);

// Accepts one pending connection (call after WaitReadable said so); kInvalid on failure.
// The accepted socket does not block: SendAll waits for room in short steps instead.
Socket Accept(Socket listener);

// Receives up to `size` bytes: >0 bytes read, 0 the peer closed, -1 error.
long Receive(Socket s, char* buffer, std::size_t size);

// Sends all of `data`; false when the peer went away or `stop` became true while the peer
// was not reading (so a server thread never blocks for good in a send).
bool SendAll(Socket s, std::string_view data, const std::atomic<bool>* stop = nullptr);

// Sends a FIN after the last byte so the peer sees a clean end of stream.
void ShutdownSend(Socket s);

// Ends both directions at once, waking a thread blocked on the socket; the socket stays open.
void ShutdownBoth(Socket s);

// Closes the socket; a reset (RST) is sent instead of a FIN when `abortive`.
void Close(Socket s, bool abortive = false);

// A loopback port on which nothing listens at the moment of the call (bind, read, close).
std::uint16_t UnusedPort();

}  // namespace tw::test::sock
