#include "base/AtomicFile.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>

namespace tw {

bool ReplaceFileInOneStep(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the new name is on the disk, not only in the cache.
    return MoveFileExW(ToWide(from).c_str(), ToWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
}

bool WriteFileInOneStep(const std::string& path, std::string_view bytes) {
    const std::string pending = PendingFileFor(path);
    const std::wstring pendingWide = ToWide(pending);
    bool written = false;
    {
        const FileHandle file(CreateFileW(pendingWide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        written = true;
        while (written && !bytes.empty()) {
            const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
            DWORD done = 0;
            written = WriteFile(file.Get(), bytes.data(), chunk, &done, nullptr) && done == chunk;
            bytes.remove_prefix(done);
        }
        written = written && FlushFileBuffers(file.Get());
    }
    if (!written || !ReplaceFileInOneStep(pending, path)) {
        DeleteFileW(pendingWide.c_str());
        return false;
    }
    return true;
}

}  // namespace tw
