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

namespace {

// Code page 20932 is EUC-JP as Windows stores it: a JIS X 0212 letter is two bytes, the second
// with its high bit cleared, where EUC-JP writes 0x8F and two high bytes. Rewrites EUC-JP so;
// false when the bytes are no EUC-JP (a pair whose second byte is low would otherwise be taken
// for a JIS X 0212 letter).
bool EucJpAsCodePage20932(std::string_view bytes, std::string& out) {
    out.clear();
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const auto next = [&](size_t k) { return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0; };
        if (b == 0x8F) {
            if (next(1) < 0xA1 || next(1) == 0xFF || next(2) < 0xA1 || next(2) == 0xFF) return false;
            out.push_back(static_cast<char>(next(1)));
            out.push_back(static_cast<char>(next(2) & 0x7F));
            i += 2;
        } else if (b == 0x8E) {  // half-width katakana: 0x8E and one byte, as in 20932
            if (next(1) < 0xA1 || next(1) > 0xDF) return false;
            out.push_back(static_cast<char>(b));
            out.push_back(static_cast<char>(next(1)));
            ++i;
        } else if (b >= 0xA1 && b <= 0xFE) {
            if (next(1) < 0xA1 || next(1) == 0xFF) return false;
            out.push_back(static_cast<char>(b));
            out.push_back(static_cast<char>(next(1)));
            ++i;
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return true;
}

}  // namespace

bool TSystemCodePage::DecodeAll(std::string_view bytes, std::u16string& out) {
    if (bytes.empty()) return true;
    std::string rewritten;
    if (codePage_ == 20932) {
        if (!EucJpAsCodePage20932(bytes, rewritten)) return false;
        bytes = rewritten;
    }
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
