#pragma once
// The variant-like value the XML model stores in text nodes, element values and attributes, the
// one exception type of the XML layer, and the text conversions the layer needs.
#include "base/TextConvert.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tw {

// Every failure of the XML layer: the system's own message in UTF-16, and what() in UTF-8.
class EXmlError : public std::exception {
public:
    explicit EXmlError(std::u16string message);
    const std::u16string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    std::u16string message_;
    std::string utf8_;
};

// Type codes of the value (the binary form stores them as they are).
enum class TXmlValueType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Smallint = 2,   // 16-bit integer
    Integer = 3,    // 32-bit integer
    Single = 4,
    Double = 5,
    Currency = 6,   // fixed point, 4 decimals
    Date = 7,       // days since 30 December 1899, time of day as the fraction
    OleStr = 8,     // UTF-16 string
    Boolean = 11,
    Byte = 17,
    String = 256,   // 8-bit string (UTF-8)
    ByteArray = 8209,
};

struct TXmlNull {
    bool operator==(const TXmlNull&) const = default;
};
struct TXmlCurrency {
    std::int64_t Scaled = 0;  // the amount times 10000
    bool operator==(const TXmlCurrency&) const = default;
};
struct TXmlDateTime {
    double Days = 0;
    bool operator==(const TXmlDateTime&) const = default;
};

class TXmlValue {
public:
    using Storage = std::variant<std::monostate, TXmlNull, std::int16_t, std::int32_t, float, double,
                                 TXmlCurrency, TXmlDateTime, std::u16string, bool, std::uint8_t,
                                 std::string, std::vector<std::uint8_t>>;

    TXmlValue() = default;
    TXmlValue(std::u16string text) : v_(std::move(text)) {}
    TXmlValue(std::u16string_view text) : v_(std::u16string(text)) {}
    TXmlValue(const char16_t* text) : v_(std::u16string(text)) {}
    // Any other alternative of Storage, chosen by its exact C++ type.
    template <class T>
        requires(!std::is_same_v<std::decay_t<T>, TXmlValue> &&
                 std::is_constructible_v<Storage, T>)
    explicit TXmlValue(T&& v) : v_(std::forward<T>(v)) {}

    static TXmlValue Null() { return TXmlValue(TXmlNull{}); }

    TXmlValueType Type() const;
    bool IsEmpty() const { return v_.index() == 0; }
    const Storage& Get() const { return v_; }
    template <class T> const T* If() const { return std::get_if<T>(&v_); }

    // Text form: null is "{{null}}", numbers decimal, dates "YYYY-MM-DDTHH-MM-SS", strings as
    // they are, booleans "True"/"False", byte arrays as hexadecimal digits.
    std::u16string ToText() const;

    bool operator==(const TXmlValue&) const = default;

private:
    Storage v_;
};

// Text conversions under the XML layer's names; base/TextConvert.h holds the rules (invalid UTF-8
// read as Windows-1252 as a whole here, unpaired surrogates to U+FFFD, '?' for what
// Windows-1252 cannot hold).
inline std::string XmlToUtf8(std::u16string_view text) { return Utf16ToUtf8(text); }
inline std::u16string XmlFromUtf8(std::string_view text) {
    return Utf8ToUtf16(text, TInvalidUtf8::iuTextAsWindows1252);
}
inline bool XmlIsUtf8(std::string_view text) { return IsValidUtf8(text); }
inline size_t XmlDecodeUtf8(const unsigned char* s, size_t n, char16_t* out, size_t& written) {
    return DecodeUtf8Run(s, n, out, written);
}
inline char16_t XmlWidenAnsi(unsigned char byte) { return Windows1252ToUtf16(byte); }
inline std::u16string XmlWidenAnsi(std::string_view bytes) { return Windows1252ToUtf16(bytes); }
inline std::string XmlNarrowAnsi(std::u16string_view text) { return Utf16ToWindows1252(text); }

// Date-time helpers for the text form ("%.4d-%.2d-%.2dT%.2d-%.2d-%.2d").
std::u16string XmlDateTimeToText(double days);
bool XmlTextToDateTime(std::u16string_view text, double& days);

}  // namespace tw
