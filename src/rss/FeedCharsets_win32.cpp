// In the Windows build the system's decoder is MultiByteToWideChar.
#include "rss/FeedCharsets.h"

#include <windows.h>

#include <climits>

namespace tw {

void ComposeDecodedText(std::u16string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return;
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    // Composition never lengthens a text much; the estimate is only a first guess, and a text
    // that cannot be normalized (an unpaired surrogate) is left as it was.
    int size = NormalizeString(NormalizationC, source, length, nullptr, 0);
    for (int attempt = 0; size > 0 && attempt < 3; ++attempt) {
        std::u16string composed(static_cast<size_t>(size), u'\0');
        const int written = NormalizeString(NormalizationC, source, length, reinterpret_cast<wchar_t*>(composed.data()), size);
        if (written > 0) {
            composed.resize(static_cast<size_t>(written));
            text = std::move(composed);
            return;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
        size = -written;
    }
}

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
