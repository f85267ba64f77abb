#pragma once
// The charsets a feed may be written in: their IANA names and aliases mapped to Windows code page
// numbers, and decoding by code page. The system decodes (MultiByteToWideChar in the Windows
// build, iconv natively); the few charsets Windows or Wine lack are decoded here from tables of
// ours, so both builds read every feed alike.
#include <memory>
#include <string>
#include <string_view>

namespace tw {

// Code page numbers with a meaning of ours. The UTF-16 pair is Windows' own numbering; the
// ISO-8859 ones are the numbers Windows would give them (it has no such code pages).
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageUtf16LE = 1200;
constexpr int kCodePageUtf16BE = 1201;
constexpr int kCodePageUtf16 = 1;  // "UTF-16" without a byte order: the bytes' shape tells it
constexpr int kCodePageIso8859_10 = 28600;
constexpr int kCodePageIso8859_14 = 28604;
constexpr int kCodePageIso8859_16 = 28606;
constexpr int kCodePageIso2022Jp = 50220;  // read by turning it into EUC-JP (20932)
constexpr int kCodePageGb18030 = 54936;    // GBK (936) plus its four-byte sequences, read here

// Names longer than this are no charset anyone registered.
constexpr size_t kMaxCharsetNameLength = 64;

// The code page a charset name stands for, 0 when the name is unknown, too long or holds
// anything but printable ASCII. Case, surrounding white space and quotes, and the punctuation
// inside ("ISO_8859-5:1988", "iso 8859 5") do not matter. ISO-8859-1 and US-ASCII give 1252,
// as browsers read them.
int CodePageOfCharsetName(std::string_view name);

// True for code pages whose bytes below 0x80 are ASCII (all but the UTF-16 ones).
bool IsAsciiCompatibleCodePage(int codePage);

// True when DecodeCodePage can read the code page in this build.
bool CodePageAvailable(int codePage);

// Decodes bytes of an ASCII-compatible code page to UTF-16. Never fails: a byte that begins no
// valid character becomes U+FFFD and reading goes on with the next byte; a code page this build
// cannot read is read as Windows-1252.
std::u16string DecodeCodePage(std::string_view bytes, int codePage);

// Windows-1258 writes most Vietnamese letters as a base letter and a combining tone mark. iconv
// composes them as it decodes; MultiByteToWideChar does not, so the Windows half composes them
// (Unicode normalization form C) and both builds give the same letters. Natively it does nothing.
void ComposeDecodedText(std::u16string& text);

// The system's decoder of one code page, strict: it refuses any invalid or cut-off sequence.
// Implemented by FeedCharsets_win32.cpp (MultiByteToWideChar) and FeedCharsets_native.cpp (iconv).
class TSystemCodePage {
public:
    explicit TSystemCodePage(int codePage);
    ~TSystemCodePage();
    TSystemCodePage(const TSystemCodePage&) = delete;
    TSystemCodePage& operator=(const TSystemCodePage&) = delete;

    // False when the system does not know the code page.
    bool Known() const;
    // Appends the whole text decoded; false (out unchanged) when any part of it is invalid.
    bool DecodeAll(std::string_view bytes, std::u16string& out);

private:
    [[maybe_unused]] int codePage_;  // the native half keeps its converter instead
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tw
