#include "base/pkClasses.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/TestPaths.h"

namespace tw {
namespace {

// ---------------------------------------------------------------------------------------------
// Integer-text rule

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;
};

TEST(IntegerText, FollowsTheRuleForEveryForm) {
    const IntCase cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"   42", true, 42},
        {"+42", true, 42},
        {"-42", true, -42},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$1F", true, 31},
        {"$1f", true, 31},
        {"x10", true, 16},
        {"X10", true, 16},
        {"0x10", true, 16},
        {"0XfF", true, 255},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"$100000000", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"42 ", false, 0},
        {"4 2", false, 0},
        {"\t42", false, 0},
        {"- 42", false, 0},
        {"++42", false, 0},
        {"12a", false, 0},
        {"1.5", false, 0},
        {"$G", false, 0},
        {"007", true, 7},
    };
    for (const IntCase& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(TryTextToInt(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
            EXPECT_EQ(TextToInt(c.text), c.value);
        } else {
            EXPECT_EQ(TextToIntDef(c.text, -77), -77) << '"' << c.text << '"';
            EXPECT_THROW(TextToInt(c.text), EpkConvertError) << '"' << c.text << '"';
        }
    }
}

TEST(IntegerText, EmbeddedNulIsNotTheEnd) {
    EXPECT_EQ(TextToIntDef(std::string_view("12\0" "3", 4), 9), 9);
}

// ---------------------------------------------------------------------------------------------
// TpkComponent

class Recorder : public TpkComponent {
public:
    using TpkComponent::TpkComponent;
    std::vector<std::string> log;
    TpkComponent* lastRemoved = nullptr;
    bool ownerDestroyingSeen = false;

protected:
    void Loaded() override { log.push_back("Loaded " + Name()); }
    void Notification(TpkComponent* component, TOperation operation) override {
        log.push_back(std::string(operation == TOperation::opInsert ? "insert " : "remove ") + component->Name());
        if (operation == TOperation::opRemove) lastRemoved = component;
    }
};

TEST(TpkComponent, OwnerListsItsComponentsAndLosesThemOnDestruction) {
    Recorder owner;
    owner.SetName("owner");
    {
        TpkComponent a(&owner), b(&owner);
        a.SetName("a");
        b.SetName("b");
        ASSERT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.Components(0), &a);
        EXPECT_EQ(owner.Components(1), &b);
        EXPECT_EQ(owner.Components(2), nullptr);
        EXPECT_EQ(owner.Components(-1), nullptr);
        EXPECT_EQ(owner.FindComponent("b"), &b);
        EXPECT_EQ(owner.FindComponent("c"), nullptr);
        EXPECT_EQ(a.Owner(), &owner);
        EXPECT_EQ(a.HookedControl(), &owner);
    }
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(owner.lastRemoved != nullptr, true);
}

TEST(TpkComponent, OwnerGoingFirstLeavesNoDanglingLink) {
    auto owner = std::make_unique<TpkComponent>();
    TpkComponent child(owner.get());
    owner->Destroying();
    EXPECT_TRUE(child.IsDestroying());
    owner.reset();
    EXPECT_EQ(child.Owner(), nullptr);
    EXPECT_EQ(child.HookedControl(), nullptr);
}

TEST(TpkComponent, DesigningAndLoadingReachOwnedComponents) {
    Recorder owner;
    owner.SetName("owner");
    Recorder child(&owner);
    child.SetName("child");
    owner.SetDesigning(true);
    EXPECT_TRUE(child.IsDesigning());
    Recorder late(&owner);  // added while designing
    late.SetName("late");
    EXPECT_TRUE(late.IsDesigning());
    owner.SetDesigning(false);
    EXPECT_FALSE(child.IsDesigning());

    owner.BeginLoading();
    EXPECT_TRUE(owner.IsLoading());
    EXPECT_TRUE(child.IsLoading());
    owner.log.clear();
    owner.EndLoading();
    EXPECT_FALSE(owner.IsLoading());
    EXPECT_FALSE(child.IsLoading());
    EXPECT_EQ(child.log.back(), "Loaded child");
    EXPECT_EQ(owner.log, std::vector<std::string>{"Loaded owner"});
    owner.EndLoading();  // not loading: no second notification
    EXPECT_EQ(owner.log.size(), 1u);
}

