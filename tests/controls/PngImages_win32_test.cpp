// The program's pictures read from RCDATA resources of a real module under Wine.
#include "controls/PngImages_win32.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "ScrollingTextTestKit_win32.h"
#include "support/TestPaths.h"

namespace tw {
namespace {

using test::ReadSourceFile;

// A copy of this test program with the given RCDATA resources added, loaded as a data file.
class ResourceModule {
public:
    ResourceModule(const test::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& resources) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::filesystem::path copy = dir / "pictures.dll";
        std::filesystem::copy_file(self, copy);
        HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
        EXPECT_NE(update, nullptr);
        for (const auto& [name, bytes] : resources) {
            std::wstring wide(name.begin(), name.end());
            EXPECT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), wide.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                        const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())));
        }
        EXPECT_TRUE(EndUpdateResourceW(update, FALSE));
        module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        EXPECT_NE(module_, nullptr);
    }
    ~ResourceModule() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE Get() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

std::vector<std::pair<std::string, std::string>> AllPictures() {
    return {{"PNG_START", ReadSourceFile("resources/start.png")}, {"PNG_PREV", ReadSourceFile("resources/prev.png")},
            {"PNG_NEXT", ReadSourceFile("resources/next.png")},   {"PNG_TRAY0", ReadSourceFile("resources/tray0.png")},
            {"PNG_TRAY1", ReadSourceFile("resources/tray1.png")}, {"PNG_TRAY2", ReadSourceFile("resources/tray2.png")},
            {"PNG_TRAY3", ReadSourceFile("resources/tray3.png")}, {"PNG_TRAY4", ReadSourceFile("resources/tray4.png")},
            {"PNG_TRAY5", ReadSourceFile("resources/tray5.png")}, {"PNG_TILE", ReadSourceFile("resources/tile.png")}};
}

TEST(ProgramPictures, LoadFromResourcesInCollectionOrder) {
    test::TempDir dir;
    const auto pictures = AllPictures();
    ResourceModule module(dir, pictures);
    ASSERT_NE(module.Get(), nullptr);

    std::string bytes;
    ASSERT_TRUE(ReadResourceBytes(module.Get(), "PNG_NEXT", bytes));
    EXPECT_EQ(bytes, pictures[2].second);
    EXPECT_FALSE(ReadResourceBytes(module.Get(), "PNG_NONE", bytes));

    TPngImageCollection pngImages;
    TPngImageList pngTrayIcons(16, 16);
    TPixelImage tile;
    std::string error;
    ASSERT_TRUE(LoadProgramPictures(module.Get(), pngImages, pngTrayIcons, tile, &error)) << error;
    ASSERT_EQ(pngImages.Count(), 3);
    EXPECT_EQ(pngImages.Items(0).Width(), 22);
    TPixelImage next;
    ASSERT_TRUE(DecodePng(pictures[2].second, next));
    EXPECT_EQ(pngImages.Items(2), next);
    EXPECT_EQ(pngTrayIcons.Count(), 6);
    EXPECT_EQ(tile.Width(), 3);
    EXPECT_EQ(tile.Height(), 25);

    const ImageList list = MakeImageList(pngTrayIcons);
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.Get()), 6);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.Get(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST(ProgramPictures, AMissingOrBrokenPictureIsNamedAndKeepsItsPlace) {
    test::TempDir dir;
    auto pictures = AllPictures();
    pictures.erase(pictures.begin() + 1);                   // no PNG_PREV
    pictures[3].second = pictures[3].second.substr(0, 40);  // PNG_TRAY1 cut short
    ResourceModule module(dir, pictures);
    TPngImageCollection pngImages;
    TPngImageList pngTrayIcons(16, 16);
    TPixelImage tile;
    std::string error;
    EXPECT_FALSE(LoadProgramPictures(module.Get(), pngImages, pngTrayIcons, tile, &error));
    EXPECT_NE(error.find("PNG_PREV: missing"), std::string::npos) << error;
    EXPECT_NE(error.find("PNG_TRAY1"), std::string::npos) << error;
    EXPECT_EQ(error.find("PNG_TRAY2"), std::string::npos) << error;
    ASSERT_EQ(pngImages.Count(), 3);
    EXPECT_TRUE(pngImages.Items(1).Empty());
    EXPECT_EQ(pngImages.Items(2).Width(), 16) << "the next arrow keeps index 2";
    EXPECT_EQ(pngTrayIcons.Count(), 6);
    EXPECT_FALSE(tile.Empty());
}

TEST(ProgramPictures, DrawnWithAlphaOverWhatIsThere) {
    test::HostWindow host(0, 0, 60, 30);
    test::PumpFor(100);
    TPixelImage image(4, 1);
    image.SetPixel(0, 0, 0xFF0000FF);  // opaque blue
    image.SetPixel(1, 0, 0x00FFFFFF);  // clear
    image.SetPixel(2, 0, 0x80FFFFFF);  // half white over magenta
    image.SetPixel(3, 0, 0xFF00FF00);
    HDC dc = GetDC(host.Get());
    DrawPngImage(dc, image, 10, 10);
    ReleaseDC(host.Get(), dc);
    test::PumpFor(50);  // Wine hands a window's drawing to the display from its message loop
    const TPixelImage shot = test::CaptureClient(host.Get());
    EXPECT_EQ(test::CapturedColor(shot, 10, 10), 0xFF0000u);  // 0x00BBGGRR blue
    EXPECT_EQ(test::CapturedColor(shot, 11, 10), 0xFF00FFu);
    const TColor half = test::CapturedColor(shot, 12, 10);
    EXPECT_EQ(half & 0xFF, 0xFFu);
    EXPECT_NEAR(static_cast<int>((half >> 8) & 0xFF), 0x80, 2);
    EXPECT_EQ(test::CapturedColor(shot, 13, 10), 0x00FF00u);

    const Icon icon = CreatePngIcon(image);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 4);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_FALSE(CreatePngIcon(TPixelImage()));
}

TEST(ProgramPictures, TheApplicationIconHasItsThreeSizes) {
    const std::wstring path = test::SourcePath("resources/Tidewire.ico").wstring();
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmBitsPixel, 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace
}  // namespace tw
