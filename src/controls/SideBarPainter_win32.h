#pragma once
// The side bar of a bar popup menu (Windows build): where its top-level entries lie beside it, its
// image with the menu's draw-bar events, and each entry's slice of that image.
#include "controls/BarPopupMenus.h"

#include <windows.h>

#include <memory>

namespace tw {

class TBarPopupMenu;
class TBarMenuFonts;

class TSideBarPainter {
public:
    TSideBarPainter(TBarPopupMenu& menu, TBarMenuFonts& fonts);
    ~TSideBarPainter();
    TSideBarPainter(const TSideBarPainter&) = delete;
    TSideBarPainter& operator=(const TSideBarPainter&) = delete;

    // The top-level entries' places, measured again when the bar is stale or the entries changed.
    const TBarLayout& Layout();
    // Copies `item`'s rows of the bar to `dc` beside `rect` (the entry's whole rectangle), painting
    // the image first when it is stale or missing, and answers the face left for the entry. An
    // entry not beside the bar, or a bar the system cannot make an image for, gets only the face.
    RECT DrawSlice(HDC dc, const TBarMenuItem& item, const RECT& rect);

    int Builds() const { return builds_; }
    int Slices() const { return slices_; }

private:
    struct Image;
    struct Margins {
        int Top = 0, Bottom = 0;
    };
    static Margins MarginsOn(HDC dc, int itemsTop, int itemsBottom);
    RECT FaceBeside(HDC dc, const RECT& rect) const;
    int TopOf(const TBarMenuItem& item) const;
    void EnsureImage(const Margins& margins);
    void Paint(Image& image);
    void Compose(Image& image, TBarParts parts);
    void DrawCaption(Image& image, TBarParts parts);
    void CopyRows(HDC dc, const RECT& rect, int top) const;

    TBarPopupMenu& menu_;
    TBarMenuFonts& fonts_;
    TBarLayout layout_;
    unsigned layoutVersion_ = ~0u;
    TMenuSideBar shown_;  // the menu's bar at its density, taken with the layout
    std::unique_ptr<Image> image_;
    TMenuSideBar imageBar_;  // the settings and density the image was made for
    int imageDpi_ = 0;
    int builds_ = 0;
    int slices_ = 0;
};

}  // namespace tw
