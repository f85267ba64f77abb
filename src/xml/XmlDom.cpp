#include "xml/XmlDom.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "base/AsciiText.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

bool g_defaultPreserveWhiteSpace = false;

bool SameName(const std::u16string& a, std::u16string_view b) noexcept {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), b.size() * sizeof(char16_t)) == 0;
}

// Growth of attribute arrays and node lists: 4 at a time up to 8, 16 up to 64, then a quarter.
int GrowStep(int capacity) {
    if (capacity <= 8) return 4;
    if (capacity <= 64) return 16;
    return capacity / 4;
}

std::u16string Trimmed(const std::u16string& s) {
    size_t b = 0, e = s.size();
    while (b < e && XmlIsSpace(s[b])) ++b;
    while (e > b && XmlIsSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Ascii8(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        if (c > 127) return {};
        out += static_cast<char>(c);
    }
    return out;
}

TXmlAttrData* NewAttrs(int capacity) {
    auto* a = static_cast<TXmlAttrData*>(XmlPoolAlloc(static_cast<size_t>(capacity) * sizeof(TXmlAttrData)));
    for (int i = 0; i < capacity; ++i) new (a + i) TXmlAttrData();
    return a;
}

// An array placed in an arena is only destroyed; its memory goes with the arena.
void FreeAttrs(TXmlAttrData* a, int capacity, bool inArena) noexcept {
    if (!a) return;
    for (int i = 0; i < capacity; ++i) a[i].~TXmlAttrData();
    if (!inArena) XmlPoolFree(a, static_cast<size_t>(capacity) * sizeof(TXmlAttrData));
}

void CheckPlainName(std::u16string_view name) {
    if (!IsXmlPlainName(name)) XmlFail(xmlmsg::kNotSupported);
}

}  // namespace

// ---- name table ----

TXmlNameTable::TXmlNameTable(int bucketCount) : buckets_(static_cast<size_t>(std::max(bucketCount, 1))) {
    if (const size_t n = buckets_.size(); n > 1 && (n & (n - 1)) == 0) mask_ = static_cast<std::uint32_t>(n - 1);
    for (std::u16string_view n : {u"#text", u"#cdata-section", u"#comment", u"#document", u"xml"}) Intern(n);
}

std::uint32_t TXmlNameTable::Hash(std::u16string_view name) noexcept {
    std::uint32_t h = 0;
    for (char16_t c : name) h = h * 33 + c;
    return h;
}

int TXmlNameTable::Intern(std::u16string_view name) { return Intern(name, Hash(name)); }

int TXmlNameTable::Intern(std::u16string_view name, std::uint32_t hash) {
    if (name.empty()) return -1;
    std::vector<Entry>& bucket = buckets_[BucketOf(hash)];
    for (const Entry& e : bucket)
        if (e.Hash == hash && SameName(names_[static_cast<size_t>(e.Id)], name)) return e.Id;
    const int id = static_cast<int>(names_.size());
    names_.emplace_back(name);
    bucket.push_back({hash, id});
    return id;
}

int TXmlNameTable::Find(std::u16string_view name) const noexcept {
    if (name.empty()) return -1;
    const std::uint32_t hash = Hash(name);
    for (const Entry& e : buckets_[BucketOf(hash)])
        if (e.Hash == hash && SameName(names_[static_cast<size_t>(e.Id)], name)) return e.Id;
    return -1;
}

namespace {

// An ASCII name against a stored one, unit by unit.
bool SameAsciiName(const std::u16string& a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (a[i] != static_cast<unsigned char>(b[i])) return false;
    return true;
}

}  // namespace

int TXmlNameTable::FindUtf8(std::string_view name) const {
    if (name.empty() || name.size() > sizeof(Utf8Hit::Bytes)) return FindUtf8Uncached(name);
    Utf8Hit& hit = utf8Hits_[Utf8HitSlot(name)];
    if (hit.Size == name.size() && std::memcmp(hit.Bytes, name.data(), name.size()) == 0) return hit.Id;
    const int id = FindUtf8Uncached(name);
    if (id >= 0) {  // an unknown name may be added later: only found ones are kept
        hit.Size = static_cast<std::uint8_t>(name.size());
        std::memcpy(hit.Bytes, name.data(), name.size());
        hit.Id = id;
    }
    return id;
}

int TXmlNameTable::FindUtf8Uncached(std::string_view name) const {
    std::uint32_t hash = 0;  // as Hash() while the bytes are ASCII, so the code units
    unsigned high = 0;
    for (char c : name) {
        hash = hash * 33 + static_cast<unsigned char>(c);
        high |= static_cast<unsigned char>(c);
    }
    if (high >= 0x80) return Find(XmlFromUtf8(name));
    if (name.empty()) return -1;
    for (const Entry& e : buckets_[BucketOf(hash)])
        if (e.Hash == hash && SameAsciiName(names_[static_cast<size_t>(e.Id)], name)) return e.Id;
    return -1;
}

