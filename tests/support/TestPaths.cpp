#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace tw::test {

namespace fs = std::filesystem;

fs::path SourcePath(std::string_view relative) {
    fs::path root(TW_SOURCE_DIR);
    return relative.empty() ? root : root / fs::path(relative);
}

fs::path DataPath(std::string_view relative) {
    return SourcePath("tests/data") / fs::path(relative);
}

std::string Utf8Path(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string ReadSourceFile(std::string_view relative) { return ReadWholeFile(SourcePath(relative)); }

std::string ReadDataFile(std::string_view relative) {
    if (!fs::is_regular_file(DataPath(relative))) {
        ADD_FAILURE() << "cannot read test data " << relative;
        return {};
    }
    return ReadWholeFile(DataPath(relative));
}

std::string FileUrl(const fs::path& path) {
    std::string s = Utf8Path(path);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s.front() == '/' ? "file://" + s : "file:///" + s;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("tidewire-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace tw::test
