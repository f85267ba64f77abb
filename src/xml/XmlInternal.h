#pragma once
// Shared by the model, the reader, the writer and the binary form; not for callers.
#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <memory>
#include <string_view>
#include <vector>

#include "xml/XmlDom.h"

namespace tw {

// Character classes of every UTF-16 code unit.
enum : std::uint8_t { kXmlSpace = 1, kXmlNameStart = 2, kXmlNameChar = 4 };

constexpr bool XmlIsLetter(std::uint32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    if (c < 0x300) return true;                                   // Latin extensions, IPA, modifiers
    if (c < 0x370) return false;                                  // combining marks
    if (c < 0x400) return c != 0x37E && c != 0x387;               // Greek
    if (c < 0x530) return !(c >= 0x482 && c <= 0x489);            // Cyrillic
    if (c < 0x2000) return true;                                  // other alphabets
    if (c < 0x2C00) return false;                                 // punctuation, symbols
    if (c < 0x2E00) return true;                                  // Glagolitic, Coptic...
    if (c < 0x2E80) return false;
    if (c < 0x3000) return true;
    if (c < 0x3040) return false;                                 // CJK punctuation
    if (c < 0xE000) return true;                                  // kana, CJK, Hangul, surrogates
    if (c < 0xF900) return false;                                 // private use
    if (c < 0xFE00) return true;
    if (c < 0xFE70) return false;
    if (c < 0xFEFF) return true;
    if (c >= 0xFF21 && c <= 0xFF3A) return true;
    if (c >= 0xFF41 && c <= 0xFF5A) return true;
    return c >= 0xFF66 && c <= 0xFFDC;
}

// ASCII by table; beyond it, names are rare enough for the range test.
constexpr std::array<std::uint8_t, 128> XmlMakeAsciiClasses() {
    std::array<std::uint8_t, 128> t{};
    for (std::uint32_t c = 0; c < 128; ++c) {
        std::uint8_t v = 0;
        if (c <= 0x20) v |= kXmlSpace;
        if (XmlIsLetter(c) || c == '_') v |= kXmlNameStart | kXmlNameChar;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':') v |= kXmlNameChar;
        t[c] = v;
    }
    return t;
}

inline constexpr std::array<std::uint8_t, 128> kXmlAsciiClass = XmlMakeAsciiClasses();

inline bool XmlIsSpace(char16_t c) noexcept { return c <= 0x20; }
inline bool XmlIsNameStart(char16_t c) noexcept { return c < 128 ? (kXmlAsciiClass[c] & kXmlNameStart) != 0 : XmlIsLetter(c); }
inline bool XmlIsNameChar(char16_t c) noexcept { return c < 128 ? (kXmlAsciiClass[c] & kXmlNameChar) != 0 : XmlIsLetter(c); }

// The system's messages.
namespace xmlmsg {
inline constexpr std::u16string_view kIndex = u"Ошибка получения элемента списка: индекс выходит за пределы";
inline constexpr std::u16string_view kNotSupported = u"Данная возможность не поддерживается XmlDom";
inline constexpr std::u16string_view kNameStart = u"Имя должно начинаться с буквы или \"_\"";
inline constexpr std::u16string_view kElementUnfinished = u"Не завершено определение элемента";
inline constexpr std::u16string_view kElementNameChar = u"Некорретный символ в имени элемента";
inline constexpr std::u16string_view kAttrValueExpected = u"Ожидается значение атрибута";
inline constexpr std::u16string_view kStringConstExpected = u"Ожидается строковая константа";
inline constexpr std::u16string_view kLtInAttr = u"Символ \"<\" не может использоваться в значениях атрибутов";
inline constexpr std::u16string_view kRefExpected = u"Ожидается \"#\" или имя упрамляющего символа";
inline constexpr std::u16string_view kHexExpected = u"Ожидается шестнадцатеричное число";
inline constexpr std::u16string_view kNumberExpected = u"Ожидается число";
inline constexpr std::u16string_view kBadRefName = u"Некорректное имя управляющего символа";
inline constexpr std::u16string_view kValueReadType = u"Ошибка чтения значения: некорректный тип.";
inline constexpr std::u16string_view kValueWriteType = u"Ошибка записи значения: некорректный тип.";
inline constexpr std::u16string_view kBinaryReadNode = u"Ошибка чтения двоичного XML: некорректный тип узла";
inline constexpr std::u16string_view kBinaryWriteNode = u"Ошибка записи двоичного XML: некорректный тип узла";
inline constexpr std::u16string_view kDataRead = u"Ошибка чтения данных.";
// Ours, in the same style: nesting beyond kXmlMaxDepth, and a node put inside itself.
inline constexpr std::u16string_view kTooDeep = u"Превышена допустимая глубина вложенности элементов";
inline constexpr std::u16string_view kInsertIntoSelf = u"Узел не может быть вставлен внутрь самого себя";
// Ours: declared entities expanded beyond kXmlMaxEntityExpansion code units in one document.
inline constexpr std::u16string_view kTooMuchExpansion = u"Превышен допустимый объём подстановки сущностей";

inline std::u16string Expected(std::u16string_view what) {
    std::u16string s(u"Ожидается \"");
    s += what;
    s += u'"';
    return s;
}
inline std::u16string Quoted(std::u16string_view format, std::u16string_view a) {
    std::u16string s;
    const size_t p = format.find(u"%s");
    s += format.substr(0, p);
    s += a;
    s += format.substr(p + 2);
    return s;
}
}  // namespace xmlmsg

