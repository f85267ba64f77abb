#pragma once
// Component base of the library: components with an owner and a state, persistent add-ons that
// group a component's settings, the settings saver, unique and object lists, the login component
// with its "LInfo" record, and the byte streams (memory and file) the components exchange data in.
// Portable: the registry and the file system are reached through the platform halves.
#include <cstddef>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// ---------------------------------------------------------------------------------------------
// Errors

// Raised by Assign when the source is of a class the target cannot copy from. The message names
// both classes: "Cannot assign a TpkRSSFeedImage to a TpkRSSFeedCloud".
class EpkAssignError : public std::runtime_error {
public:
    EpkAssignError(const std::string& sourceClass, const std::string& targetClass);
};

// Raised by TpkFileStream when the file cannot be opened or created; carries the expanded file
// name and the system's error text.
class EpkFileCreateError : public std::runtime_error {
public:
    EpkFileCreateError(std::string fileName, const std::string& systemText);
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// Raised by stream operations that must move a whole buffer and could not.
class EpkStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// General error of this unit ("Owner must be ...", ".INI file not specified", bad LInfo).
class EpkComponentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by TextToInt when a text does not follow the integer-text rule.
class EpkConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Integer-text rule, the one text-to-integer conversion of the program: leading spaces (code 32
// only), one optional "+" or "-", then decimal digits, or hexadecimal digits (either case) after
// "$", "x", "X", "0x" or "0X"; nothing may follow the digits. A decimal value outside the signed
// 32-bit range fails; hexadecimal digits may fill all 32 bits (so "$FFFFFFFF" is -1) but no more.
// TextToIntDef answers `def` on failure; TextToInt raises EpkConvertError.
bool TryTextToInt(std::string_view text, std::int32_t& value);
std::int32_t TextToIntDef(std::string_view text, std::int32_t def);
std::int32_t TextToInt(std::string_view text);

// A file-system path from a UTF-8 name (a plain narrow path would use the ANSI code page on Windows).
std::filesystem::path PathFromUtf8(const std::string& utf8);

// ---------------------------------------------------------------------------------------------
// Window message record handed to hook handlers. The word and long parameters and the result are
// pointer-sized: on 64-bit Windows several messages carry pointers there, and cutting them to 32
// bits would lose data.
struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// ---------------------------------------------------------------------------------------------
// Components

enum TComponentStateFlag : std::uint8_t {
    csLoading = 1 << 0,
    csDesigning = 1 << 1,
    csDestroying = 1 << 2,
};

enum class TOperation { opInsert, opRemove };

// A component has an owner (a logical link, never an owning pointer: the C++ object that holds a
// component as a member or unique_ptr decides its lifetime), a Name, a Tag and a state.
// The owner lists the components it owns; whichever of the two goes first unlinks the other, so
// no link ever dangles. FreeNotification ties two components so that each hears, through
// Notification(other, opRemove), of the other's destruction.
//
// Destruction order: a component whose owned components are its members should call Destroying()
// at the top of its destructor, so that those members see their owner (and themselves) as being
// destroyed while they are torn down.
class TpkComponent {
public:
    explicit TpkComponent(TpkComponent* owner = nullptr);
    virtual ~TpkComponent();
    TpkComponent(const TpkComponent&) = delete;
    TpkComponent& operator=(const TpkComponent&) = delete;

    virtual const char* ClassName() const { return "TpkComponent"; }

    TpkComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TpkComponent* Components(int index) const;  // nullptr when out of range
    TpkComponent* FindComponent(std::string_view name) const;  // by Name, case-sensitive

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::intptr_t Tag = 0;

    // Library information text; never stored with the owner's settings.
    static std::string About();

    std::uint8_t ComponentState() const { return state_; }
    bool IsLoading() const { return (state_ & csLoading) != 0; }
    bool IsDesigning() const { return (state_ & csDesigning) != 0; }
    bool IsDestroying() const { return (state_ & csDestroying) != 0; }
    // Designing is set on the component and every component it owns.
    void SetDesigning(bool value);

    // Loading: BeginLoading marks the component (and what it owns) as loading; EndLoading clears
    // the mark and calls Loaded() on each, owned components first. Loaded() is where a component
    // acts on the settings it was given.
    void BeginLoading();
    void EndLoading();

    // Marks this component and everything it owns as being destroyed. Idempotent.
    void Destroying();

    // The hooked control: the owner passed to the constructor, until replaced.
    TpkComponent* HookedControl() const { return hookedControl_; }
    virtual void SetHookedControl(TpkComponent* control) { hookedControl_ = control; }

    // Ask to be told (Notification(component, opRemove)) when `component` is destroyed; the tie
    // runs both ways and is undone by whichever is destroyed first.
    void FreeNotification(TpkComponent* component);
    void RemoveFreeNotification(TpkComponent* component);

    // Private-window message dispatch; does nothing by default.
    virtual void HookMessage(TMessage& message) { (void)message; }

protected:
    virtual void Loaded() {}
    // Called on the owner when a component is added to or removed from it, and on every
    // free-notification partner when a component is being destroyed; never on a component that
    // is itself being destroyed.
    virtual void Notification(TpkComponent* component, TOperation operation) {
        (void)component;
        (void)operation;
    }

private:
    void InsertComponent(TpkComponent* component);
    void RemoveComponent(TpkComponent* component);
    void UnlinkFreeNotify(TpkComponent* component);

    TpkComponent* owner_ = nullptr;
    TpkComponent* hookedControl_ = nullptr;
    std::vector<TpkComponent*> components_;
    std::vector<TpkComponent*> freeNotifies_;
    std::string name_;
    std::uint8_t state_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Persistent objects

// A copyable-by-Assign object that may know the component owning it. Assign copies from an object
// of a class the target accepts, or resets when the source is null; any other source raises
// EpkAssignError and leaves the target as it was.
class TpkPersistent {
public:
    explicit TpkPersistent(TpkComponent* owner = nullptr) : owner_(owner) {}
    virtual ~TpkPersistent() = default;
    TpkPersistent(const TpkPersistent&) = delete;
    TpkPersistent& operator=(const TpkPersistent&) = delete;

    virtual const char* ClassName() const { return "TpkPersistent"; }
    TpkComponent* Owner() const { return owner_; }
    bool IsDesigning() const { return owner_ != nullptr && owner_->IsDesigning(); }

    // Overrides copy what they know and fall back to this for everything else.
    virtual void Assign(const TpkPersistent* source);

protected:
    // Raises the assignment error for this target and `source` (null reads "nil").
    [[noreturn]] void AssignError(const TpkPersistent* source) const;

private:
    TpkComponent* owner_;
};

// A settings group of a component with an Enabled switch. Changing Enabled calls Change().
class TpkAddon : public TpkPersistent {
public:
    using TpkPersistent::TpkPersistent;
    const char* ClassName() const override { return "TpkAddon"; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    void Assign(const TpkPersistent* source) override;

protected:
    virtual void Change() {}

private:
    bool enabled_ = false;
};

// ---------------------------------------------------------------------------------------------
// Settings saver

enum class TpkRegLocation { rlCurrentUser, rlLocalMachine };
enum class TpkStorageType { useRegistry, useIniFile };
enum TpkRegSaverOption : std::uint8_t { saveOnClose = 1 << 0, saveOnMoveResize = 1 << 1 };
using TpkRegSaverOptions = std::uint8_t;

// Named values in one place: an INI section or a registry key. Read operations answer the default
// when the value is missing or unreadable.
class TpkSettingsStore {
public:
    virtual ~TpkSettingsStore() = default;
    virtual bool ValueExists(const std::string& name) = 0;
    virtual std::string ReadString(const std::string& name, const std::string& def) = 0;
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    virtual std::int32_t ReadInteger(const std::string& name, std::int32_t def) = 0;
    virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
    // A one-byte value: the registry keeps it as binary data, other stores as an integer.
    virtual std::int32_t ReadByte(const std::string& name, std::int32_t def) { return ReadInteger(name, def); }
    virtual void WriteByte(const std::string& name, std::uint8_t value) { WriteInteger(name, value); }
    bool ReadBool(const std::string& name, bool def) { return ReadInteger(name, def ? 1 : 0) != 0; }
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
};

// Opens registry keys. The Windows build gives the real registry; elsewhere there is none and
// Open answers null (nothing is saved or loaded), unless a test puts its own opener in.
class TpkRegistryOpener {
public:
    virtual ~TpkRegistryOpener() = default;
    // The key under the root of `location`, created when missing if `create`; null on failure.
    virtual std::unique_ptr<TpkSettingsStore> Open(TpkRegLocation location, const std::string& key,
                                                   bool create) = 0;
};
std::unique_ptr<TpkRegistryOpener> CreatePlatformRegistryOpener();

// An INI file held in memory: read on open (a missing file is empty), written back by Flush.
// Section and value names compare case-insensitively (ASCII). Lines keep CR LF on write.
class TpkIniFile {
public:
    explicit TpkIniFile(std::string fileName);
    const std::string& FileName() const { return fileName_; }
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& name) const;
    std::string ReadString(const std::string& section, const std::string& name, const std::string& def) const;
    void WriteString(const std::string& section, const std::string& name, const std::string& value);
    void EraseSection(const std::string& section);
    // Writes the file when something changed; raises EpkFileCreateError when it cannot.
    void Flush();
    // The section as a store for the saver's operations.
    std::unique_ptr<TpkSettingsStore> Section(const std::string& section);

private:
    struct Entry { std::string name, value; };
    struct Sect { std::string name; std::vector<Entry> entries; };
    const Sect* FindSection(const std::string& section) const;
    Sect* FindSection(const std::string& section);
    std::string fileName_;
    std::vector<Sect> sections_;
    bool dirty_ = false;
};

class TpkCustomRegistrySaver : public TpkAddon {
public:
    static constexpr const char* DefaultRegKey = "Software\\CompanyName\\ProgramName\\Default";

    explicit TpkCustomRegistrySaver(TpkComponent* owner = nullptr);
    const char* ClassName() const override { return "TpkCustomRegistrySaver"; }

    const std::string& RegKey() const { return regKey_; }
    // Drops one trailing backslash and then every leading one; a changed value calls Change().
    void SetRegKey(const std::string& value);
    TpkRegLocation RegLocation() const { return regLocation_; }
    void SetRegLocation(TpkRegLocation value);
    std::string IniFileName;
    std::string IniSection;
    TpkStorageType Storage = TpkStorageType::useRegistry;
    TpkRegSaverOptions Options() const { return options_; }
    void SetOptions(TpkRegSaverOptions value) { options_ = value; }

    // RegKey is stored with the owner's settings only when it differs from the default.
    bool RegKeyStored() const { return regKey_ != DefaultRegKey; }

    // Nothing while not Enabled or while the owner is being designed. INI storage with no file
    // name raises ".INI file not specified"; every other failure is swallowed.
    void Save();
    void Load();

    void Assign(const TpkPersistent* source) override;

    // Where the registry is reached; the platform's by default.
    void SetRegistryOpener(std::unique_ptr<TpkRegistryOpener> opener) { opener_ = std::move(opener); }

protected:
    virtual void SaveToIni(TpkSettingsStore& section) { (void)section; }
    virtual void LoadFromIni(TpkSettingsStore& section) { (void)section; }
    virtual void SaveToRegistry(TpkSettingsStore& key) { (void)key; }
    virtual void LoadFromRegistry(TpkSettingsStore& key) { (void)key; }

private:
    void Transfer(bool save);
    std::string regKey_ = DefaultRegKey;
    TpkRegLocation regLocation_ = TpkRegLocation::rlCurrentUser;
    TpkRegSaverOptions options_ = saveOnClose;
    std::unique_ptr<TpkRegistryOpener> opener_;
};

class TpkRegistrySaver : public TpkCustomRegistrySaver {
public:
    using TpkCustomRegistrySaver::TpkCustomRegistrySaver;
    const char* ClassName() const override { return "TpkRegistrySaver"; }
};

// ---------------------------------------------------------------------------------------------
// Lists

// An ordered list of pointers that refuses null entries and entries already present.
template <class T>
class TpkUniqueList {
public:
    virtual ~TpkUniqueList() = default;
    // The new entry's index, or -1 when it is null or already listed.
    virtual int Add(T* item) {
        if (item == nullptr || IndexOf(item) >= 0) return -1;
        items_.push_back(item);
        return static_cast<int>(items_.size()) - 1;
    }
    // Inserts at `index` (clamped to 0..Count); false for null or duplicate entries.
    bool Insert(int index, T* item) {
        if (item == nullptr || IndexOf(item) >= 0) return false;
        if (index < 0) index = 0;
        if (index > Count()) index = Count();
        items_.insert(items_.begin() + index, item);
        return true;
    }
    int IndexOf(const T* item) const {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == item) return static_cast<int>(i);
        return -1;
    }
    int Count() const { return static_cast<int>(items_.size()); }
    T* Items(int index) const {
        return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)] : nullptr;
    }
    // Takes the entry out without freeing it; answers it (null when out of range).
    T* Extract(int index) {
        T* item = Items(index);
        if (item) items_.erase(items_.begin() + index);
        return item;
    }
    // Removes `item`; answers its former index or -1.
    virtual int Remove(T* item) {
        int index = IndexOf(item);
        if (index >= 0) Delete(index);
        return index;
    }
    virtual void Delete(int index) { Extract(index); }
    virtual void Clear() {
        while (Count() > 0) Delete(Count() - 1);
    }

protected:
    std::vector<T*> items_;
};

