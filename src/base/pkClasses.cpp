#include "base/pkClasses.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tw {

// ---------------------------------------------------------------------------------------------
// Errors

EpkAssignError::EpkAssignError(const std::string& sourceClass, const std::string& targetClass)
    : std::runtime_error("Cannot assign a " + sourceClass + " to a " + targetClass) {}

EpkFileCreateError::EpkFileCreateError(std::string fileName, const std::string& systemText)
    : std::runtime_error("Cannot create file \"" + fileName + "\". " + systemText),
      fileName_(std::move(fileName)) {}

// ---------------------------------------------------------------------------------------------
// Integer-text rule

bool TryTextToInt(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return false;  // no digits at all
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int digit = hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        // Both limits are far below 2^64 / 16, so the next step cannot wrap.
        if (magnitude > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) return false;
    std::int64_t signedValue = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

std::int32_t TextToIntDef(std::string_view text, std::int32_t def) {
    std::int32_t value = 0;
    return TryTextToInt(text, value) ? value : def;
}

std::int32_t TextToInt(std::string_view text) {
    std::int32_t value = 0;
    if (!TryTextToInt(text, value)) throw EpkConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}

// ---------------------------------------------------------------------------------------------
// TpkComponent

TpkComponent::TpkComponent(TpkComponent* owner) : hookedControl_(owner) {
    if (owner) owner->InsertComponent(this);
}

TpkComponent::~TpkComponent() {
    Destroying();
    // Partners first: they may still look at this component's owner while they let go of it.
    std::vector<TpkComponent*> partners;
    partners.swap(freeNotifies_);
    for (TpkComponent* partner : partners) {
        auto& theirs = partner->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        // A partner on its way out may have lost the members its Notification would touch.
        if (!partner->IsDestroying()) partner->Notification(this, TOperation::opRemove);
    }
    // Owned components live on (their holder decides their lifetime) but lose their owner.
    for (TpkComponent* child : components_) {
        child->owner_ = nullptr;
        if (child->hookedControl_ == this) child->hookedControl_ = nullptr;
    }
    components_.clear();
    if (owner_) owner_->RemoveComponent(this);
}

TpkComponent* TpkComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) return nullptr;
    return components_[static_cast<std::size_t>(index)];
}

TpkComponent* TpkComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TpkComponent* c : components_)
        if (c->name_ == name) return c;
    return nullptr;
}

std::string TpkComponent::About() { return "Tidewire component library"; }

void TpkComponent::SetDesigning(bool value) {
    if (value) state_ |= csDesigning; else state_ &= static_cast<std::uint8_t>(~csDesigning);
    for (TpkComponent* c : components_) c->SetDesigning(value);
}

void TpkComponent::BeginLoading() {
    state_ |= csLoading;
    for (TpkComponent* c : components_) c->BeginLoading();
}

void TpkComponent::EndLoading() {
    // A Loaded handler may create or drop owned components: walk a snapshot and skip the gone.
    std::vector<TpkComponent*> snapshot = components_;
    for (TpkComponent* c : snapshot)
        if (std::find(components_.begin(), components_.end(), c) != components_.end()) c->EndLoading();
    if (!IsLoading()) return;
    state_ &= static_cast<std::uint8_t>(~csLoading);
    Loaded();
}

void TpkComponent::Destroying() {
    if (IsDestroying()) return;
    state_ |= csDestroying;
    for (TpkComponent* c : components_) c->Destroying();
}

void TpkComponent::FreeNotification(TpkComponent* component) {
    if (component == nullptr || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TpkComponent::RemoveFreeNotification(TpkComponent* component) {
    if (component == nullptr) return;
    UnlinkFreeNotify(component);
    component->UnlinkFreeNotify(this);
}

void TpkComponent::UnlinkFreeNotify(TpkComponent* component) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
}

void TpkComponent::InsertComponent(TpkComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
    if (IsDesigning()) component->SetDesigning(true);
    Notification(component, TOperation::opInsert);
}

void TpkComponent::RemoveComponent(TpkComponent* component) {
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it == components_.end()) return;
    components_.erase(it);
    component->owner_ = nullptr;
    // An owner tearing down its members is past caring, and its own members may be gone already.
    if (!IsDestroying()) Notification(component, TOperation::opRemove);
}

// ---------------------------------------------------------------------------------------------
// TpkPersistent, TpkAddon

void TpkPersistent::Assign(const TpkPersistent* source) { AssignError(source); }

void TpkPersistent::AssignError(const TpkPersistent* source) const {
    throw EpkAssignError(source ? source->ClassName() : "nil", ClassName());
}

void TpkAddon::SetEnabled(bool value) {
    if (enabled_ == value) return;
    enabled_ = value;
    Change();
}

void TpkAddon::Assign(const TpkPersistent* source) {
    if (auto* addon = dynamic_cast<const TpkAddon*>(source)) {
        SetEnabled(addon->Enabled());
        return;
    }
    TpkPersistent::Assign(source);
}

// ---------------------------------------------------------------------------------------------
// TpkLoginComponent

std::string TpkLoginComponent::WriteLInfo() const {
    if (!LInfoFits())
        throw EpkComponentError("User name and password are too long to be stored (254 characters together at most)");
    const auto length = static_cast<std::uint8_t>(username_.size() + password_.size() + 1);
    const auto mask = static_cast<char>(length ^ LInfoMask);
    std::string record;
    record.reserve(1u + length);
    record.push_back(static_cast<char>(length));
    record.push_back(static_cast<char>(static_cast<char>(username_.size()) ^ mask));
    for (char c : username_) record.push_back(static_cast<char>(c ^ mask));
    for (char c : password_) record.push_back(static_cast<char>(c ^ mask));
    return record;
}

std::size_t TpkLoginComponent::ReadLInfo(std::string_view data) {
    if (data.empty()) return 0;
    const auto length = static_cast<std::uint8_t>(data[0]);
    if (length == 0 || data.size() < 1u + length) return 0;
    const auto mask = static_cast<char>(length ^ LInfoMask);
    std::string plain(data.substr(1, length));
    for (char& c : plain) c = static_cast<char>(c ^ mask);
    const auto userLength = static_cast<std::uint8_t>(plain[0]);
    if (userLength > length - 1u) return 0;
    username_ = plain.substr(1, userLength);
    password_ = plain.substr(1u + userLength);
    return 1u + length;
}

// ---------------------------------------------------------------------------------------------
// Streams

std::int64_t TpkStream::Size() {
    const std::int64_t position = Position();
    const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TpkStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EpkStreamError("Stream read error");
}

void TpkStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EpkStreamError("Stream write error");
}

std::size_t TpkMemoryStream::Read(void* buffer, std::size_t count) {
    if (pos_ >= data_.size() || count == 0) return 0;
    const std::size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t TpkMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
    return count;
}

std::int64_t TpkMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(pos_);
    if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
    std::int64_t target = base + offset;
    if (target < 0) target = 0;
    pos_ = static_cast<std::size_t>(target);
    return target;
}

void TpkMemoryStream::SetSize(std::int64_t size) {
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
    if (pos_ > data_.size()) pos_ = data_.size();
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// ---------------------------------------------------------------------------------------------
// TpkIniFile

namespace {

// One INI section seen as a settings store.
class IniSectionStore : public TpkSettingsStore {
public:
    IniSectionStore(TpkIniFile& file, std::string section) : file_(file), section_(std::move(section)) {}
    bool ValueExists(const std::string& name) override { return file_.ValueExists(section_, name); }
    std::string ReadString(const std::string& name, const std::string& def) override {
        return file_.ReadString(section_, name, def);
    }
    void WriteString(const std::string& name, const std::string& value) override {
        file_.WriteString(section_, name, value);
    }
    std::int32_t ReadInteger(const std::string& name, std::int32_t def) override {
        return TextToIntDef(file_.ReadString(section_, name, ""), def);
    }
    void WriteInteger(const std::string& name, std::int32_t value) override {
        file_.WriteString(section_, name, std::to_string(value));
    }

private:
    TpkIniFile& file_;
    std::string section_;
};

}  // namespace

TpkIniFile::TpkIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::ifstream in(PathFromUtf8(fileName_), std::ios::binary);
    if (!in) return;
    std::string line;
    Sect* current = nullptr;
    while (std::getline(in, line)) {
        std::string_view text = TrimSpacesTabsAndTrailingCRs(line);
        if (text.empty() || text.front() == ';') continue;
        if (text.front() == '[') {
            std::size_t close = text.find(']');
            const std::size_t nameLength = close == std::string_view::npos ? std::string_view::npos : close - 1;
            std::string name(TrimSpacesTabsAndTrailingCRs(text.substr(1, nameLength)));
            current = FindSection(name);
            if (!current) {
                sections_.push_back(Sect{name, {}});
                current = &sections_.back();
            }
            continue;
        }
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos || current == nullptr) continue;
        std::string name(TrimSpacesTabsAndTrailingCRs(text.substr(0, eq)));
        std::string value(TrimSpacesTabsAndTrailingCRs(text.substr(eq + 1)));
        bool found = false;
        for (Entry& e : current->entries)
            if (EqualsIgnoringAsciiCase(e.name, name)) { found = true; break; }  // the first one wins, as on lookup
        if (!found) current->entries.push_back(Entry{name, value});
    }
}

const TpkIniFile::Sect* TpkIniFile::FindSection(const std::string& section) const {
    for (const Sect& s : sections_)
        if (EqualsIgnoringAsciiCase(s.name, section)) return &s;
    return nullptr;
}

TpkIniFile::Sect* TpkIniFile::FindSection(const std::string& section) {
    for (Sect& s : sections_)
        if (EqualsIgnoringAsciiCase(s.name, section)) return &s;
    return nullptr;
}

bool TpkIniFile::SectionExists(const std::string& section) const { return FindSection(section) != nullptr; }

bool TpkIniFile::ValueExists(const std::string& section, const std::string& name) const {
    const Sect* s = FindSection(section);
    if (!s) return false;
    for (const Entry& e : s->entries)
        if (EqualsIgnoringAsciiCase(e.name, name)) return true;
    return false;
}

std::string TpkIniFile::ReadString(const std::string& section, const std::string& name, const std::string& def) const {
    const Sect* s = FindSection(section);
    if (!s) return def;
    for (const Entry& e : s->entries)
        if (EqualsIgnoringAsciiCase(e.name, name)) return e.value;
    return def;
}

void TpkIniFile::WriteString(const std::string& section, const std::string& name, const std::string& value) {
    // A line break inside a value would start a new line of the file and corrupt what follows.
    std::string clean = value;
    std::replace(clean.begin(), clean.end(), '\r', ' ');
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    Sect* s = FindSection(section);
    if (!s) {
        sections_.push_back(Sect{section, {}});
        s = &sections_.back();
    }
    for (Entry& e : s->entries)
        if (EqualsIgnoringAsciiCase(e.name, name)) {
            if (e.value != clean) { e.value = clean; dirty_ = true; }
            return;
        }
    s->entries.push_back(Entry{name, clean});
    dirty_ = true;
}

void TpkIniFile::EraseSection(const std::string& section) {
    auto it = std::find_if(sections_.begin(), sections_.end(), [&](const Sect& s) { return EqualsIgnoringAsciiCase(s.name, section); });
    if (it == sections_.end()) return;
    sections_.erase(it);
    dirty_ = true;
}

void TpkIniFile::Flush() {
    if (!dirty_) return;
    std::string text;
    for (const Sect& s : sections_) {
        text += "[" + s.name + "]\r\n";
        for (const Entry& e : s.entries) text += e.name + "=" + e.value + "\r\n";
        text += "\r\n";
    }
    TpkFileStream out(fileName_, TpkFileStreamMode::fsmCreate);
    out.WriteString(text);
    dirty_ = false;
}

std::unique_ptr<TpkSettingsStore> TpkIniFile::Section(const std::string& section) {
    return std::make_unique<IniSectionStore>(*this, section);
}

// ---------------------------------------------------------------------------------------------
// TpkCustomRegistrySaver

TpkCustomRegistrySaver::TpkCustomRegistrySaver(TpkComponent* owner)
    : TpkAddon(owner), opener_(CreatePlatformRegistryOpener()) {}

void TpkCustomRegistrySaver::SetRegKey(const std::string& value) {
    std::string key = value;
    if (!key.empty() && key.back() == '\\') key.pop_back();
    std::size_t first = key.find_first_not_of('\\');
    key.erase(0, first == std::string::npos ? key.size() : first);
    if (key == regKey_) return;
    regKey_ = std::move(key);
    Change();
}

void TpkCustomRegistrySaver::SetRegLocation(TpkRegLocation value) {
    if (value == regLocation_) return;
    regLocation_ = value;
    Change();
}

void TpkCustomRegistrySaver::Save() { Transfer(true); }
void TpkCustomRegistrySaver::Load() { Transfer(false); }

void TpkCustomRegistrySaver::Transfer(bool save) {
    if (!Enabled() || IsDesigning()) return;
    if (Storage == TpkStorageType::useIniFile) {
        if (IniFileName.empty()) throw EpkComponentError(".INI file not specified");
        try {
            TpkIniFile ini(IniFileName);
            auto section = ini.Section(IniSection);
            if (save) {
                SaveToIni(*section);
                ini.Flush();
            } else {
                LoadFromIni(*section);
            }
        } catch (...) {
            // An unwritable or unreadable INI file saves or loads nothing.
        }
        return;
    }
    if (!opener_) return;
    try {
        auto key = opener_->Open(regLocation_, regKey_, save);
        if (!key) return;  // missing key on load, or access denied
        if (save) SaveToRegistry(*key); else LoadFromRegistry(*key);
    } catch (...) {
        // Registry failures are swallowed: nothing is saved or loaded.
    }
}

void TpkCustomRegistrySaver::Assign(const TpkPersistent* source) {
    if (auto* saver = dynamic_cast<const TpkCustomRegistrySaver*>(source)) {
        IniFileName = saver->IniFileName;
        IniSection = saver->IniSection;
        Storage = saver->Storage;
        SetRegKey(saver->RegKey());
        SetRegLocation(saver->RegLocation());
        options_ = saver->options_;
        SetEnabled(saver->Enabled());
        return;
    }
    TpkAddon::Assign(source);
}

}  // namespace tw
