// Windows half of pkUtils: the time-zone information, the clock and files shared for reading
// and writing.
#include "base/pkUtils.h"

#include <windows.h>

namespace tw {

namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

}  // namespace

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
    HANDLE file = CreateFileW(Widen(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    // A file of 4 GiB or more cannot be taken in one read; its low 32 bits would give a silently
    // truncated text, so it reads as unreadable.
    if (!(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) && high == 0) {
        bytes.resize(low);
        DWORD read = 0;
        if (low == 0 || ReadFile(file, bytes.data(), low, &read, nullptr))
            bytes.resize(read);
        else
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

}  // namespace tw