[[noreturn]] inline void XmlFail(std::u16string_view message) { throw EXmlError(std::u16string(message)); }

// The memory of one document read from markup: the input, copied once and then decoded in place
// (a reference never takes more bytes than it stands for), and blocks that the reader fills one
// after another with the nodes, their child lists and attribute arrays, and the few texts that
// grow (a declared entity, a control replaced by U+FFFD). Counted: the reader and every object
// placed here or pointing into the input hold it, so nodes may outlive their document; the
// blocks go together when the last of them goes, nothing is freed one by one.
class TXmlArena : public TXmlBase {
public:
    // The input is followed by kPadding zero bytes, so that the reader may load 16 bytes at any
    // position before its end.
    static constexpr size_t kPadding = 16;
    explicit TXmlArena(std::string_view bytes);
    char* Data() noexcept { return bytes_.data(); }
    size_t Size() const noexcept { return bytes_.size() - kPadding; }
    // Room for n bytes, aligned for any node, that stays put for the arena's life.
    void* Alloc(size_t n) {
        n = (n + 7) & ~size_t{7};
        if (n > left_) return AllocBlock(n);
        void* p = at_;
        at_ += n;
        left_ -= n;
        return p;
    }
    char* Extra(size_t n) { return static_cast<char*>(Alloc(n)); }

private:
    ~TXmlArena() override;
    void* AllocBlock(size_t n);
    std::string bytes_;
    std::vector<void*> blocks_;                   // kXmlArenaBlock bytes each
    std::vector<std::unique_ptr<char[]>> large_;  // single requests larger than a block
    char* at_ = nullptr;
    size_t left_ = 0;
};

// Privileged access for the reader and the binary form, which build trees without the checks
// the public operations make.
struct TXmlAccess {
    static TXmlNameTable* Table(const TXmlNode& n) { return n.table_; }
    static void SetTable(TXmlDocument& doc, TXmlNameTable* table);
    // Appends a node known to be new, detached and on the parent's table.
    static void AppendNew(TXmlNode& parent, TXmlNode* child);
    // The slot of an attribute whose Value the caller sets.
    static TXmlAttrData& AttrSlot(TXmlNode& n, int id) {
        TXmlAttrData* a = n.FindAttrId(id);
        if (!a) return n.AddAttrId(id);
        a->Utf8 = nullptr;
        return *a;
    }
    static const TXmlValue* ElementValue(const TXmlElement& e) { return e.value_; }
    static void SetElementValue(TXmlElement& e, TXmlValue v);
    // A node placed in the arena, which it holds.
    template <class T, class... A> static T* Place(TXmlArena& arena, A&&... args) {
        T* n = new (arena.Alloc(sizeof(T))) T(std::forward<A>(args)...);
        n->inArena_ = true;
        if (!n->arena_) {
            n->arena_ = &arena;
            arena.AddRef();
        }
        return n;
    }
    static TXmlText* NewText(TXmlNameTable* table, TXmlArena& arena, const char* utf8, size_t size) {
        return Place<TXmlText>(arena, table, &arena, utf8, size);
    }
    static TXmlCDATASection* NewCDATA(TXmlNameTable* table, TXmlArena& arena, const char* utf8, size_t size);
    // Gives a new parent its new children at once: an element placed in the arena gets a child
    // list of exactly that size there; other parents append them one by one.
    static void AttachChildren(TXmlNode& parent, TXmlNode* const* nodes, size_t n, TXmlArena& arena);
    // An attribute as the reader found it: its name and its value's UTF-8 bytes in the arena.
    struct RawAttr {
        int NameId;
        std::uint32_t Utf8Size;
        const char* Utf8;
    };
    // Gives a new node its attributes (distinct names), in an array of exactly that size in the
    // arena; attrs is left empty.
    static void SetAttributes(TXmlNode& node, std::vector<RawAttr>& attrs, TXmlArena& arena);
};