std::vector<int> TXmlNameTable::Bucket(int index) const {
    std::vector<int> ids;
    for (const Entry& e : buckets_[static_cast<size_t>(index)]) ids.push_back(e.Id);
    return ids;
}

const std::u16string& TXmlNameTable::Name(int id) const {
    static const std::u16string empty;
    if (id < 0 || id >= Count()) return empty;
    return names_[static_cast<size_t>(id)];
}

XmlPtr<TXmlNameTable> XmlDefaultNameTable() {
    // Created on first use and kept to the end of the process.
    static const XmlPtr<TXmlNameTable> table(new TXmlNameTable(TXmlNameTable::kDefaultBuckets));
    return table;
}

bool XmlDefaultPreserveWhiteSpace() noexcept { return g_defaultPreserveWhiteSpace; }
void SetXmlDefaultPreserveWhiteSpace(bool preserve) noexcept { g_defaultPreserveWhiteSpace = preserve; }

bool IsXmlPlainName(std::u16string_view name) noexcept {
    if (name.empty() || !XmlIsNameStart(name[0])) return false;
    return std::all_of(name.begin() + 1, name.end(), [](char16_t c) { return XmlIsNameChar(c); });
}

// ---- node list ----

TXmlNodeList::~TXmlNodeList() {
    for (int i = 0; i < count_; ++i) {
        if (owner_ && items_[i]->parent_ == owner_) items_[i]->parent_ = nullptr;
        items_[i]->Release();
    }
    if (!itemsInArena_) XmlPoolFree(items_, static_cast<size_t>(capacity_) * sizeof(TXmlNode*));
}

void TXmlNodeList::Dispose() const noexcept {
    TXmlArena* arena = arena_;
    if (inArena_) {
        this->~TXmlNodeList();
        XmlArenaObjectEnded(this, sizeof(TXmlNodeList));
    } else
        delete this;
    if (arena) arena->Release();  // last: it may hold the memory this list lay in
}

XmlPtr<TXmlNode> TXmlNodeList::Item(int index) const {
    if (index < 0 || index >= count_) XmlFail(xmlmsg::kIndex);
    return items_[index];
}

int TXmlNodeList::IndexOf(const TXmlNode* node) const noexcept {
    for (int i = 0; i < count_; ++i)
        if (items_[i] == node) return i;
    return -1;
}

void TXmlNodeList::Grow() {
    const int capacity = capacity_ + GrowStep(capacity_);
    auto** items = static_cast<TXmlNode**>(XmlPoolAlloc(static_cast<size_t>(capacity) * sizeof(TXmlNode*)));
    std::copy(items_, items_ + count_, items);
    if (!itemsInArena_) XmlPoolFree(items_, static_cast<size_t>(capacity_) * sizeof(TXmlNode*));
    itemsInArena_ = false;
    items_ = items;
    capacity_ = capacity;
}

void TXmlNodeList::Adopt(TXmlNode* node) {
    // Called before the node enters an owned list: no cycles, one parent, one name table.
    for (TXmlNode* p = owner_; p; p = p->parent_)
        if (p == node) XmlFail(xmlmsg::kInsertIntoSelf);
    if (node->parent_) {
        TXmlNode* old = node->parent_;
        XmlPtr<TXmlNode> keep(node);
        old->children_->Remove(node);
    }
    if (node->table_ != owner_->table_) node->Reintern(owner_->table_);
    node->parent_ = owner_;
}

void TXmlNodeList::Disown(TXmlNode* node) {
    if (owner_ && node->parent_ == owner_) node->parent_ = nullptr;
}

int TXmlNodeList::Add(const XmlPtr<TXmlNode>& node) {
    Insert(count_, node);
    return count_ - 1;
}

void TXmlNodeList::Insert(int index, const XmlPtr<TXmlNode>& node) {
    if (!node) return;
    XmlPtr<TXmlNode> keep(node);
    if (owner_) {
        const int before = count_;
        const bool here = node->parent_ == owner_;
        Adopt(node.get());
        if (here && count_ < before && index > count_) index = count_;  // it left this list
    }
    if (index < 0 || index > count_) XmlFail(xmlmsg::kIndex);
    if (count_ == capacity_) Grow();
    std::copy_backward(items_ + index, items_ + count_, items_ + count_ + 1);
    items_[index] = node.get();
    node->AddRef();
    ++count_;
}

void TXmlNodeList::Delete(int index) {
    if (index < 0 || index >= count_) XmlFail(xmlmsg::kIndex);
    TXmlNode* node = items_[index];
    std::copy(items_ + index + 1, items_ + count_, items_ + index);
    --count_;
    Disown(node);
    node->Release();
}

bool TXmlNodeList::Remove(const TXmlNode* node) {
    const int i = IndexOf(node);
    if (i < 0) return false;
    Delete(i);
    return true;
}

void TXmlNodeList::Clear() {
    while (count_ > 0) Delete(count_ - 1);
}

