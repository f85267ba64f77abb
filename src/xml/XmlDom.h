#pragma once
// A small reference-counted XML document model with a name table, a reader that builds it from
// text and a writer that turns it back into markup.
//
// Objects are reached through XmlPtr<>, an intrusive counted reference; an object is freed when
// its last reference goes. The I-names (IXmlNode, IXmlElement...) are the public faces of the
// classes and are what callers hold. Nothing here is thread-safe: a document, and the name table
// it interns into, belong to one thread at a time (the process-wide default table included).
#include <cstdint>
#include <deque>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/XmlValue.h"

namespace tw {

// Counted reference to any object of the XML model.
template <class T> class XmlPtr {
public:
    XmlPtr() noexcept = default;
    XmlPtr(std::nullptr_t) noexcept {}
    XmlPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    XmlPtr(const XmlPtr& o) noexcept : XmlPtr(o.p_) {}
    XmlPtr(XmlPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
        requires std::is_convertible_v<U*, T*>
    XmlPtr(const XmlPtr<U>& o) noexcept : XmlPtr(o.get()) {}
    ~XmlPtr() {
        if (p_) p_->Release();
    }
    XmlPtr& operator=(XmlPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { XmlPtr().swap(*this); }
    void swap(XmlPtr& o) noexcept { std::swap(p_, o.p_); }
    friend bool operator==(const XmlPtr& a, const XmlPtr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const XmlPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
    T* p_ = nullptr;
};

// Root of the family: an object with an owner count.
class TXmlBase {
public:
    TXmlBase() = default;
    TXmlBase(const TXmlBase&) = delete;
    TXmlBase& operator=(const TXmlBase&) = delete;
    void AddRef() const noexcept { ++refCount_; }
    void Release() const noexcept {
        if (--refCount_ == 0) Dispose();
    }
    int RefCount() const noexcept { return refCount_; }

    // Model objects come from a small-block pool, or (nodes and child lists made by the reader)
    // from their document's arena, placed there by the reader.
    static void* operator new(std::size_t n);
    static void operator delete(void* p, std::size_t n) noexcept;
    static void* operator new(std::size_t, void* at) noexcept { return at; }
    static void operator delete(void*, void*) noexcept {}

protected:
    virtual ~TXmlBase() = default;
    // Ends the object when its last reference goes: deletes it; an object placed in an arena
    // is destroyed in place and its memory goes with the arena.
    virtual void Dispose() const noexcept;
    bool inArena_ = false;  // the object's memory lies in an arena

private:
    mutable int refCount_ = 0;
};

// Interns names as non-negative ids; the empty name is -1 and never stored.
class TXmlNameTable : public TXmlBase {
public:
    static constexpr int kTextId = 0;          // "#text"
    static constexpr int kCDATAId = 1;         // "#cdata-section"
    static constexpr int kCommentId = 2;       // "#comment"
    static constexpr int kDocumentId = 3;      // "#document"
    static constexpr int kXmlId = 4;           // "xml"
    static constexpr int kDefaultBuckets = 4096;

    explicit TXmlNameTable(int bucketCount = kDefaultBuckets);

    // hash = hash * 33 + code unit, unsigned 32-bit.
    static std::uint32_t Hash(std::u16string_view name) noexcept;

    int Intern(std::u16string_view name);                 // adds the name when new
    int Intern(std::u16string_view name, std::uint32_t hash);
    int Find(std::u16string_view name) const noexcept;     // -1 when empty or unknown
    int FindUtf8(std::string_view name) const;             // the same by a UTF-8 name (see below)
    const std::u16string& Name(int id) const;              // "" for -1 or an unknown id
    int Count() const noexcept { return static_cast<int>(names_.size()); }
    int BucketCount() const noexcept { return static_cast<int>(buckets_.size()); }
    std::vector<int> Bucket(int index) const;   // the ids in one bucket, in the order added

private:
    struct Entry {
        std::uint32_t Hash;
        int Id;
    };
    // hash % BucketCount(), by a mask when the count is a power of two (the usual 4096): a
    // division per lookup showed in the feed loader's walk.
    size_t BucketOf(std::uint32_t hash) const noexcept { return mask_ ? hash & mask_ : hash % buckets_.size(); }

    int FindUtf8Uncached(std::string_view name) const;

    // Names found by FindUtf8, by their bytes: a reader of feeds asks for the same few (an item's
    // fields, an enclosure's attributes) for every item, and an id never changes once given.
    // Only the thread that owns the table reads it, as for the rest of the table.
    struct Utf8Hit {
        std::uint8_t Size = 0;  // 0: empty
        char Bytes[27] = {};
        int Id = -1;
    };
    static size_t Utf8HitSlot(std::string_view name) noexcept {
        return (name.size() * 7 + static_cast<unsigned char>(name.front()) + static_cast<unsigned char>(name.back())) & 15;
    }
    mutable Utf8Hit utf8Hits_[16];

    std::deque<std::u16string> names_;   // a deque keeps references to names valid as it grows
    std::vector<std::vector<Entry>> buckets_;
    std::uint32_t mask_ = 0;             // BucketCount() - 1 when a power of two above 1, else 0
};

// The process-wide table shared by documents made without an explicit one.
XmlPtr<TXmlNameTable> XmlDefaultNameTable();

class TXmlNode;
class TXmlElement;
class TXmlText;
class TXmlCharacterData;
class TXmlCDATASection;
class TXmlComment;
class TXmlProcessingInstruction;
class TXmlDocument;
class TXmlArena;
struct TXmlAccess;

// Node type codes.
enum : int {
    XML_ELEMENT_NODE = 1,
    XML_TEXT_NODE = 3,
    XML_CDATA_SECTION_NODE = 4,
    XML_PROCESSING_INSTRUCTION_NODE = 7,
    XML_COMMENT_NODE = 8,
    XML_DOCUMENT_NODE = 9,
};

// An ordered list of nodes. With an owner it is that node's child list: adding sets the parent
// (moving the node out of any other parent first) and re-interns names into the owner's table;
// removing clears the parent. Without an owner (a selection result) it only holds references.
class TXmlNodeList : public TXmlBase {
public:
    explicit TXmlNodeList(TXmlNode* owner = nullptr) : owner_(owner) {}

    int Count() const noexcept { return count_; }
    int Capacity() const noexcept { return capacity_; }
    TXmlNode* Owner() const noexcept { return owner_; }
    // Index 0..Count-1; anything else raises the index message.
    XmlPtr<TXmlNode> Item(int index) const;
    TXmlNode* At(int index) const noexcept { return items_[index]; }  // unchecked, borrowed
    int IndexOf(const TXmlNode* node) const noexcept;

    int Add(const XmlPtr<TXmlNode>& node);
    void Insert(int index, const XmlPtr<TXmlNode>& node);
    void Delete(int index);
    bool Remove(const TXmlNode* node);
    void Clear();

    TXmlNode* const* begin() const noexcept { return items_; }
    TXmlNode* const* end() const noexcept { return items_ + count_; }

private:
    friend struct TXmlAccess;
    friend class TXmlNode;
    ~TXmlNodeList() override;
    void Dispose() const noexcept override;
    void Grow();
    void Adopt(TXmlNode* node);
    void Disown(TXmlNode* node);

    TXmlNode** items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    TXmlNode* owner_;
    TXmlArena* arena_ = nullptr;  // counted; holds this list (inArena_) and maybe its items
    bool itemsInArena_ = false;   // items_ lies in arena_, not in the pool
};

// One attribute. A value read from markup stays UTF-8 bytes in its document's arena (Utf8) until
// it is first asked for through AttrValue or FindAttr, which convert it into Value once.
struct TXmlAttrData {
    int NameId = -1;
    std::uint32_t Utf8Size = 0;
    TXmlValue Value;
    const char* Utf8 = nullptr;  // not converted yet: Value is empty meanwhile
};

class TXmlNode : public TXmlBase {
public:
    int NodeType() const noexcept { return type_; }
    const std::u16string& NodeName() const { return table_->Name(nameId_); }
    int NameId() const noexcept { return nameId_; }
    TXmlNameTable& NameTable() const noexcept { return *table_; }
    TXmlNode* ParentNode() const noexcept { return parent_; }   // borrowed; none when detached
    TXmlDocument* OwnerDocument() const noexcept;               // borrowed; none when detached
    bool PreserveWhiteSpace() const noexcept;                    // the document's flag, else the default

    // Children. ChildNodes creates the list when missing; changes through it change the tree.
    XmlPtr<TXmlNodeList> ChildNodes();
    bool HasChildNodes() const noexcept { return children_ && children_->Count() > 0; }
    int ChildCount() const noexcept { return children_ ? children_->Count() : 0; }
    TXmlNode* Child(int index) const noexcept { return children_->At(index); }  // unchecked, borrowed
    XmlPtr<TXmlNode> AppendChild(const XmlPtr<TXmlNode>& node);
    XmlPtr<TXmlNode> InsertBefore(const XmlPtr<TXmlNode>& node, const TXmlNode* before);  // none: append
    XmlPtr<TXmlNode> ReplaceChild(const XmlPtr<TXmlNode>& node, const TXmlNode* old);     // returns old
    XmlPtr<TXmlNode> RemoveChild(const TXmlNode* node);                                   // returns it
    void ClearChildNodes();
    XmlPtr<TXmlElement> AppendElement(std::u16string_view name);

    // Selection by plain name (a letter or "_" then letters, digits, "-", ".", ":", "_"); any
    // other text raises "not supported". Only direct element children match, by name id.
    XmlPtr<TXmlNodeList> SelectNodes(std::u16string_view name) const;
    XmlPtr<TXmlNode> SelectSingleNode(std::u16string_view name) const;
    TXmlElement* FindChild(std::u16string_view name) const noexcept;  // no name check; borrowed
    // The same by a UTF-8 name (what the feed loader asks with); borrowed.
    TXmlElement* FindChildUtf8(std::string_view name) const;
    // True when the node's name is this UTF-8 text.
    bool NameIs(std::string_view name) const;

    // Attributes, in insertion order; setting an existing name replaces its value in place.
    int AttrCount() const noexcept { return attrCount_; }
    const std::u16string& AttrName(int index) const { return table_->Name(attrs_[index].NameId); }
    const TXmlValue& AttrValue(int index) const {
        if (attrs_[index].Utf8) ConvertAttr(attrs_[index]);
        return attrs_[index].Value;
    }
    const TXmlAttrData* FindAttr(std::u16string_view name) const;
    bool HasAttr(std::u16string_view name) const noexcept;
    std::u16string GetAttr(std::u16string_view name, std::u16string_view def = {}) const;
    // The value in UTF-8 without a UTF-16 copy: a view of the document's bytes while the value
    // read from markup is not converted, else of scratch, which receives it; empty when missing.
    std::string_view AttrUtf8(std::string_view name, std::string& scratch) const;
    void SetAttr(std::u16string_view name, std::u16string_view value);
    void SetVarAttr(std::u16string_view name, TXmlValue value);
    TXmlValue GetVarAttr(std::u16string_view name, TXmlValue def = {}) const;
    bool RemoveAttr(std::u16string_view name);
    void ClearAttributes();
    int AttrCapacity() const noexcept { return attrCapacity_; }

    // Typed attributes: a missing attribute, or text that is not of the type, gives the default.
    std::int32_t GetIntAttr(std::u16string_view name, std::int32_t def = 0) const;
    void SetIntAttr(std::u16string_view name, std::int32_t value);
    bool GetBoolAttr(std::u16string_view name, bool def = false) const;
    void SetBoolAttr(std::u16string_view name, bool value);
    double GetFloatAttr(std::u16string_view name, double def = 0) const;
    void SetFloatAttr(std::u16string_view name, double value);
    double GetDateTimeAttr(std::u16string_view name, double def = 0) const;
    void SetDateTimeAttr(std::u16string_view name, double value);
    // Required attributes: raise "Не задан атрибут" when missing; the enumerated form returns the
    // index of the value among allowed and raises "Не найден атрибут" or the bad-value message.
    std::u16string GetRequiredAttr(std::u16string_view name) const;
    int GetRequiredEnumAttr(std::u16string_view name, const std::vector<std::u16string>& allowed) const;

    // Child companions: the text of the first child element of that name, or def; the required
    // child (raises when missing); the first child element of that name whose attribute has value.
    std::u16string GetChildText(std::u16string_view name, std::u16string_view def = {}) const;
    XmlPtr<TXmlElement> GetRequiredChild(std::u16string_view name) const;
    XmlPtr<TXmlElement> FindChildByAttr(std::u16string_view name, std::u16string_view attrName,
                                        std::u16string_view value) const;

    virtual std::u16string Text() const;
    // Text() in UTF-8, read straight from the document's bytes where the text still lies there.
    std::string TextUtf8() const;
    // The same as a view: of the document's bytes when the text lies there in one piece (the
    // usual element with one text or CDATA child), else of scratch, which receives it. Valid while
    // the node and scratch are unchanged.
    std::string_view TextUtf8(std::string& scratch) const;
    // Markup of this node (and its subtree).
    std::u16string XML() const;
    // A copy on the same name table with no parent; deep copies the subtree too.
    XmlPtr<TXmlNode> CloneNode(bool deep) const;

    // The kind's own face, or none for other kinds.
    TXmlElement* AsElement() noexcept;
    TXmlText* AsText() noexcept;
    TXmlCharacterData* AsCharacterData() noexcept;
    TXmlCDATASection* AsCDATASection() noexcept;
    TXmlComment* AsComment() noexcept;
    TXmlProcessingInstruction* AsProcessingInstruction() noexcept;
    TXmlDocument* AsDocument() noexcept;

protected:
    TXmlNode(int type, TXmlNameTable* table, int nameId);
    ~TXmlNode() override;
    void Dispose() const noexcept override;
    virtual TXmlNode* CloneSelf() const = 0;
    // Forgets text bytes that lie in arena_; the arena stays held while the node lies in it.
    void DropBytes() noexcept;

    // Counted. The arena the node lies in (inArena_), or that holds its text bytes, or none.
    TXmlArena* arena_ = nullptr;

private:
    friend struct TXmlAccess;
    friend class TXmlNodeList;
    TXmlAttrData* FindAttrId(int id) const noexcept;  // the slot as it is, converted or not
    TXmlAttrData& AddAttrId(int id);
    static void ConvertAttr(TXmlAttrData& a);
    void Reintern(TXmlNameTable* table);

    TXmlNameTable* table_;  // counted
    TXmlNode* parent_ = nullptr;
    TXmlNodeList* children_ = nullptr;  // counted, created on first use
    TXmlAttrData* attrs_ = nullptr;     // from the pool, or exactly sized in arena_
    int attrCount_ = 0;
    int attrCapacity_ = 0;
    int nameId_;
    std::uint8_t type_;
    bool attrsInArena_ = false;
};

class TXmlElement : public TXmlNode {
public:
    TXmlElement(TXmlNameTable* table, int nameId) : TXmlNode(XML_ELEMENT_NODE, table, nameId) {}
    // The element's own value, used only while it has no children.
    const TXmlValue& Value() const noexcept;
    void SetValue(TXmlValue value);                 // removes all children
    void SetText(std::u16string_view text) { SetValue(TXmlValue(text)); }
    std::u16string Text() const override;

protected:
    ~TXmlElement() override;
    TXmlNode* CloneSelf() const override;

private:
    friend struct TXmlAccess;
    TXmlValue* value_ = nullptr;  // owned; absent until set
};

// A text read from markup lies in its document's arena as UTF-8 bytes until Value() is first
// asked for, which converts it once; a value set later is owned by the node.
class TXmlText : public TXmlNode {
public:
    TXmlText(TXmlNameTable* table, TXmlValue value);
    const TXmlValue& Value() const;
    void SetValue(TXmlValue value);
    std::u16string Text() const override { return Value().ToText(); }

protected:
    ~TXmlText() override;
    TXmlNode* CloneSelf() const override;

private:
    friend struct TXmlAccess;
    friend class TXmlNode;
    TXmlText(TXmlNameTable* table, TXmlArena* arena, const char* utf8, size_t size);

    const char* utf8_ = nullptr;  // in arena_
    size_t utf8Size_ = 0;
    mutable TXmlValue* value_ = nullptr;  // owned; made on first use for an arena text
};

// CDATA read from markup lies in the document's arena as UTF-8 until Data() is first asked for.
class TXmlCharacterData : public TXmlNode {
public:
    const std::u16string& Data() const;
    void SetData(std::u16string data);
    // The stored text, trimmed of characters up to U+0020 unless white space is preserved.
    std::u16string Text() const override;

protected:
    TXmlCharacterData(int type, TXmlNameTable* table, int nameId, std::u16string data)
        : TXmlNode(type, table, nameId), data_(std::move(data)) {}
    ~TXmlCharacterData() override;

private:
    friend struct TXmlAccess;
    friend class TXmlNode;

    mutable std::u16string data_;  // for an arena text: empty until converted
    const char* utf8_ = nullptr;   // in arena_
    size_t utf8Size_ = 0;
};

class TXmlCDATASection : public TXmlCharacterData {
public:
    TXmlCDATASection(TXmlNameTable* table, std::u16string data)
        : TXmlCharacterData(XML_CDATA_SECTION_NODE, table, TXmlNameTable::kCDATAId, std::move(data)) {}

protected:
    TXmlNode* CloneSelf() const override;
};

class TXmlComment : public TXmlCharacterData {
public:
    TXmlComment(TXmlNameTable* table, std::u16string data)
        : TXmlCharacterData(XML_COMMENT_NODE, table, TXmlNameTable::kCommentId, std::move(data)) {}

protected:
    TXmlNode* CloneSelf() const override;
};

// The target is the node name; the declaration ("xml") read from text keeps its
// pseudo-attributes as attributes, any other instruction keeps its text.
class TXmlProcessingInstruction : public TXmlNode {
public:
    TXmlProcessingInstruction(TXmlNameTable* table, int targetId, std::u16string data)
        : TXmlNode(XML_PROCESSING_INSTRUCTION_NODE, table, targetId), data_(std::move(data)) {}
    const std::u16string& Target() const { return NodeName(); }
    const std::u16string& Data() const noexcept { return data_; }
    void SetData(std::u16string data) { data_ = std::move(data); }
    std::u16string Text() const override { return data_; }

protected:
    TXmlNode* CloneSelf() const override;

private:
    std::u16string data_;
};

// Sees the elements of a document read from markup as they are made, for a reader of a large
// document that wants each part while it is still in the cache. Told of each pass over the text
// (bytes that turn out not to be UTF-8 are read again, decoded), of each element down to its
// depth (1 is a top-level element, 2 its child, ...) once the element's attributes are read, and
// once it is whole (its end tag read): answering true then leaves that element out of the
// document, freed at once with its subtree.
class TXmlElementSink {
public:
    explicit TXmlElementSink(int depth) : depth_(depth) {}
    int Depth() const noexcept { return depth_; }
    virtual void ParseBegun() = 0;
    virtual void ElementStarted(const TXmlElement& element, int depth) = 0;
    virtual bool ElementEnded(const TXmlElement& element, int depth) = 0;

protected:
    ~TXmlElementSink() = default;

private:
    int depth_;  // deeper elements are not shown: one compare each, no call
};

class TXmlDocument : public TXmlNode {
public:
    explicit TXmlDocument(XmlPtr<TXmlNameTable> table = XmlDefaultNameTable());

    bool PreserveWhiteSpace() const noexcept { return preserveWhiteSpace_; }
    void SetPreserveWhiteSpace(bool preserve) noexcept { preserveWhiteSpace_ = preserve; }

    // The first element child, or none.
    XmlPtr<TXmlElement> DocumentElement() const;
    // Replaces the content by a declaration (text `version="..." encoding="..."`, encoding
    // "iso-8859-1" when empty) and a root element, which it returns.
    XmlPtr<TXmlElement> NewDocument(std::u16string_view version, std::u16string_view encoding,
                                    std::u16string_view rootName);

    XmlPtr<TXmlElement> CreateElement(std::u16string_view name);
    XmlPtr<TXmlText> CreateTextNode(TXmlValue value);
    XmlPtr<TXmlCDATASection> CreateCDATASection(std::u16string data);
    XmlPtr<TXmlComment> CreateComment(std::u16string data);
    XmlPtr<TXmlProcessingInstruction> CreateProcessingInstruction(std::u16string_view target,
                                                                  std::u16string data);

    // Reading: errors raise EXmlError; nodes read before an error stay in the document.
    // Text opening with "< binary-xml >" is read as the binary form (narrowed to 8 bits).
    void LoadXML(std::u16string_view text);
    // The same for 8-bit text: LoadXML(XmlFromUtf8(bytes)) without making the UTF-16 copy
    // (UTF-8, or Windows-1252 when the bytes are not valid UTF-8). The binary form is bytes, not
    // text: it is read as it stands, never decoded (and a sink sees none of it).
    void LoadUtf8XML(std::string_view bytes, TXmlElementSink* sink = nullptr);
    // The bytes read as UTF-8 as they stand. False, with the document emptied, when they are not
    // valid UTF-8, so that the caller chooses how to read them instead; XML errors raise.
    bool TryLoadUtf8XML(std::string_view bytes, TXmlElementSink* sink = nullptr);
    // Bytes from the stream's position to its end: the binary form, UTF-16 little-endian text
    // (with a byte-order mark or opening "<" 0), or else one character per byte (Windows-1252).
    void Load(std::istream& stream);
    void Load(const std::filesystem::path& fileName);

    // Writes XML() as UTF-16 little-endian code units without a byte-order mark.
    void Save(const std::filesystem::path& fileName) const;
    void Save(std::ostream& stream) const;

    // The binary form: strings UTF-16 when wide, else 8-bit (Windows-1252).
    void SaveBinary(std::ostream& stream, bool wideStrings = true) const;
    void SaveBinary(const std::filesystem::path& fileName, bool wideStrings = true) const;
    std::string BinaryXML(bool wideStrings = true) const;

protected:
    TXmlNode* CloneSelf() const override;

private:
    friend struct TXmlAccess;
    void ResetContent();
    void LoadBinary(std::string_view bytes);
    bool preserveWhiteSpace_;
};

using IXmlBase = TXmlBase;
using IXmlNameTable = TXmlNameTable;
using IXmlNodeList = TXmlNodeList;
using IXmlNode = TXmlNode;
using IXmlElement = TXmlElement;
using IXmlText = TXmlText;
using IXmlCharacterData = TXmlCharacterData;
using IXmlCDATASection = TXmlCDATASection;
using IXmlComment = TXmlComment;
using IXmlProcessingInstruction = TXmlProcessingInstruction;
using IXmlDocument = TXmlDocument;

// An empty document on the given table (the default table when none); with a root name, filled
// by NewDocument(version, encoding, rootName). The 8-bit arguments are UTF-8.
XmlPtr<TXmlDocument> CreateXmlDocument(std::string_view rootName = {}, std::string_view version = "1.0",
                                       std::string_view encoding = "iso-8859-1",
                                       XmlPtr<TXmlNameTable> table = nullptr);

// The unit-wide default of the preserve-white-space flag (false), copied into new documents and
// used by nodes that belong to no document.
bool XmlDefaultPreserveWhiteSpace() noexcept;
void SetXmlDefaultPreserveWhiteSpace(bool preserve) noexcept;

// How deep elements may nest in a document read from text or from the binary form.
inline constexpr int kXmlMaxDepth = 1024;
// How many code units the internal entities of one document may expand to in total.
inline constexpr size_t kXmlMaxEntityExpansion = size_t{8} << 20;

// True when the text is a plain name as SelectNodes accepts it.
bool IsXmlPlainName(std::u16string_view name) noexcept;

}  // namespace tw