TEST(TpkComponent, FreeNotificationReachesThePartnerOnce) {
    Recorder feed;
    feed.SetName("feed");
    {
        TpkComponent queue;
        queue.SetName("queue");
        feed.FreeNotification(&queue);
        feed.FreeNotification(&queue);  // a second tie is the same tie
    }
    EXPECT_EQ(feed.log, std::vector<std::string>{"remove queue"});
}

TEST(TpkComponent, FreeNotificationRunsBothWaysAndCanBeUndone) {
    auto feed = std::make_unique<Recorder>();
    Recorder queue;
    queue.SetName("queue");
    feed->SetName("feed");
    feed->FreeNotification(&queue);
    feed.reset();  // the partner that asked goes first: the other still hears of it
    EXPECT_EQ(queue.log, std::vector<std::string>{"remove feed"});

    Recorder a;
    {
        TpkComponent b;
        a.FreeNotification(&b);
        a.RemoveFreeNotification(&b);
    }
    EXPECT_TRUE(a.log.empty());
}

TEST(TpkComponent, NoNotificationReachesAComponentBeingDestroyed) {
    // The holder's Notification reads a member declared before the children: by the time the
    // children go, that member is gone, so a call would read freed memory.
    struct Holder : TpkComponent {
        std::unique_ptr<std::vector<std::string>> log = std::make_unique<std::vector<std::string>>();
        TpkComponent first{this};
        TpkComponent second{this};
        ~Holder() override { Destroying(); log.reset(); }
        void Notification(TpkComponent* c, TOperation op) override {
            log->push_back(op == TOperation::opRemove ? "remove" : "insert");
            (void)c;
        }
    };
    auto holder = std::make_unique<Holder>();
    Recorder partner;
    holder->first.FreeNotification(&partner);
    {
        TpkComponent temporary(holder.get());
    }
    EXPECT_EQ(holder->log->back(), "remove");  // alive: told
    holder.reset();  // would crash under the sanitizers if a notification reached the dead log
    EXPECT_EQ(partner.log, std::vector<std::string>{"remove "});
}

TEST(TpkComponent, DestroyingIsSeenByMembersDuringTeardown) {
    struct Child : TpkComponent {
        using TpkComponent::TpkComponent;
        bool* sawOwnerDestroying = nullptr;
        ~Child() override { *sawOwnerDestroying = Owner() && Owner()->IsDestroying() && IsDestroying(); }
    };
    struct Holder : TpkComponent {
        Child child{this};
        ~Holder() override { Destroying(); }
    };
    bool seen = false;
    {
        Holder h;
        h.child.sawOwnerDestroying = &seen;
        EXPECT_FALSE(h.IsDestroying());
    }
    EXPECT_TRUE(seen);
}

// ---------------------------------------------------------------------------------------------
// TpkPersistent, TpkAddon

class CountingAddon : public TpkAddon {
public:
    using TpkAddon::TpkAddon;
    int changes = 0;

protected:
    void Change() override { ++changes; }
};

class OtherPersistent : public TpkPersistent {
public:
    const char* ClassName() const override { return "TOther"; }
};

TEST(TpkAddon, EnabledChangeNotifiesOnlyOnChange) {
    CountingAddon addon;
    EXPECT_FALSE(addon.Enabled());
    addon.SetEnabled(false);
    EXPECT_EQ(addon.changes, 0);
    addon.SetEnabled(true);
    addon.SetEnabled(true);
    EXPECT_EQ(addon.changes, 1);
}

TEST(TpkAddon, AssignCopiesEnabledAndRefusesOtherClasses) {
    TpkAddon source, target;
    source.SetEnabled(true);
    target.Assign(&source);
    EXPECT_TRUE(target.Enabled());

    OtherPersistent other;
    try {
        target.Assign(&other);
        FAIL() << "no error";
    } catch (const EpkAssignError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOther to a TpkAddon");
    }
    EXPECT_TRUE(target.Enabled());
}

TEST(TpkPersistent, KnowsWhetherItsOwnerIsDesigned) {
    TpkComponent owner;
    TpkAddon addon(&owner);
    EXPECT_EQ(addon.Owner(), &owner);
    EXPECT_FALSE(addon.IsDesigning());
    owner.SetDesigning(true);
    EXPECT_TRUE(addon.IsDesigning());
    TpkAddon orphan;
    EXPECT_FALSE(orphan.IsDesigning());
}

