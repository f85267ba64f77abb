// Windows half of pkUtils: the time-zone information, the clock and files shared for reading
// and writing.
#include "base/pkUtils.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>

namespace tw {

double LocalTimeZoneBias() {
    TIME_ZONE_INFORMATION info{};
    const DWORD kind = GetTimeZoneInformation(&info);
    if (kind == TIME_ZONE_ID_INVALID) return 0;
    const LONG minutes = info.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? info.DaylightBias : info.StandardBias);
    return static_cast<double>(minutes) / 1440.0;
}

TDateTime NowDateTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    TDateTime date = 0, time = 0;
    TryEncodeDate(st.wYear, st.wMonth, st.wDay, date);
    TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, time);
    return ComposeDateTime(date, time);
}

std::string ReadFileToString(const std::string& fileName) {
    const FileHandle file(CreateFileW(ToWide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.Get(), &high);
    // A file of 4 GiB or more cannot be taken in one read; its low 32 bits would give a silently
    // truncated text, so it reads as unreadable.
    if (!(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) && high == 0) {
        bytes.resize(low);
        DWORD read = 0;
        if (low == 0 || ReadFile(file.Get(), bytes.data(), low, &read, nullptr))
            bytes.resize(read);
        else
            bytes.clear();
    }
    return bytes;
}

}  // namespace tw
