// The program's pictures from the executable's RCDATA resources, and the ways the window
// system shows them: alpha-blended drawing, icons and an image list.
#include "controls/PngImages_win32.h"

#include "base/TextConvert_win32.h"
#include "controls/GdiHandles_win32.h"

#include <cstring>
#include <vector>

namespace tw {

namespace {

// A 32-bit DIB section holding `image`'s pixels as they are.
gdi::GdiObject MakeDib(const TPixelImage& image) {
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(image.Width(), image.Height());
    void* bits = nullptr;
    gdi::GdiObject dib(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return {};
    std::memcpy(bits, image.Data(), static_cast<std::size_t>(image.Width()) * image.Height() * 4);
    return dib;
}

bool LoadOne(HMODULE module, const char* name, TPixelImage& out, std::string& failures) {
    std::string bytes, why;
    if (!ReadResourceBytes(module, name, bytes)) why = "missing";
    else if (!DecodePng(bytes, out, &why)) {}
    else return true;
    failures += (failures.empty() ? "" : "; ") + std::string(name) + ": " + why;
    return false;
}

}  // namespace

bool ReadResourceBytes(HMODULE module, const char* name, std::string& bytes) {
    bytes.clear();
    HMODULE mod = module ? module : GetModuleHandleW(nullptr);
    const std::wstring wide = ToWide(name ? name : "");
    HRSRC info = FindResourceW(mod, wide.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return false;
    const DWORD size = SizeofResource(mod, info);
    HGLOBAL handle = LoadResource(mod, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool LoadProgramPictures(HMODULE module, TPngImageCollection& pngImages, TPngImageList& pngTrayIcons,
                         TPixelImage& tile, std::string* error) {
    HMODULE mod = module;
    std::string failures;
    pngImages.Clear();
    pngTrayIcons.Clear();
    // A picture that fails keeps its place as an empty image, so indexes never shift.
    for (const char* name : kPngImageResources) {
        TPixelImage image;
        LoadOne(mod, name, image, failures);
        pngImages.Add(std::move(image));
    }
    for (const char* name : kPngTrayIconResources) {
        TPixelImage image;
        if (LoadOne(mod, name, image, failures) && !pngTrayIcons.Add(image)) {
            failures += (failures.empty() ? "" : "; ") + std::string(name) + ": wrong size";
            image = TPixelImage();
        }
        if (image.Empty()) pngTrayIcons.Add(TPixelImage(pngTrayIcons.Width(), pngTrayIcons.Height(), 0));
    }
    tile = TPixelImage();
    LoadOne(mod, kPngTileResource, tile, failures);
    if (error) *error = failures;
    return failures.empty();
}

bool LoadBarPictures2x(HMODULE module, TPngImageCollection& pngImages, TPixelImage& tile, std::string* error) {
    std::string failures;
    pngImages.Clear();
    for (const char* name : kPngImageResources2x) {
        TPixelImage image;
        LoadOne(module, name, image, failures);
        pngImages.Add(std::move(image));
    }
    tile = TPixelImage();
    LoadOne(module, kPngTileResource2x, tile, failures);
    if (error) *error = failures;
    return failures.empty();
}

void DrawPngImage(HDC hdc, const TPixelImage& image, int x, int y) {
    if (!hdc || image.Empty()) return;
    gdi::GdiObject dib = MakeDib(Premultiplied(image));
    gdi::MemoryDc memory(CreateCompatibleDC(hdc));
    if (!dib || !memory) return;
    gdi::SelectScope select(memory.Get(), dib.Get());
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(hdc, x, y, image.Width(), image.Height(), memory.Get(), 0, 0, image.Width(),
               image.Height(), blend);
}

Icon CreatePngIcon(const TPixelImage& image) {
    if (image.Empty()) return {};
    gdi::GdiObject color = MakeDib(image);  // icons take straight alpha
    // An all-zero mask: the colour bitmap's alpha decides. CreateBitmap leaves null bits undefined.
    const std::vector<unsigned char> zeros(static_cast<std::size_t>((image.Width() + 15) / 16 * 2) * image.Height(), 0);
    gdi::GdiObject mask(CreateBitmap(image.Width(), image.Height(), 1, 1, zeros.data()));
    if (!color || !mask) return {};
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = static_cast<HBITMAP>(color.Get());
    info.hbmMask = static_cast<HBITMAP>(mask.Get());
    return Icon(CreateIconIndirect(&info));  // copies both bitmaps
}

ImageList MakeImageList(const TPngImageList& list) {
    ImageList images(ImageList_Create(list.Width(), list.Height(), ILC_COLOR32 | ILC_MASK, list.Count(), 1));
    if (!images) return {};
    for (int i = 0; i < list.Count(); ++i) {
        const Icon icon = CreatePngIcon(list.Items(i));
        if (!icon || ImageList_AddIcon(images.Get(), icon.Get()) < 0) return {};
    }
    return images;
}

}  // namespace tw