// ---- node ----

TXmlNode::TXmlNode(int type, TXmlNameTable* table, int nameId)
    : table_(table), nameId_(nameId), type_(static_cast<std::uint8_t>(type)) {
    table_->AddRef();
}

TXmlNode::~TXmlNode() {
    if (children_) {
        // A list that outlives us in a caller's hands stops being a child list; one that goes
        // with us clears its items' parent as it releases them (one pass, not two).
        if (children_->RefCount() > 1) {
            for (TXmlNode* child : *children_)
                if (child->parent_ == this) child->parent_ = nullptr;
            children_->owner_ = nullptr;
        }
        children_->Release();
    }
    FreeAttrs(attrs_, attrCapacity_, attrsInArena_);
    table_->Release();
}

void TXmlNode::Dispose() const noexcept {
    TXmlArena* arena = arena_;
    if (inArena_) {
        this->~TXmlNode();
        XmlArenaObjectEnded(this, sizeof(TXmlNode));
    } else
        delete this;
    if (arena) arena->Release();  // last: it may hold the memory this node lay in
}

void TXmlNode::DropBytes() noexcept {
    if (arena_ && !inArena_) std::exchange(arena_, nullptr)->Release();
}

TXmlDocument* TXmlNode::OwnerDocument() const noexcept {
    const TXmlNode* n = this;
    while (n->parent_) n = n->parent_;
    return n->type_ == XML_DOCUMENT_NODE ? static_cast<TXmlDocument*>(const_cast<TXmlNode*>(n)) : nullptr;
}

bool TXmlNode::PreserveWhiteSpace() const noexcept {
    const TXmlDocument* doc = OwnerDocument();
    return doc ? doc->PreserveWhiteSpace() : g_defaultPreserveWhiteSpace;
}

XmlPtr<TXmlNodeList> TXmlNode::ChildNodes() {
    if (!children_) {
        children_ = new TXmlNodeList(this);
        children_->AddRef();
    }
    return children_;
}

XmlPtr<TXmlNode> TXmlNode::AppendChild(const XmlPtr<TXmlNode>& node) {
    ChildNodes()->Add(node);
    return node;
}

XmlPtr<TXmlNode> TXmlNode::InsertBefore(const XmlPtr<TXmlNode>& node, const TXmlNode* before) {
    auto list = ChildNodes();
    const int at = before ? list->IndexOf(before) : list->Count();
    if (at < 0) XmlFail(xmlmsg::kIndex);
    if (node.get() == before) return node;
    XmlPtr<TXmlNode> ref(const_cast<TXmlNode*>(before));
    if (node && node->parent_ == this) {
        list->Remove(node.get());  // re-find the reference position after the move
        list->Insert(before ? list->IndexOf(before) : list->Count(), node);
    } else {
        list->Insert(at, node);
    }
    return node;
}

XmlPtr<TXmlNode> TXmlNode::ReplaceChild(const XmlPtr<TXmlNode>& node, const TXmlNode* old) {
    XmlPtr<TXmlNode> keep(const_cast<TXmlNode*>(old));
    if (node.get() == old) return keep;
    InsertBefore(node, old);
    children_->Remove(old);
    return keep;
}

XmlPtr<TXmlNode> TXmlNode::RemoveChild(const TXmlNode* node) {
    XmlPtr<TXmlNode> keep(const_cast<TXmlNode*>(node));
    if (!children_ || !children_->Remove(node)) XmlFail(xmlmsg::kIndex);
    return keep;
}

void TXmlNode::ClearChildNodes() {
    if (children_) children_->Clear();
}

XmlPtr<TXmlElement> TXmlNode::AppendElement(std::u16string_view name) {
    XmlPtr<TXmlElement> e(new TXmlElement(table_, table_->Intern(name)));
    AppendChild(e);
    return e;
}

TXmlElement* TXmlNode::FindChild(std::u16string_view name) const noexcept {
    const int id = table_->Find(name);
    if (id < 0 || !children_) return nullptr;
    for (TXmlNode* c : *children_)
        if (c->type_ == XML_ELEMENT_NODE && c->nameId_ == id) return static_cast<TXmlElement*>(c);
    return nullptr;
}

TXmlElement* TXmlNode::FindChildUtf8(std::string_view name) const {
    const int id = table_->FindUtf8(name);
    if (id < 0 || !children_) return nullptr;
    for (TXmlNode* c : *children_)
        if (c->type_ == XML_ELEMENT_NODE && c->nameId_ == id) return static_cast<TXmlElement*>(c);
    return nullptr;
}

bool TXmlNode::NameIs(std::string_view name) const {
    // By id: FindUtf8 keeps the names it found, so asking child after child costs a compare.
    return nameId_ >= 0 && table_->FindUtf8(name) == nameId_;
}

