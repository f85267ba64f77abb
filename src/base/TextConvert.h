#pragma once
// The program's one converter between its UTF-8 strings, the UTF-16 of the XML layer and the
// Windows boundary, and Windows-1252, the single-byte code page of the stream reader, the binary
// form's narrow strings and mislabelled feeds.
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace tw {

// What becomes of bytes that are not well-formed UTF-8 (a lead byte without its continuation
// bytes, a stray continuation byte, an overlong form, an encoded surrogate, a value past
// U+10FFFF). Each bad byte is judged on its own: the byte after it starts afresh.
enum class TInvalidUtf8 {
    iuReplaceByte,        // each bad byte becomes U+FFFD
    iuByteAsWindows1252,  // each bad byte becomes its Windows-1252 letter (a mislabelled Latin text)
    iuTextAsWindows1252,  // one bad byte makes the whole text read as Windows-1252
};

// UTF-8 to UTF-16, broken input handled by `rule`. Empty in, empty out.
std::u16string Utf8ToUtf16(std::string_view text, TInvalidUtf8 rule = TInvalidUtf8::iuReplaceByte);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF, no cut-off sequence at the end).
bool IsValidUtf8(std::string_view text);

// Decodes whole UTF-8 sequences from s (n bytes) into out (room for n units); returns the bytes
// consumed, short of n at the first invalid or cut-off sequence, and sets written to the units
// made. For readers that decode a window at a time.
size_t DecodeUtf8Run(const unsigned char* s, size_t n, char16_t* out, size_t& written);

// Appends one code point as UTF-16 (a surrogate pair past U+FFFF); a surrogate or a value past
// U+10FFFF appends U+FFFD.
void AppendUtf16(std::u16string& out, char32_t cp);

// Windows-1252 to UTF-16; the five unassigned bytes of 0x80..0x9F map to the code points of the
// same number, as the system conversion does.
char16_t Windows1252ToUtf16(unsigned char byte);
std::u16string Windows1252ToUtf16(std::string_view bytes);

// UTF-16 to Windows-1252, one byte per code unit; characters it cannot hold become '?'.
std::string Utf16ToWindows1252(std::u16string_view text);

// The value of one hexadecimal digit (0-9, a-f, A-F), -1 for anything else; for char and
// char16_t alike (a char above 127 is no digit).
template <class Char> constexpr int HexDigitValue(Char c) {
    const auto u = static_cast<std::make_unsigned_t<Char>>(c);
    if (u >= '0' && u <= '9') return static_cast<int>(u - '0');
    if (u >= 'a' && u <= 'f') return static_cast<int>(u - 'a') + 10;
    if (u >= 'A' && u <= 'F') return static_cast<int>(u - 'A') + 10;
    return -1;
}

}  // namespace tw
