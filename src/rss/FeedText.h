#pragma once
// Turning the bytes of a feed into the UTF-16 text the XML reader takes, and back to the
// UTF-8 strings of the feed model.
#include "base/TextConvert.h"  // the UTF-8 and UTF-16 conversions feed callers use
#include "rss/FeedCharsets.h"

#include <string>
#include <string_view>

namespace tw {

// How a feed's bytes were read: a Windows code page number. The named ones are those the
// program decodes itself; any other number is a code page of FeedCharsets.h
// (TFeedCharset(949) is EUC-KR).
enum class TFeedCharset : int {
    fcUtf8 = kCodePageUtf8,
    fcUtf16LE = kCodePageUtf16LE,
    fcUtf16BE = kCodePageUtf16BE,
    fcWindows1252 = 1252,  // also what ISO-8859-1 and US-ASCII declarations are read as
    fcIso8859_15 = 28605,
    fcWindows1251 = 1251,
};

// The choice made for one text, and why.
struct TFeedCharsetChoice {
    TFeedCharset Charset = TFeedCharset::fcUtf8;
    bool FromByteOrderMark = false;  // a byte-order mark decided; it is not part of the text
    size_t MarkLength = 0;           // bytes taken by that mark
    bool Declared = false;           // the XML declaration's encoding decided
    bool FromTransport = false;      // the charset the server sent decided
    bool Unchecked = false;          // nothing decided and the bytes were not checked: see below
    std::string DeclaredName;        // the declaration's encoding as written, "" when none
};

// Reads the encoding pseudo-attribute of an XML declaration at the start of ASCII-compatible
// bytes (after an optional UTF-8 byte-order mark and white space). "" when there is none or it
// is malformed. The name is returned as written.
std::string DeclaredEncodingOf(std::string_view bytes);

// Decides how to read the bytes: a byte-order mark first (UTF-8, UTF-16LE, UTF-16BE), then the
// charset the server sent (`transportCharset`, the Content-Type's charset parameter) when it
// names one this build reads, then the shape of UTF-16 without a mark ("<" next to a zero byte),
// then the declared encoding when it names one this build reads, else UTF-8 when the bytes are
// valid UTF-8, else Windows-1252. A UTF-16 name on ASCII-compatible bytes, or an ASCII-compatible
// name on UTF-16 bytes, cannot be right and is passed over.
// With checkUtf8 false, bytes that nothing else decides for are taken as UTF-8 without looking
// at them (Unchecked set): for a caller whose reader checks them anyway, and which then asks
// again with the check when they are not.
TFeedCharsetChoice ChooseFeedCharset(std::string_view bytes, std::string_view transportCharset = {},
                                     bool checkUtf8 = true);

// Decodes feed bytes to UTF-16 by ChooseFeedCharset, without the byte-order mark. Never fails:
// malformed sequences become U+FFFD, except that a text taken as UTF-8 but holding stray bytes
// that are not UTF-8 reads each such byte as Windows-1252 (a mislabelled Latin letter is kept).
std::u16string DecodeFeedText(std::string_view bytes, std::string_view transportCharset = {});

// The same decoding, to UTF-8 without the byte-order mark. Text taken as UTF-8 that is valid
// comes back byte for byte; otherwise as DecodeFeedText. Never fails.
std::string DecodeFeedTextToUtf8(std::string_view bytes, std::string_view transportCharset = {});

// Decodes with a given charset (no byte-order mark handling); never fails, as DecodeCodePage.
std::u16string DecodeAs(std::string_view bytes, TFeedCharset charset);

// The charset parameter of a Content-Type header value, unquoted, when the media type is one
// whose charset speaks for the body (text/*, */xml, */...+xml); "" otherwise.
std::string CharsetOfContentType(std::string_view contentType);

}  // namespace tw