// ---------------------------------------------------------------------------------------------
// Lists

struct Tracked {
    explicit Tracked(int* deaths) : deaths(deaths) {}
    ~Tracked() { ++*deaths; }
    int* deaths;
};

TEST(TpkUniqueList, RefusesNullAndDuplicates) {
    int a = 1, b = 2;
    TpkUniqueList<int> list;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Add(&a), -1);
    EXPECT_EQ(list.Add(nullptr), -1);
    EXPECT_FALSE(list.Insert(0, &b));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Remove(&a), 0);
    EXPECT_EQ(list.Items(0), &b);
    EXPECT_EQ(list.Remove(&a), -1);
    EXPECT_EQ(list.Items(5), nullptr);
}

TEST(TpkObjectList, OwningListFreesDeletedAndRejectedEntries) {
    struct Picky : TpkObjectList<Tracked> {
        bool Accept(Tracked* t) override { return t->deaths != reject; }
        int* reject = nullptr;
    };
    int kept = 0, rejected = 0;
    {
        Picky list;
        list.reject = &rejected;
        auto* first = new Tracked(&kept);
        EXPECT_EQ(list.Add(first), 0);
        EXPECT_EQ(list.Add(first), -1);  // already there: refused, not freed
        EXPECT_EQ(kept, 0);
        EXPECT_EQ(list.Add(new Tracked(&rejected)), -1);
        EXPECT_EQ(rejected, 1);
        EXPECT_EQ(list.Add(new Tracked(&kept)), 1);
        list.Delete(0);
        EXPECT_EQ(kept, 1);
    }
    EXPECT_EQ(kept, 2);  // the list freed its last entry on destruction
}

TEST(TpkObjectList, NonOwningListNeverFrees) {
    int deaths = 0;
    Tracked t(&deaths);
    {
        TpkObjectList<Tracked> list(false);
        EXPECT_EQ(list.Add(&t), 0);
        list.Delete(0);
        list.Add(&t);
    }
    EXPECT_EQ(deaths, 0);
}

// ---------------------------------------------------------------------------------------------
// TpkLoginComponent

TEST(TpkLoginComponent, LInfoRoundTrips) {
    const std::pair<std::string, std::string> pairs[] = {
        {"user", "secret"}, {"", "p"}, {"u", ""}, {std::string(200, 'x'), std::string(54, '\xff')},
        {std::string("a\0b", 3), "\x01\x02"},
    };
    for (const auto& [user, password] : pairs) {
        TpkLoginComponent source, target;
        source.SetUsername(user);
        source.SetPassword(password);
        ASSERT_TRUE(source.LInfoStored());
        std::string record = source.WriteLInfo();
        EXPECT_EQ(static_cast<unsigned char>(record[0]), user.size() + password.size() + 1);
        EXPECT_EQ(record.size(), user.size() + password.size() + 2);
        EXPECT_EQ(target.ReadLInfo(record + "trailing"), record.size());
        EXPECT_EQ(target.Username(), user);
        EXPECT_EQ(target.Password(), password);
    }
}

TEST(TpkLoginComponent, LInfoIsMaskedAndOnlyStoredWhenSet) {
    TpkLoginComponent login;
    EXPECT_FALSE(login.LInfoStored());
    login.SetUsername("alice");
    login.SetPassword("wonderland");
    std::string record = login.WriteLInfo();
    EXPECT_EQ(record.find("alice"), std::string::npos);
    EXPECT_EQ(record.find("wonderland"), std::string::npos);
}

TEST(TpkLoginComponent, LengthRuleIsEnforced) {
    TpkLoginComponent login;
    login.SetUsername(std::string(200, 'u'));
    login.SetPassword(std::string(54, 'p'));  // 254 together: the longest pair that fits
    EXPECT_TRUE(login.LInfoFits());
    EXPECT_NO_THROW(login.WriteLInfo());
    login.SetPassword(std::string(55, 'p'));  // 255 would wrap the length byte to 0
    EXPECT_FALSE(login.LInfoFits());
    EXPECT_THROW(login.WriteLInfo(), EpkComponentError);
}

