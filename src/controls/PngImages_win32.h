#pragma once
// The program's pictures on Windows: read from the executable's RCDATA resources, drawn with
// their alpha, and turned into icons and image lists.
//
// In the main window:
//     tw::TPngImageCollection pngImages;
//     tw::TPngImageList pngTrayIcons(16, 16);
//     tw::TPixelImage tile;
//     std::string error;
//     if (!tw::LoadProgramPictures(nullptr, pngImages, pngTrayIcons, tile, &error)) { ... }
//     tw::DrawPngImage(hdc, pngImages.Items(0), 5, 1);        // imgStart at (5, 1)
//     tw::ImageList menuImages = tw::MakeImageList(pngTrayIcons);
#include "controls/GdiHandles_win32.h"
#include "controls/PngImages.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace tw {

// The bytes of RCDATA resource `name` in `module` (null = the program); false when there is none.
bool ReadResourceBytes(HMODULE module, const char* name, std::string& bytes);

// Loads pngImages (PNG_START, PNG_PREV, PNG_NEXT), pngTrayIcons (PNG_TRAY0..5) and the
// background tile (PNG_TILE) from `module` (null = the program). Loads every picture it can;
// returns false and names the missing or broken ones in `error` when any failed.
bool LoadProgramPictures(HMODULE module, TPngImageCollection& pngImages, TPngImageList& pngTrayIcons,
                         TPixelImage& tile, std::string* error = nullptr);

// Loads the bar's pictures drawn at 2x: PNG_START_2X, PNG_PREV_2X and PNG_NEXT_2X into `pngImages`
// and PNG_TILE_2X into `tile`. As LoadProgramPictures, a picture that fails keeps its place empty,
// and false names it in `error`.
bool LoadBarPictures2x(HMODULE module, TPngImageCollection& pngImages, TPixelImage& tile,
                       std::string* error = nullptr);

// Draws `image` with its alpha onto `dc` with its top-left at (x, y).
void DrawPngImage(HDC dc, const TPixelImage& image, int x, int y);

// A 32-bit icon of `image`; empty on failure or for an empty image.
Icon CreatePngIcon(const TPixelImage& image);

// A 32-bit image list with alpha holding the pictures of `list` in order; empty when it cannot
// be made.
ImageList MakeImageList(const TPngImageList& list);

}  // namespace tw