std::string_view TXmlNode::TextUtf8(std::string& scratch) const {
    const TXmlNode* n = this;
    if (type_ == XML_ELEMENT_NODE && children_ && children_->Count() == 1) n = children_->At(0);
    if (n->type_ == XML_TEXT_NODE) {
        const auto& t = static_cast<const TXmlText&>(*n);
        if (t.utf8_ && !t.value_) return {t.utf8_, t.utf8Size_};
    } else if (n->type_ == XML_CDATA_SECTION_NODE) {
        const auto& c = static_cast<const TXmlCharacterData&>(*n);
        if (c.utf8_ && c.data_.empty()) {
            std::string_view v(c.utf8_, c.utf8Size_);
            if (!PreserveWhiteSpace()) v = TrimControlsAndBlanks(v);
            return v;
        }
    }
    scratch = TextUtf8();
    return scratch;
}

std::string TXmlNode::TextUtf8() const {
    switch (type_) {
        case XML_TEXT_NODE: {
            const auto& t = static_cast<const TXmlText&>(*this);
            if (t.utf8_ && !t.value_) return std::string(t.utf8_, t.utf8Size_);
            return XmlToUtf8(t.Text());
        }
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE: {
            const auto& c = static_cast<const TXmlCharacterData&>(*this);
            if (!c.utf8_) return XmlToUtf8(c.Text());
            std::string_view v(c.utf8_, c.utf8Size_);
            if (!PreserveWhiteSpace()) v = TrimControlsAndBlanks(v);
            return std::string(v);
        }
        case XML_ELEMENT_NODE:
        case XML_DOCUMENT_NODE: break;
        default: return XmlToUtf8(Text());
    }
    if (!HasChildNodes()) return type_ == XML_ELEMENT_NODE ? XmlToUtf8(static_cast<const TXmlElement&>(*this).Text()) : std::string();
    // As Text(): element, text and CDATA children, empty ones skipped, joined by one space.
    std::string out;
    for (TXmlNode* c : *children_) {
        if (c->type_ != XML_ELEMENT_NODE && c->type_ != XML_TEXT_NODE && c->type_ != XML_CDATA_SECTION_NODE) continue;
        if (children_->Count() == 1) return c->TextUtf8();
        const std::string t = c->TextUtf8();
        if (t.empty()) continue;
        if (!out.empty()) out += ' ';
        out += t;
    }
    return out;
}

XmlPtr<TXmlNodeList> TXmlNode::SelectNodes(std::u16string_view name) const {
    CheckPlainName(name);
    XmlPtr<TXmlNodeList> list(new TXmlNodeList());
    const int id = table_->Find(name);
    if (id >= 0 && children_)
        for (TXmlNode* c : *children_)
            if (c->type_ == XML_ELEMENT_NODE && c->nameId_ == id) list->Add(c);
    return list;
}

XmlPtr<TXmlNode> TXmlNode::SelectSingleNode(std::u16string_view name) const {
    CheckPlainName(name);
    return FindChild(name);
}

// ---- attributes ----

TXmlAttrData* TXmlNode::FindAttrId(int id) const noexcept {
    for (int i = 0; i < attrCount_; ++i)
        if (attrs_[i].NameId == id) return &attrs_[i];
    return nullptr;
}

TXmlAttrData& TXmlNode::AddAttrId(int id) {
    if (attrCount_ == attrCapacity_) {
        const int capacity = attrCapacity_ + GrowStep(attrCapacity_);
        TXmlAttrData* attrs = NewAttrs(capacity);
        std::move(attrs_, attrs_ + attrCount_, attrs);
        FreeAttrs(attrs_, attrCapacity_, attrsInArena_);
        attrsInArena_ = false;
        attrs_ = attrs;
        attrCapacity_ = capacity;
    }
    TXmlAttrData& a = attrs_[attrCount_++];
    a.NameId = id;
    a.Value = TXmlValue();
    a.Utf8 = nullptr;
    return a;
}

void TXmlNode::ConvertAttr(TXmlAttrData& a) {
    a.Value = TXmlValue(XmlFromUtf8({a.Utf8, a.Utf8Size}));
    a.Utf8 = nullptr;
}

const TXmlAttrData* TXmlNode::FindAttr(std::u16string_view name) const {
    const int id = table_->Find(name);
    TXmlAttrData* a = id < 0 ? nullptr : FindAttrId(id);
    if (a && a->Utf8) ConvertAttr(*a);
    return a;
}

bool TXmlNode::HasAttr(std::u16string_view name) const noexcept {
    const int id = table_->Find(name);
    return id >= 0 && FindAttrId(id) != nullptr;
}

namespace {

// The text of a value, converted or not; the slot stays as it is.
std::u16string AttrText(const TXmlAttrData& a) {
    return a.Utf8 ? XmlFromUtf8({a.Utf8, a.Utf8Size}) : a.Value.ToText();
}

}  // namespace

std::u16string TXmlNode::GetAttr(std::u16string_view name, std::u16string_view def) const {
    const int id = table_->Find(name);
    const TXmlAttrData* a = id < 0 ? nullptr : FindAttrId(id);
    return a ? AttrText(*a) : std::u16string(def);
}

