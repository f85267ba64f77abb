// File attributes on Windows, through GetFileAttributesW (the name is UTF-8).
#include "rss/pkHTTPDownloadQueue.h"

#include <windows.h>

namespace tw {

bool ReadPlatformFileAttributes(const std::string& fileName, TpkFileAttributes& attributes) {
    const DWORD bits = ::GetFileAttributesW(PathFromUtf8(fileName).c_str());
    if (bits == INVALID_FILE_ATTRIBUTES || (bits & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    const struct {
        DWORD bit;
        TpkFileAttribute member;
    } table[] = {
        {FILE_ATTRIBUTE_ARCHIVE, atrArchive},   {FILE_ATTRIBUTE_HIDDEN, atrHidden},
        {FILE_ATTRIBUTE_READONLY, atrReadOnly}, {FILE_ATTRIBUTE_SYSTEM, atrSystem},
        {FILE_ATTRIBUTE_TEMPORARY, atrTemporary}, {FILE_ATTRIBUTE_OFFLINE, atrOffline},
    };
    attributes = TpkFileAttributes{};
    for (const auto& entry : table)
        if (bits & entry.bit) attributes.Include(entry.member);
    return true;
}

}  // namespace tw