TEST(TpkLoginComponent, MalformedRecordsChangeNothing) {
    TpkLoginComponent good;
    good.SetUsername("user");
    good.SetPassword("pw");
    const std::string record = good.WriteLInfo();
    std::string badLength = record;
    badLength[1] = static_cast<char>(static_cast<unsigned char>(record[1]) ^ 0x7F);  // user length beyond L-1

    const std::string inputs[] = {"", std::string(1, '\0'), record.substr(0, record.size() - 1), badLength};
    for (const std::string& input : inputs) {
        TpkLoginComponent login;
        login.SetUsername("keep");
        login.SetPassword("this");
        EXPECT_EQ(login.ReadLInfo(input), 0u);
        EXPECT_EQ(login.Username(), "keep");
        EXPECT_EQ(login.Password(), "this");
    }
}

// ---------------------------------------------------------------------------------------------
// Streams

TEST(TpkMemoryStream, ReadsWritesSeeksAndResizes) {
    TpkMemoryStream s;
    s.WriteString("hello");
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.Size(), 5);
    s.SetPosition(1);
    char buf[10] = {};
    EXPECT_EQ(s.Read(buf, sizeof buf), 4u);
    EXPECT_EQ(std::string(buf, 4), "ello");
    EXPECT_EQ(s.Read(buf, 1), 0u);
    EXPECT_EQ(s.Seek(-100, TSeekOrigin::soCurrent), 0);
    s.Seek(2, TSeekOrigin::soEnd);
    s.WriteString("!");
    EXPECT_EQ(s.Bytes(), std::string("hello\0\0!", 8));
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(s.Bytes(), "hel");
    s.SetPosition(0);
    EXPECT_THROW(s.ReadBuffer(buf, 4), EpkStreamError);
}

TEST(TpkFileStream, OpensOrCreatesAndCreatesAnew) {
    test::TempDir dir;
    const std::string name = (dir / "out.bin").string();
    {
        TpkFileStream f(name, TpkFileStreamMode::fsmOpenOrCreate);
        f.WriteString("abcdef");
    }
    {
        TpkFileStream f(name, TpkFileStreamMode::fsmOpenOrCreate);  // keeps the bytes
        EXPECT_EQ(f.Size(), 6);
        f.Seek(0, TSeekOrigin::soEnd);
        f.WriteString("gh");
        f.SetPosition(0);
        char buf[8];
        f.ReadBuffer(buf, 8);
        EXPECT_EQ(std::string(buf, 8), "abcdefgh");
        f.SetSize(3);
        EXPECT_EQ(f.Size(), 3);
    }
    {
        TpkFileStream f(name, TpkFileStreamMode::fsmCreate);  // empties
        EXPECT_EQ(f.Size(), 0);
    }
}

TEST(TpkFileStream, SharesReadAndWriteWithOthers) {
    test::TempDir dir;
    const std::string name = (dir / "shared.bin").string();
    TpkFileStream writer(name, TpkFileStreamMode::fsmCreate);
    writer.WriteString("data");
    TpkFileStream reader(name, TpkFileStreamMode::fsmOpenOrCreate);
    char buf[4];
    reader.ReadBuffer(buf, 4);
    EXPECT_EQ(std::string(buf, 4), "data");
}