std::string_view TXmlNode::AttrUtf8(std::string_view name, std::string& scratch) const {
    const int id = table_->FindUtf8(name);
    const TXmlAttrData* a = id < 0 ? nullptr : FindAttrId(id);
    if (!a) return {};
    if (a->Utf8) return {a->Utf8, a->Utf8Size};
    scratch = XmlToUtf8(a->Value.ToText());
    return scratch;
}

void TXmlNode::SetAttr(std::u16string_view name, std::u16string_view value) { SetVarAttr(name, TXmlValue(value)); }

void TXmlNode::SetVarAttr(std::u16string_view name, TXmlValue value) {
    const int id = table_->Intern(name);
    if (id < 0) XmlFail(xmlmsg::kNameStart);
    TXmlAccess::AttrSlot(*this, id).Value = std::move(value);
}

TXmlValue TXmlNode::GetVarAttr(std::u16string_view name, TXmlValue def) const {
    const TXmlAttrData* a = FindAttr(name);
    return a ? a->Value : std::move(def);
}

bool TXmlNode::RemoveAttr(std::u16string_view name) {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) return false;
    const auto i = a - attrs_;
    std::move(attrs_ + i + 1, attrs_ + attrCount_, attrs_ + i);
    --attrCount_;
    attrs_[attrCount_].Value = TXmlValue();
    attrs_[attrCount_].Utf8 = nullptr;
    return true;
}

void TXmlNode::ClearAttributes() {
    for (int i = 0; i < attrCount_; ++i) {
        attrs_[i].Value = TXmlValue();
        attrs_[i].Utf8 = nullptr;
    }
    attrCount_ = 0;
}

std::int32_t TXmlNode::GetIntAttr(std::u16string_view name, std::int32_t def) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) return def;
    if (auto* i = a->Value.If<std::int32_t>()) return *i;
    const std::string s = Ascii8(a->Value.ToText());
    std::int32_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() ? v : def;
}

void TXmlNode::SetIntAttr(std::u16string_view name, std::int32_t value) { SetVarAttr(name, TXmlValue(value)); }

bool TXmlNode::GetBoolAttr(std::u16string_view name, bool def) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) return def;
    if (auto* b = a->Value.If<bool>()) return *b;
    const std::string s = AsciiLowered(Ascii8(a->Value.ToText()));
    if (s == "true" || s == "1" || s == "yes") return true;
    if (s == "false" || s == "0" || s == "no") return false;
    return def;
}

void TXmlNode::SetBoolAttr(std::u16string_view name, bool value) { SetVarAttr(name, TXmlValue(value)); }

double TXmlNode::GetFloatAttr(std::u16string_view name, double def) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) return def;
    if (auto* d = a->Value.If<double>()) return *d;
    const std::string s = Ascii8(a->Value.ToText());
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v) ? v : def;
}

void TXmlNode::SetFloatAttr(std::u16string_view name, double value) { SetVarAttr(name, TXmlValue(value)); }

double TXmlNode::GetDateTimeAttr(std::u16string_view name, double def) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) return def;
    if (auto* d = a->Value.If<TXmlDateTime>()) return d->Days;
    double days = 0;
    return XmlTextToDateTime(a->Value.ToText(), days) ? days : def;
}

void TXmlNode::SetDateTimeAttr(std::u16string_view name, double value) {
    SetVarAttr(name, TXmlValue(TXmlDateTime{value}));
}

std::u16string TXmlNode::GetRequiredAttr(std::u16string_view name) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) XmlFail(xmlmsg::Quoted(u"Не задан атрибут \"%s\"", name));
    return a->Value.ToText();
}

int TXmlNode::GetRequiredEnumAttr(std::u16string_view name, const std::vector<std::u16string>& allowed) const {
    const TXmlAttrData* a = FindAttr(name);
    if (!a) XmlFail(xmlmsg::Quoted(u"Не найден атрибут \"%s\"", name));
    const std::u16string value = a->Value.ToText();
    for (size_t i = 0; i < allowed.size(); ++i)
        if (allowed[i] == value) return static_cast<int>(i);
    std::u16string list;
    for (const auto& v : allowed) {
        if (!list.empty()) list += u"\r\n";
        list += v;
    }
    std::u16string m = xmlmsg::Quoted(u"Неверное значение атрибута \"%s\" элемента \"%s\".\r\nДопустимые значения:\r\n%s", name);
    m = xmlmsg::Quoted(m, NodeName());
    return (XmlFail(xmlmsg::Quoted(m, list)), 0);
}

std::u16string TXmlNode::GetChildText(std::u16string_view name, std::u16string_view def) const {
    const TXmlElement* e = FindChild(name);
    return e ? e->Text() : std::u16string(def);
}