// A unique list that may own its entries: a deleted entry of an owning list is freed, and an entry
// that Accept rejects is freed instead of being added. A list that does not own its entries never
// frees one, not even a rejected one: the caller still holds it.
template <class T>
class TpkObjectList : public TpkUniqueList<T> {
public:
    explicit TpkObjectList(bool ownsObjects = true) : ownsObjects_(ownsObjects) {}
    ~TpkObjectList() override { Clear(); }
    TpkObjectList(const TpkObjectList&) = delete;
    TpkObjectList& operator=(const TpkObjectList&) = delete;

    bool OwnsObjects() const { return ownsObjects_; }
    void SetOwnsObjects(bool value) { ownsObjects_ = value; }

    int Add(T* item) override {
        if (item != nullptr && this->IndexOf(item) < 0 && !Accept(item)) {
            if (ownsObjects_) delete item;
            return -1;
        }
        return TpkUniqueList<T>::Add(item);
    }
    void Delete(int index) override {
        T* item = this->Extract(index);
        if (ownsObjects_) delete item;
    }
    void Clear() override {
        while (this->Count() > 0) Delete(this->Count() - 1);
    }

protected:
    virtual bool Accept(T* item) { (void)item; return true; }

private:
    bool ownsObjects_;
};

// ---------------------------------------------------------------------------------------------
// Login component

