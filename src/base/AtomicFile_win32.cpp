#include "base/AtomicFile.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>

namespace tw {

namespace {

// Write-through covers the move, not the contents written before it: without this a machine
// losing power just after the move may show the new name over contents never written out.
bool FlushContents(const std::wstring& path) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get());
}

}  // namespace

bool ReplaceFileInOneStep(const std::string& from, const std::string& to) {
    const std::wstring source = ToWide(from);
    // Write-through: the call returns once the new name is on the disk, not only in the cache.
    return FlushContents(source) &&
           MoveFileExW(source.c_str(), ToWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
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
    }
    if (!written || !ReplaceFileInOneStep(pending, path)) {
        DeleteFileW(pendingWide.c_str());
        return false;
    }
    return true;
}

}  // namespace tw