XmlPtr<TXmlElement> TXmlNode::GetRequiredChild(std::u16string_view name) const {
    TXmlElement* e = FindChild(name);
    if (!e) XmlFail(xmlmsg::Quoted(u"Ошибка: не найден дочерний элемент \"%s\".", name));
    return e;
}

XmlPtr<TXmlElement> TXmlNode::FindChildByAttr(std::u16string_view name, std::u16string_view attrName,
                                              std::u16string_view value) const {
    const int id = table_->Find(name);
    const int attrId = table_->Find(attrName);
    if (id < 0 || attrId < 0 || !children_) return nullptr;
    for (TXmlNode* c : *children_) {
        if (c->type_ != XML_ELEMENT_NODE || c->nameId_ != id) continue;
        const TXmlAttrData* a = c->FindAttrId(attrId);
        if (a && AttrText(*a) == value) return static_cast<TXmlElement*>(c);
    }
    return nullptr;
}

// ---- text, markup, clones ----

std::u16string TXmlNode::Text() const {
    // Element with children and document: the texts of element, text and CDATA children,
    // empty ones skipped, joined by one space.
    std::u16string out;
    if (!children_) return out;
    if (children_->Count() == 1) {  // the usual element: one text child, no joining to do
        TXmlNode* only = children_->At(0);
        if (only->type_ == XML_TEXT_NODE || only->type_ == XML_CDATA_SECTION_NODE || only->type_ == XML_ELEMENT_NODE)
            return only->Text();
        return out;
    }
    for (TXmlNode* c : *children_) {
        if (c->type_ != XML_ELEMENT_NODE && c->type_ != XML_TEXT_NODE && c->type_ != XML_CDATA_SECTION_NODE) continue;
        const std::u16string t = c->Text();
        if (t.empty()) continue;
        if (!out.empty()) out += u' ';
        out += t;
    }
    return out;
}

std::u16string TXmlNode::XML() const {
    std::u16string out;
    XmlWriteMarkup(*this, out);
    return out;
}

XmlPtr<TXmlNode> TXmlNode::CloneNode(bool deep) const {
    XmlPtr<TXmlNode> copy(CloneSelf());
    for (int i = 0; i < attrCount_; ++i) copy->AddAttrId(attrs_[i].NameId).Value = AttrValue(i);
    if (deep && children_)
        for (TXmlNode* c : *children_) TXmlAccess::AppendNew(*copy, c->CloneNode(true).get());
    return copy;
}

void TXmlNode::Reintern(TXmlNameTable* table) {
    const TXmlNameTable* old = table_;
    if (type_ == XML_ELEMENT_NODE || type_ == XML_PROCESSING_INSTRUCTION_NODE) nameId_ = table->Intern(old->Name(nameId_));
    for (int i = 0; i < attrCount_; ++i) attrs_[i].NameId = table->Intern(old->Name(attrs_[i].NameId));
    table->AddRef();
    table_->Release();
    table_ = table;
    if (children_)
        for (TXmlNode* c : *children_) c->Reintern(table);
}

TXmlElement* TXmlNode::AsElement() noexcept { return type_ == XML_ELEMENT_NODE ? static_cast<TXmlElement*>(this) : nullptr; }
TXmlText* TXmlNode::AsText() noexcept { return type_ == XML_TEXT_NODE ? static_cast<TXmlText*>(this) : nullptr; }
TXmlCharacterData* TXmlNode::AsCharacterData() noexcept {
    return type_ == XML_CDATA_SECTION_NODE || type_ == XML_COMMENT_NODE ? static_cast<TXmlCharacterData*>(this) : nullptr;
}
TXmlCDATASection* TXmlNode::AsCDATASection() noexcept {
    return type_ == XML_CDATA_SECTION_NODE ? static_cast<TXmlCDATASection*>(this) : nullptr;
}
TXmlComment* TXmlNode::AsComment() noexcept { return type_ == XML_COMMENT_NODE ? static_cast<TXmlComment*>(this) : nullptr; }
TXmlProcessingInstruction* TXmlNode::AsProcessingInstruction() noexcept {
    return type_ == XML_PROCESSING_INSTRUCTION_NODE ? static_cast<TXmlProcessingInstruction*>(this) : nullptr;
}
TXmlDocument* TXmlNode::AsDocument() noexcept { return type_ == XML_DOCUMENT_NODE ? static_cast<TXmlDocument*>(this) : nullptr; }

// ---- the kinds ----

TXmlElement::~TXmlElement() { delete value_; }

const TXmlValue& TXmlElement::Value() const noexcept {
    static const TXmlValue empty;
    return value_ ? *value_ : empty;
}

void TXmlElement::SetValue(TXmlValue value) {
    ClearChildNodes();
    TXmlAccess::SetElementValue(*this, std::move(value));
}

std::u16string TXmlElement::Text() const {
    if (HasChildNodes()) return TXmlNode::Text();
    return value_ ? value_->ToText() : std::u16string();
}

