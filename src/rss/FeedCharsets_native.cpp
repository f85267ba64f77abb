// Natively the system's decoder is iconv, under the names glibc gives the Windows code pages.
#include "rss/FeedCharsets.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace tw {

namespace {

std::string IconvName(int codePage) {
    switch (codePage) {
        case 874: return "CP874";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 20932: return "EUC-JP";
        case 28603: return "ISO-8859-13";
        case 28605: return "ISO-8859-15";
        default: break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "CP" + std::to_string(codePage);
    if (codePage >= 28592 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
    return {};
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

void ComposeDecodedText(std::u16string&) {}  // glibc's CP1258 composes as it decodes

struct TSystemCodePage::State {
    iconv_t Converter = kNoConverter;
};

TSystemCodePage::TSystemCodePage(int codePage) : codePage_(codePage), state_(std::make_unique<State>()) {
    const std::string name = IconvName(codePage);
    if (!name.empty()) state_->Converter = iconv_open("UTF-16LE", name.c_str());
}

TSystemCodePage::~TSystemCodePage() {
    if (state_->Converter != kNoConverter) iconv_close(state_->Converter);
}

bool TSystemCodePage::Known() const { return state_->Converter != kNoConverter; }

bool TSystemCodePage::DecodeAll(std::string_view bytes, std::u16string& out) {
    if (!Known()) return false;
    iconv(state_->Converter, nullptr, nullptr, nullptr, nullptr);  // a fresh start for every text
    std::string wide(bytes.size() * 4 + 4, '\0');  // no code page here yields more than two units a byte
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = wide.data();
    size_t outLeft = wide.size();
    if (iconv(state_->Converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
    if (iconv(state_->Converter, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
    const size_t units = (wide.size() - outLeft) / 2;
    const size_t start = out.size();
    out.resize(start + units);
    for (size_t k = 0; k < units; ++k)
        out[start + k] = char16_t(static_cast<unsigned char>(wide[2 * k]) | (static_cast<unsigned char>(wide[2 * k + 1]) << 8));
    return true;
}

}  // namespace tw
