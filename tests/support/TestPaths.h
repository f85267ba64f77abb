#pragma once
// Where tests find their data and where they may write.
#include <filesystem>
#include <string>
#include <string_view>

namespace tw::test {

// The source tree's root; under Wine a path on drive Z:, which maps the Linux root.
std::filesystem::path SourcePath(std::string_view relative = {});

// tests/data/<relative>.
std::filesystem::path DataPath(std::string_view relative);

// A path as the UTF-8 text the program's file functions take.
std::string Utf8Path(const std::filesystem::path& path);

// A whole file as bytes; "" when it cannot be read (some tests look for files that may be gone).
std::string ReadWholeFile(const std::filesystem::path& path);

// A file of the source tree as bytes; "" when it cannot be read.
std::string ReadSourceFile(std::string_view relative);

// Reads a whole file as bytes; fails the current test (and returns "") when it cannot.
std::string ReadDataFile(std::string_view relative);

// The "file:" URL of a local path, as the HTTP component reads it in both builds.
std::string FileUrl(const std::filesystem::path& path);

// A fresh, empty folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / std::filesystem::path(name); }

private:
    std::filesystem::path path_;
};

}  // namespace tw::test
