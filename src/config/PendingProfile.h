#pragma once
// The copy beside a profile file that a store's writes go to until it commits them, so that the
// file is never seen half written. The copy is made from the file's bytes at the first write (so
// the file keeps the encoding it has), is read in the file's place from then on, and becomes the
// file in one step at the commit (base/AtomicFile). A copy never committed is removed; one left
// by a killed writer is overwritten by the next first write.
#include <filesystem>
#include <functional>
#include <string_view>

namespace tw {

class TPendingProfile {
public:
    explicit TPendingProfile(std::filesystem::path file);
    ~TPendingProfile();
    TPendingProfile(const TPendingProfile&) = delete;
    TPendingProfile& operator=(const TPendingProfile&) = delete;

    // Where reads go: the copy while there is one, else the file.
    const std::filesystem::path& Current() const { return copied_ ? copy_ : file_; }
    const std::filesystem::path& File() const { return file_; }

    // Runs `write` on the copy, made first unless there is one (the file's bytes, or `seed` when
    // there is no file). False when the copy cannot be made or `write` answers false; the commit
    // then refuses.
    bool Write(std::string_view seed, const std::function<bool(const std::filesystem::path& copy)>& write);
    // Makes the copy the file in one step; true with nothing to commit. False when a write since
    // the last commit failed or the system refused: the file then holds what it held. The copy
    // is gone afterwards either way.
    bool Commit();

private:
    bool Begin(std::string_view seed);
    void Discard();

    std::filesystem::path file_;
    std::filesystem::path copy_;
    bool copied_ = false;
    bool failed_ = false;
};

}  // namespace tw