// The small-block pool (XmlPool.cpp): blocks up to kXmlPoolMaxBlock bytes; larger ones and every
// block under AddressSanitizer go to the general allocator. Free with the size allocated.
inline constexpr size_t kXmlPoolMaxBlock = 256;
void* XmlPoolAlloc(size_t n);
void XmlPoolFree(void* p, size_t n) noexcept;
// Blocks of document arenas, kept on a per-thread list (up to kXmlArenaKeep bytes) for the next
// document like the pool's blocks; under AddressSanitizer every block goes back at once.
inline constexpr size_t kXmlArenaBlock = 64 * 1024;
inline constexpr size_t kXmlArenaKeep = size_t{64} << 20;
void* XmlArenaBlockAlloc();
void XmlArenaBlockFree(void* p) noexcept;
// Under AddressSanitizer, marks an object ended in its arena as unusable until the arena goes,
// so that a use after its end is reported as the pool's blocks are; otherwise nothing.
void XmlArenaObjectEnded(const void* p, size_t n) noexcept;

// Characters XML does not allow in a document (XmlEntities.cpp). Raw ones in text, attribute
// values, comments, CDATA and instructions become U+FFFD instead of failing the whole feed.
inline constexpr char16_t kXmlReplacement = 0xFFFD;
inline bool XmlIsForbiddenControl(char16_t c) noexcept { return c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D; }
inline bool XmlIsHighSurrogate(std::uint32_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
inline bool XmlIsLowSurrogate(std::uint32_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }
// The code units a character reference to v stands for: 1, or 2 (a surrogate pair) beyond the
// BMP; 0 when v is 0, a surrogate or above U+10FFFF. Other characters XML forbids give U+FFFD.
inline int XmlCharRefUnits(std::uint32_t v, char16_t* out) noexcept {
    if (v == 0 || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return 0;
    if (v >= 0x10000) {
        v -= 0x10000;
        out[0] = static_cast<char16_t>(0xD800 + (v >> 10));
        out[1] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        return 2;
    }
    const auto c = static_cast<char16_t>(v);
    out[0] = XmlIsForbiddenControl(c) || c >= 0xFFFE ? kXmlReplacement : c;
    return 1;
}
// Replaces forbidden controls, U+FFFE, U+FFFF and unpaired surrogates by U+FFFD, in place.
void XmlScrub(std::u16string& text) noexcept;

// The public identifier of the RSS 0.91 document type, which declares the HTML Latin-1 entities.
inline constexpr std::u16string_view kXmlRss091PublicId = u"-//Netscape Communications//DTD RSS 0.91//EN";
// The character an HTML Latin-1 entity name ("eacute", "nbsp") stands for, or 0 when the name
// is not one of them.
char16_t XmlLatin1Entity(std::u16string_view name) noexcept;
// The text an internal entity stands for, when it is plain text: characters, character
// references and the five predefined entity references, read twice as XML reads a replacement
// text ("&#38;#38;" and "&amp;" give "&"). False for values holding markup (also when spelled by
// a character reference), other entity or parameter-entity references, or a malformed or invalid
// character reference: such declarations are skipped.
bool XmlPlainEntityValue(std::u16string_view literal, std::u16string& out);

// The reader (XmlReader.cpp): parses the arena's bytes as UTF-8 into the document, which the
// caller has emptied. False when the bytes turn out not to be UTF-8 (the document then holds
// whatever was read); XML errors raise EXmlError.
bool XmlParseUtf8(TXmlDocument& doc, TXmlArena& arena, TXmlElementSink* sink = nullptr);

// Writer (XmlWriter.cpp).
void XmlWriteMarkup(const TXmlNode& node, std::u16string& out);

// Binary form (XmlBinary.cpp).
inline constexpr std::string_view kXmlBinarySignature = "< binary-xml >";
void XmlWriteBinary(const TXmlDocument& doc, std::string& out, bool wide);
void XmlReadBinary(TXmlDocument& doc, std::string_view bytes);

}  // namespace tw