// Holds a user name and a password, kept with the owner's settings as one binary value "LInfo":
// one byte L = (length(user) + length(password) + 1) mod 256, then L bytes (the user name's length,
// the user name, the password), each XOR-ed with L ^ LInfoMask. The two lengths together must stay
// below 255: a longer pair cannot be recorded and WriteLInfo raises instead of writing a record
// that would not read back.
class TpkLoginComponent : public TpkComponent {
public:
    static constexpr std::uint8_t LInfoMask = 0xA7;
    static constexpr std::size_t MaxLoginLength = 254;  // user + password

    using TpkComponent::TpkComponent;
    const char* ClassName() const override { return "TpkLoginComponent"; }

    const std::string& Username() const { return username_; }
    void SetUsername(std::string value) { username_ = std::move(value); }
    const std::string& Password() const { return password_; }
    void SetPassword(std::string value) { password_ = std::move(value); }

    // Whether "LInfo" is written at all: when either text is non-empty.
    bool LInfoStored() const { return !username_.empty() || !password_.empty(); }
    // Whether the pair fits the record.
    bool LInfoFits() const { return username_.size() + password_.size() <= MaxLoginLength; }
    // The record's bytes; raises EpkComponentError when the pair does not fit.
    std::string WriteLInfo() const;
    // Reads one record from the front of `data`. On success sets both texts and answers the bytes
    // used; a truncated or inconsistent record answers 0 and leaves both texts as they were.
    std::size_t ReadLInfo(std::string_view data);

private:
    std::string username_;
    std::string password_;
};

