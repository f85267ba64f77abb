// In the Windows build the system's decoder is MultiByteToWideChar.
#include "rss/FeedCharsets.h"

#include <windows.h>

#include <climits>

namespace tw {

struct TSystemCodePage::State {};

TSystemCodePage::TSystemCodePage(int codePage) : codePage_(codePage) {}

TSystemCodePage::~TSystemCodePage() = default;

bool TSystemCodePage::Known() const {
    // The code pages of ours and the UTF ones are never handed to the system.
    if (codePage_ <= 0 || codePage_ == kCodePageUtf8 || codePage_ == kCodePageUtf16LE || codePage_ == kCodePageUtf16BE)
        return false;
    return IsValidCodePage(static_cast<UINT>(codePage_)) != 0;
}

bool TSystemCodePage::DecodeAll(std::string_view bytes, std::u16string& out) {
    if (bytes.empty()) return true;
    if (bytes.size() > static_cast<size_t>(INT_MAX) || !Known()) return false;
    // MB_ERR_INVALID_CHARS makes an invalid or cut-off sequence fail the call (1113) instead of
    // becoming the code page's default character (U+30FB for 932, '?' elsewhere), as under Wine.
    const UINT cp = static_cast<UINT>(codePage_);
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (units <= 0) return false;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(units));
    const int written = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), length,
                                            reinterpret_cast<wchar_t*>(out.data() + start), units);
    if (written != units) {
        out.resize(start);
        return false;
    }
    return true;
}

}  // namespace tw