TXmlNode* TXmlElement::CloneSelf() const {
    auto* e = new TXmlElement(&NameTable(), NameId());
    if (value_ && !HasChildNodes()) e->value_ = new TXmlValue(*value_);
    return e;
}

TXmlText::TXmlText(TXmlNameTable* table, TXmlValue value)
    : TXmlNode(XML_TEXT_NODE, table, TXmlNameTable::kTextId), value_(new TXmlValue(std::move(value))) {}

TXmlText::TXmlText(TXmlNameTable* table, TXmlArena* arena, const char* utf8, size_t size)
    : TXmlNode(XML_TEXT_NODE, table, TXmlNameTable::kTextId), utf8_(utf8), utf8Size_(size) {
    arena_ = arena;
    arena_->AddRef();
}

TXmlText::~TXmlText() { delete value_; }

const TXmlValue& TXmlText::Value() const {
    if (!value_) value_ = new TXmlValue(XmlFromUtf8({utf8_, utf8Size_}));
    return *value_;
}

void TXmlText::SetValue(TXmlValue value) {
    if (value_)
        *value_ = std::move(value);
    else
        value_ = new TXmlValue(std::move(value));
    DropBytes();
    utf8_ = nullptr;
    utf8Size_ = 0;
}

TXmlNode* TXmlText::CloneSelf() const {
    if (utf8_ && !value_) return new TXmlText(&NameTable(), arena_, utf8_, utf8Size_);  // shares the bytes
    return new TXmlText(&NameTable(), Value());
}

TXmlCharacterData::~TXmlCharacterData() = default;

const std::u16string& TXmlCharacterData::Data() const {
    if (utf8_ && data_.empty()) data_ = XmlFromUtf8({utf8_, utf8Size_});
    return data_;
}

void TXmlCharacterData::SetData(std::u16string data) {
    data_ = std::move(data);
    DropBytes();
    utf8_ = nullptr;
    utf8Size_ = 0;
}

std::u16string TXmlCharacterData::Text() const { return PreserveWhiteSpace() ? Data() : Trimmed(Data()); }

TXmlNode* TXmlCDATASection::CloneSelf() const { return new TXmlCDATASection(&NameTable(), Data()); }
TXmlNode* TXmlComment::CloneSelf() const { return new TXmlComment(&NameTable(), Data()); }
TXmlNode* TXmlProcessingInstruction::CloneSelf() const {
    return new TXmlProcessingInstruction(&NameTable(), NameId(), data_);
}

// ---- document ----

TXmlDocument::TXmlDocument(XmlPtr<TXmlNameTable> table)
    : TXmlNode(XML_DOCUMENT_NODE, table ? table.get() : XmlDefaultNameTable().get(), TXmlNameTable::kDocumentId),
      preserveWhiteSpace_(g_defaultPreserveWhiteSpace) {}

TXmlNode* TXmlDocument::CloneSelf() const {
    auto* d = new TXmlDocument(&NameTable());
    d->preserveWhiteSpace_ = preserveWhiteSpace_;
    return d;
}

XmlPtr<TXmlElement> TXmlDocument::DocumentElement() const {
    for (int i = 0; i < ChildCount(); ++i)
        if (Child(i)->NodeType() == XML_ELEMENT_NODE) return static_cast<TXmlElement*>(Child(i));
    return nullptr;
}

XmlPtr<TXmlElement> TXmlDocument::NewDocument(std::u16string_view version, std::u16string_view encoding,
                                              std::u16string_view rootName) {
    ClearChildNodes();
    std::u16string text = u"version=\"";
    text += version;
    text += u"\" encoding=\"";
    text += encoding.empty() ? std::u16string_view(u"iso-8859-1") : encoding;
    text += u'"';
    auto list = ChildNodes();
    list->Insert(0, XmlPtr<TXmlNode>(CreateProcessingInstruction(u"xml", std::move(text))));
    auto root = CreateElement(rootName);
    list->Insert(1, XmlPtr<TXmlNode>(root));
    return root;
}

XmlPtr<TXmlElement> TXmlDocument::CreateElement(std::u16string_view name) {
    const int id = NameTable().Intern(name);
    if (id < 0) XmlFail(xmlmsg::kNameStart);
    return new TXmlElement(&NameTable(), id);
}

XmlPtr<TXmlText> TXmlDocument::CreateTextNode(TXmlValue value) { return new TXmlText(&NameTable(), std::move(value)); }

XmlPtr<TXmlCDATASection> TXmlDocument::CreateCDATASection(std::u16string data) {
    return new TXmlCDATASection(&NameTable(), std::move(data));
}

XmlPtr<TXmlComment> TXmlDocument::CreateComment(std::u16string data) { return new TXmlComment(&NameTable(), std::move(data)); }

XmlPtr<TXmlProcessingInstruction> TXmlDocument::CreateProcessingInstruction(std::u16string_view target, std::u16string data) {
    const int id = NameTable().Intern(target);
    if (id < 0) XmlFail(xmlmsg::kNameStart);
    return new TXmlProcessingInstruction(&NameTable(), id, std::move(data));
}