// ---------------------------------------------------------------------------------------------
// Streams

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream with a position and a size.
class TpkStream {
public:
    virtual ~TpkStream() = default;
    // Up to `count` bytes from the position; answers how many were read.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes at the position, growing the stream; answers how many were written.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position (clamped at 0); answers the new position.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    std::int64_t Size();
    // Whole-buffer variants: raise EpkStreamError when fewer bytes move.
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    void WriteString(std::string_view text) { WriteBuffer(text.data(), text.size()); }
};

class TpkMemoryStream : public TpkStream {
public:
    TpkMemoryStream() = default;
    explicit TpkMemoryStream(std::string bytes) : data_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    const std::string& Bytes() const { return data_; }
    void Clear() { data_.clear(); pos_ = 0; }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

enum class TpkFileStreamMode : int {
    fsmOpenOrCreate = 0,  // open the file, creating it when missing
    fsmCreate = 1,        // always create anew (an existing file is emptied)
};

// A file opened for reading and writing that others may read and write meanwhile. With
// `fixAttributes`, a read-only or hidden file gets the plain archive attribute for the opening and
// its previous attributes back afterwards. Failure raises EpkFileCreateError. The name is UTF-8.
class TpkFileStream : public TpkStream {
public:
    TpkFileStream(const std::string& fileName, TpkFileStreamMode mode, bool fixAttributes = false);
    ~TpkFileStream() override;
    TpkFileStream(const TpkFileStream&) = delete;
    TpkFileStream& operator=(const TpkFileStream&) = delete;

    const std::string& FileName() const { return fileName_; }
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;

    struct Impl;  // the platform's open file

private:
    std::string fileName_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw
