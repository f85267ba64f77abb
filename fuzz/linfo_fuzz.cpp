// The "LInfo" reader takes any bytes without a crash; what it accepts writes back to the same
// record.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/pkClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tw::TpkLoginComponent login;
    login.SetUsername("before");
    const std::size_t used = login.ReadLInfo(bytes);
    if (used == 0) {
        if (login.Username() != "before") std::abort();
        return 0;
    }
    if (used > size || !login.LInfoFits()) std::abort();
    if (login.WriteLInfo() != bytes.substr(0, used)) std::abort();
    return 0;
}