void TXmlDocument::ResetContent() {
    ClearChildNodes();
    ClearAttributes();
}

XmlPtr<TXmlDocument> CreateXmlDocument(std::string_view rootName, std::string_view version, std::string_view encoding,
                                       XmlPtr<TXmlNameTable> table) {
    XmlPtr<TXmlDocument> doc(new TXmlDocument(table ? table : XmlDefaultNameTable()));
    if (!rootName.empty()) doc->NewDocument(XmlFromUtf8(version), XmlFromUtf8(encoding), XmlFromUtf8(rootName));
    return doc;
}

// ---- privileged helpers ----

TXmlArena::TXmlArena(std::string_view bytes) {
    bytes_.reserve(bytes.size() + kPadding);
    bytes_.append(bytes);
    bytes_.append(kPadding, '\0');
}

TXmlArena::~TXmlArena() {
    for (void* b : blocks_) XmlArenaBlockFree(b);
}

void* TXmlArena::AllocBlock(size_t n) {
    if (n > kXmlArenaBlock / 4) {  // a long text that grew: its own block, the current one goes on
        large_.push_back(std::unique_ptr<char[]>(new char[n]));
        return large_.back().get();
    }
    blocks_.reserve(blocks_.size() + 1);
    auto* block = static_cast<char*>(XmlArenaBlockAlloc());
    blocks_.push_back(block);
    at_ = block + n;
    left_ = kXmlArenaBlock - n;
    return block;
}

TXmlCDATASection* TXmlAccess::NewCDATA(TXmlNameTable* table, TXmlArena& arena, const char* utf8, size_t size) {
    auto* c = Place<TXmlCDATASection>(arena, table, std::u16string());
    if (size > 0) {
        c->utf8_ = utf8;
        c->utf8Size_ = size;
    }
    return c;
}

void TXmlAccess::AttachChildren(TXmlNode& parent, TXmlNode* const* nodes, size_t n, TXmlArena& arena) {
    if (n == 0) return;
    if (parent.children_ || !parent.inArena_) {
        for (size_t i = 0; i < n; ++i) AppendNew(parent, nodes[i]);
        return;
    }
    // The list and its items side by side, right after the children they hold.
    void* at = arena.Alloc(sizeof(TXmlNodeList) + n * sizeof(TXmlNode*));
    auto* list = new (at) TXmlNodeList(&parent);
    list->inArena_ = true;
    list->arena_ = &arena;
    arena.AddRef();
    list->items_ = reinterpret_cast<TXmlNode**>(static_cast<char*>(at) + sizeof(TXmlNodeList));
    list->itemsInArena_ = true;
    std::memcpy(list->items_, nodes, n * sizeof(TXmlNode*));
    list->count_ = list->capacity_ = static_cast<int>(n);
    list->AddRef();
    parent.children_ = list;
    for (size_t i = 0; i < n; ++i) {
        nodes[i]->parent_ = &parent;
        nodes[i]->AddRef();
    }
}

void TXmlAccess::SetAttributes(TXmlNode& node, std::vector<RawAttr>& attrs, TXmlArena& arena) {
    if (attrs.empty()) return;
    if (node.attrs_) {
        for (const RawAttr& a : attrs) {
            TXmlAttrData& slot = AttrSlot(node, a.NameId);
            slot.Value = TXmlValue();
            slot.Utf8 = a.Utf8;
            slot.Utf8Size = a.Utf8Size;
        }
    } else {
        auto* array = static_cast<TXmlAttrData*>(arena.Alloc(attrs.size() * sizeof(TXmlAttrData)));
        for (size_t i = 0; i < attrs.size(); ++i) new (array + i) TXmlAttrData{attrs[i].NameId, attrs[i].Utf8Size, TXmlValue(), attrs[i].Utf8};
        node.attrs_ = array;
        node.attrCount_ = node.attrCapacity_ = static_cast<int>(attrs.size());
        node.attrsInArena_ = true;
    }
    attrs.clear();
}

void TXmlAccess::SetTable(TXmlDocument& doc, TXmlNameTable* table) {
    table->AddRef();
    doc.table_->Release();
    doc.table_ = table;
}

void TXmlAccess::AppendNew(TXmlNode& parent, TXmlNode* child) {
    if (!parent.children_) {
        parent.children_ = new TXmlNodeList(&parent);
        parent.children_->AddRef();
    }
    TXmlNodeList& list = *parent.children_;
    if (list.count_ == list.capacity_) list.Grow();
    list.items_[list.count_++] = child;
    child->AddRef();
    child->parent_ = &parent;
}

void TXmlAccess::SetElementValue(TXmlElement& e, TXmlValue v) {
    if (e.value_)
        *e.value_ = std::move(v);
    else
        e.value_ = new TXmlValue(std::move(v));
}

}  // namespace tw