TEST(TpkFileStream, FailureNamesTheExpandedFile) {
    test::TempDir dir;
    const std::string name = (dir / "missing-folder" / "x.bin").string();
    try {
        TpkFileStream f(name, TpkFileStreamMode::fsmOpenOrCreate);
        FAIL() << "opened";
    } catch (const EpkFileCreateError& e) {
        EXPECT_NE(e.FileName().find("x.bin"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("Cannot create file \""), std::string::npos);
        EXPECT_GT(std::string(e.what()).size(), std::string("Cannot create file \"\". ").size() + e.FileName().size());
    }
}

// ---------------------------------------------------------------------------------------------
// TpkIniFile and the saver

TEST(TpkIniFile, ReadsWritesAndIgnoresCase) {
    test::TempDir dir;
    const std::string name = (dir / "s.ini").string();
    {
        TpkIniFile ini(name);
        EXPECT_EQ(ini.ReadString("Bar", "Edge", "none"), "none");
        ini.WriteString("Bar", "Edge", "top");
        ini.WriteString("Bar", "Width", "12");
        ini.WriteString("Other", "Line", "two\r\nlines");
        ini.Flush();
    }
    std::ifstream in(name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[Bar]\r\nEdge=top\r\nWidth=12\r\n"), std::string::npos) << text;
    TpkIniFile again(name);
    EXPECT_EQ(again.ReadString("bar", "EDGE", ""), "top");
    EXPECT_EQ(again.ReadString("Other", "Line", ""), "two  lines");
    EXPECT_TRUE(again.SectionExists("OTHER"));
    again.EraseSection("other");
    EXPECT_FALSE(again.SectionExists("Other"));
}

// A registry kept in memory, so the saver's logic is tested without Windows.
class MemoryRegistry : public TpkRegistryOpener {
public:
    struct Key : TpkSettingsStore {
        std::map<std::string, std::string> strings;
        std::map<std::string, std::int32_t> ints;
        bool ValueExists(const std::string& n) override { return strings.count(n) || ints.count(n); }
        std::string ReadString(const std::string& n, const std::string& d) override {
            return strings.count(n) ? strings[n] : d;
        }
        void WriteString(const std::string& n, const std::string& v) override { strings[n] = v; }
        std::int32_t ReadInteger(const std::string& n, std::int32_t d) override { return ints.count(n) ? ints[n] : d; }
        void WriteInteger(const std::string& n, std::int32_t v) override { ints[n] = v; }
    };
    struct View : TpkSettingsStore {
        explicit View(Key& k) : k(k) {}
        Key& k;
        bool ValueExists(const std::string& n) override { return k.ValueExists(n); }
        std::string ReadString(const std::string& n, const std::string& d) override { return k.ReadString(n, d); }
        void WriteString(const std::string& n, const std::string& v) override { k.WriteString(n, v); }
        std::int32_t ReadInteger(const std::string& n, std::int32_t d) override { return k.ReadInteger(n, d); }
        void WriteInteger(const std::string& n, std::int32_t v) override { k.WriteInteger(n, v); }
    };
    std::map<std::string, Key>* keys;
    std::vector<std::string>* opened;
    explicit MemoryRegistry(std::map<std::string, Key>* keys, std::vector<std::string>* opened)
        : keys(keys), opened(opened) {}
    std::unique_ptr<TpkSettingsStore> Open(TpkRegLocation loc, const std::string& key, bool create) override {
        std::string full = (loc == TpkRegLocation::rlCurrentUser ? "HKCU\\" : "HKLM\\") + key;
        opened->push_back(full + (create ? " +" : ""));
        if (!create && !keys->count(full)) return nullptr;
        return std::make_unique<View>((*keys)[full]);
    }
};

class TestSaver : public TpkRegistrySaver {
public:
    using TpkRegistrySaver::TpkRegistrySaver;
    int width = 0;
    bool fail = false;
    int changes = 0;

protected:
    void Change() override { ++changes; }
    void SaveToIni(TpkSettingsStore& s) override { Write(s); }
    void LoadFromIni(TpkSettingsStore& s) override { width = s.ReadInteger("Width", -1); }
    void SaveToRegistry(TpkSettingsStore& s) override { Write(s); }
    void LoadFromRegistry(TpkSettingsStore& s) override { width = s.ReadInteger("Width", -1); }

private:
    void Write(TpkSettingsStore& s) {
        if (fail) throw std::runtime_error("boom");
        s.WriteInteger("Width", width);
    }
};

TEST(TpkRegistrySaver, DefaultsAndKeyNormalisation) {
    TestSaver saver;
    EXPECT_EQ(saver.RegKey(), "Software\\CompanyName\\ProgramName\\Default");
    EXPECT_FALSE(saver.RegKeyStored());
    EXPECT_EQ(saver.RegLocation(), TpkRegLocation::rlCurrentUser);
    EXPECT_EQ(saver.Storage, TpkStorageType::useRegistry);
    EXPECT_EQ(saver.Options(), saveOnClose);
    EXPECT_FALSE(saver.Enabled());

    const std::pair<const char*, const char*> keys[] = {
        {"\\\\Software\\Tidewire\\", "Software\\Tidewire"},
        {"Software\\Tidewire\\\\", "Software\\Tidewire\\"},  // only one trailing backslash goes
        {"\\", ""},
    };
    for (const auto& [given, stored] : keys) {
        saver.SetRegKey(given);
        EXPECT_EQ(saver.RegKey(), stored) << given;
    }
    int changes = saver.changes;
    saver.SetRegKey("\\");  // normalises to the current value: no change
    EXPECT_EQ(saver.changes, changes);
    saver.SetRegLocation(TpkRegLocation::rlLocalMachine);
    EXPECT_EQ(saver.changes, changes + 1);
}

TEST(TpkRegistrySaver, SavesAndLoadsThroughTheRegistry) {
    std::map<std::string, MemoryRegistry::Key> keys;
    std::vector<std::string> opened;
    TestSaver saver;
    saver.SetRegistryOpener(std::make_unique<MemoryRegistry>(&keys, &opened));
    saver.SetRegKey("Software\\Tidewire\\Bar");
    saver.width = 640;
    saver.Save();  // not enabled: nothing
    EXPECT_TRUE(opened.empty());
    saver.SetEnabled(true);
    saver.Load();  // missing key: nothing loaded, nothing created
    EXPECT_EQ(saver.width, 640);
    EXPECT_TRUE(keys.empty());
    saver.Save();
    EXPECT_EQ(keys["HKCU\\Software\\Tidewire\\Bar"].ints["Width"], 640);
    saver.width = 0;
    saver.Load();
    EXPECT_EQ(saver.width, 640);
    EXPECT_EQ(opened, (std::vector<std::string>{"HKCU\\Software\\Tidewire\\Bar", "HKCU\\Software\\Tidewire\\Bar +",
                                                "HKCU\\Software\\Tidewire\\Bar"}));
    saver.fail = true;
    EXPECT_NO_THROW(saver.Save());  // swallowed
}

TEST(TpkRegistrySaver, DesignedOwnerSavesNothing) {
    std::map<std::string, MemoryRegistry::Key> keys;
    std::vector<std::string> opened;
    TpkComponent owner;
    TestSaver saver(&owner);
    saver.SetRegistryOpener(std::make_unique<MemoryRegistry>(&keys, &opened));
    saver.SetEnabled(true);
    owner.SetDesigning(true);
    saver.Save();
    saver.Load();
    EXPECT_TRUE(opened.empty());
}

TEST(TpkRegistrySaver, IniStorage) {
    test::TempDir dir;
    TestSaver saver;
    saver.SetEnabled(true);
    saver.Storage = TpkStorageType::useIniFile;
    try {
        saver.Save();
        FAIL() << "no error";
    } catch (const EpkComponentError& e) {
        EXPECT_STREQ(e.what(), ".INI file not specified");
    }
    EXPECT_THROW(saver.Load(), EpkComponentError);
    saver.IniFileName = (dir / "bar.ini").string();
    saver.IniSection = "AppBar";
    saver.width = 77;
    saver.Save();
    EXPECT_EQ(TpkIniFile(saver.IniFileName).ReadString("AppBar", "Width", ""), "77");
    saver.width = 0;
    saver.Load();
    EXPECT_EQ(saver.width, 77);

    saver.IniFileName = (dir / "no-such-folder" / "bar.ini").string();
    EXPECT_NO_THROW(saver.Save());  // unwritable file: swallowed
}

TEST(TpkRegistrySaver, AssignCopiesEverySetting) {
    TestSaver source, target;
    source.IniFileName = "a.ini";
    source.IniSection = "S";
    source.Storage = TpkStorageType::useIniFile;
    source.SetRegKey("Software\\X");
    source.SetRegLocation(TpkRegLocation::rlLocalMachine);
    source.SetOptions(saveOnClose | saveOnMoveResize);
    source.SetEnabled(true);
    target.Assign(&source);
    EXPECT_EQ(target.IniFileName, "a.ini");
    EXPECT_EQ(target.IniSection, "S");
    EXPECT_EQ(target.Storage, TpkStorageType::useIniFile);
    EXPECT_EQ(target.RegKey(), "Software\\X");
    EXPECT_EQ(target.RegLocation(), TpkRegLocation::rlLocalMachine);
    EXPECT_EQ(target.Options(), saveOnClose | saveOnMoveResize);
    EXPECT_TRUE(target.Enabled());

    TpkAddon plain;  // another add-on: only Enabled
    target.Assign(&plain);
    EXPECT_FALSE(target.Enabled());
    EXPECT_EQ(target.IniFileName, "a.ini");
    EXPECT_THROW(target.Assign(nullptr), EpkAssignError);
}

}  // namespace
}  // namespace tw
