#pragma once
// TBarPopupMenu's portable half: the settings of the side bar and the separators, the item model
// the window half turns into an owner-drawn menu, the item measures, the bar's geometry (item
// slices, caption and picture places), the gradients and the separators' fade, and where a menu
// opens beside the ticker bar. BarPopupMenus_win32.h holds the menu itself.
//
// A menu is set up once, then filled; while it is filled in a batch the handlers are installed
// once at the end:
//     menu.BeginItemsUpdate();
//     menu.Items().Clear();
//     menu.Items().Add("-").SetHint("Default RSS Links");
//     menu.Items().Add("http://...").NoPrefix = true;
//     menu.EndItemsUpdate();
#include "base/Geometry.h"
#include "controls/AppBarGeometry.h"
#include "controls/Graphics.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tw {

inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clBtnShadow = 0xFF000010;

enum TGradientStyle { gsHorizontal, gsVertical, gsDiagonalLeftRight, gsDiagonalRightLeft };
enum TSide { sLeft, sRight };
enum TVertAlignment { vaTop, vaBottom, vaMiddle };
enum THorzAlignment { haLeft, haRight, haCenter };
enum TDirection { dDownToUp, dUpToDown };
enum TDrawStyle { dsNormal, dsTile, dsStretch };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TSeparatorStyle { ssNormal, ssShortLine, ssCaption };
enum TMenuStyle { msAuto, msStandard, msWindowsXP };
enum TBarPart : unsigned { bpGradient = 1, bpPicture = 2, bpBackPicture = 4, bpCaption = 8 };
using TBarParts = unsigned;  // TBarPart bits

struct TSideBarCaption {
    TFont Font{"Tahoma", 8, clWhite, fsBold};
    TColor ShadowColor = clNone;
    TColor HighlightColor = clNone;
    int Depth = 1;
    std::string Caption;
    int OffsetY = 6;
    TVertAlignment Alignment = vaBottom;
    TDirection Direction = dDownToUp;
    bool Visible = true;
    bool operator==(const TSideBarCaption&) const = default;
};

struct TSideBarPicture {
    bool Transparent = true;  // alpha where the picture has any, else its bottom-left colour is clear
    TPixelImage Picture;
    int OffsetX = 0, OffsetY = 0;
    TVertAlignment VertAlignment = vaBottom;
    THorzAlignment HorzAlignment = haCenter;
    bool Visible = true;
    bool operator==(const TSideBarPicture&) const = default;
};

struct TSideBarBackPicture : TSideBarPicture {
    TSideBarBackPicture() {
        VertAlignment = vaTop;
        HorzAlignment = haLeft;
    }
    TDrawStyle DrawStyle = dsNormal;
    bool operator==(const TSideBarBackPicture&) const = default;
};

struct TMenuSideBar {
    TColor Border = clNone;
    TColor GradientStart = 14204335;
    TColor GradientEnd = 0;
    TGradientStyle GradientStyle = gsVertical;
    int Width = 32;
    int Space = 1;  // gap between the bar and the items
    bool Visible = true;
    TSide Side = sLeft;
    TSideBarPicture BarPicture;
    TSideBarBackPicture BarBackPicture;
    TSideBarCaption BarCaption;
    bool operator==(const TMenuSideBar&) const = default;
};

struct TMenuSeparators {
    TColor GradientStart = 8421504;
    TColor GradientEnd = 12632256;
    TGradientStyle GradientStyle = gsHorizontal;
    bool Fade = false;
    int FadeWidth = 32;
    TColor FadeColor = clBtnShadow;
    bool FlatLines = false;
    TFont Font;
    TAlignment Alignment = taCenter;
    TSeparatorStyle SeparatorStyle = ssNormal;
    bool UseSystemFont = true;
    bool operator==(const TMenuSeparators&) const = default;
};

class TCustomBarPopupMenu;

// One menu entry; the menu owns its entries and each entry its sub-entries. Setters of what the
// menu shows tell the menu, which then installs the handlers on the entry (outside a batch
// update) and rebuilds what it drew.
class TBarMenuItem {
public:
    explicit TBarMenuItem(std::string caption = {}) : caption_(std::move(caption)) {}
    TBarMenuItem(const TBarMenuItem&) = delete;
    TBarMenuItem& operator=(const TBarMenuItem&) = delete;

    // "-" makes a separator; its Hint is then drawn as its caption (ssCaption).
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    const std::string& ShortCut() const { return shortCut_; }  // the shortcut's text, e.g. "Ctrl+O"
    void SetShortCut(std::string text);
    int ImageIndex() const { return imageIndex_; }  // into the menu's images; -1 none
    void SetImageIndex(int index);
    bool Checked() const { return checked_; }
    void SetChecked(bool on);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool Visible() const { return visible_; }
    void SetVisible(bool on);
    bool Default() const { return default_; }  // drawn bold; the menu's default command
    void SetDefault(bool on);

    int Tag = 0;
    // The caption is shown as it is: "&" marks no hot key (feed addresses carry "&" in queries).
    bool NoPrefix = false;
    // Raised after the menu has closed on this entry.
    std::function<void(TBarMenuItem& sender)> OnClick;
    // Calls a copy of the handler: a handler that frees the menu (Close) must not free itself
    // while it runs.
    void Click() {
        const auto handler = OnClick;
        if (handler) handler(*this);
    }

    bool IsSeparator() const { return caption_ == "-"; }
    // The measure and draw handlers of the owning menu are on this entry.
    bool HandlersInstalled() const { return handlers_; }

    int Count() const { return static_cast<int>(items_.size()); }
    TBarMenuItem& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    TBarMenuItem* Parent() const { return parent_; }
    // Appends (or inserts before `index`, clamped to 0..Count()) a new entry and answers it.
    TBarMenuItem& Add(std::string caption);
    TBarMenuItem& Insert(int index, std::string caption);
    // Removes and frees entry `index`; nothing for an index out of range.
    void Delete(int index);
    void Clear();

private:
    friend class TCustomBarPopupMenu;
    void Changed(bool affectsBar);
    TCustomBarPopupMenu* Menu() const;

    std::string caption_, hint_, shortCut_;
    int imageIndex_ = -1;
    bool checked_ = false, enabled_ = true, visible_ = true, default_ = false;
    bool handlers_ = false;
    TBarMenuItem* parent_ = nullptr;
    TCustomBarPopupMenu* menu_ = nullptr;  // set on the root only
    std::vector<std::unique_ptr<TBarMenuItem>> items_;
};

// Measures text for the item measures. Fonts: the menu font, bold (a default entry), or the
// separators' caption font.
enum class TMenuTextFont { Menu, MenuBold, Separator };
class IMenuTextMeasurer {
public:
    virtual ~IMenuTextMeasurer() = default;
    // `noPrefix` false: a single "&" is a hot-key marker and takes no room.
    virtual Size TextExtent(const std::string& text, TMenuTextFont font, bool noPrefix) = 0;
};

// A component that may take over measuring (the window half's subclass may also draw).
class TBarMenuDrawModule {
public:
    virtual ~TBarMenuDrawModule() = default;
    std::string Description;
    // Answers true when it measured `item` itself; `size` then stands as it leaves it.
    virtual bool MeasureItem(const TBarMenuItem&, IMenuTextMeasurer&, Size& /*size*/, bool /*barVisible*/) {
        return false;
    }
};

// The item face's fixed room beside the text: check-mark and image column, text margins, the
// submenu arrow; and the gap before a shortcut's text.
inline constexpr int kItemImageColumn = 24;  // a 16-pixel picture with 4 pixels each side
inline constexpr int kItemTextGap = 6;
inline constexpr int kItemArrowRoom = 16;
inline constexpr int kItemFixedRoom = kItemImageColumn + kItemTextGap + kItemArrowRoom;
inline constexpr int kShortCutGap = 24;
inline constexpr int kSeparatorTextMargin = 8;

struct TOsVersion {
    bool NtLine = true;
    int Major = 0, Minor = 0;
};
// msAuto is msWindowsXP on the NT line from 5.1 on, else msStandard; other styles stand.
TMenuStyle ResolveMenuStyle(TMenuStyle style, const TOsVersion& os);

// The hot key of a caption: the character after its first single "&" (upper-cased for ASCII),
// 0 for none; "&&" is a literal "&".
char32_t HotkeyOf(const std::string& caption);

// The vertical places of the visible entries beside the bar: each entry's top (or -1 for a
// hidden entry) and the bar's whole height, the sum of the visible heights.
struct TBarLayout {
    std::vector<int> Tops;
    int Height = 0;
};
TBarLayout LayOutBar(const std::vector<int>& heights, const std::vector<bool>& visible);

// The origin of the rotated caption in a bar of `barWidth` x `barHeight` for text `textWidth`
// long and `textHeight` thick: for dDownToUp the text runs upward from the origin with its
// glyphs to the right of it; for dUpToDown downward with the glyphs to the left. vaTop puts the
// text's upper end OffsetY from the top, vaBottom its lower end OffsetY above the bottom (and
// above `bottomPictureHeight`, a bottom-aligned picture), vaMiddle centres it.
Point PlaceBarCaption(const TSideBarCaption& caption, int barWidth, int barHeight, int textWidth, int textHeight,
                      int bottomPictureHeight);
// The top-left corner of a picture of `w` x `h` in the bar, by its alignments and offsets.
Point PlaceBarPicture(const TSideBarPicture& picture, int barWidth, int barHeight, int w, int h);

// The parts the default drawing starts with: the gradient, and each of picture, back picture and
// caption whose object is visible.
TBarParts DefaultBarParts(const TMenuSideBar& bar);

// Fills [r] of `image` from `start` to `end` (0x00BBGGRR, resolved): one step per column
// (horizontal), row (vertical) or diagonal.
void PaintGradient(TPixelImage& image, Rect r, TColor start, TColor end, TGradientStyle style);

// Composes the bar's `parts` except the caption (drawn by the platform on top) into `out`, in the
// order gradient, back picture, picture, border; over what `out` holds when it is already
// Bar.Width x `height`, else on black at that size.
void ComposeSideBar(TPixelImage& out, const TMenuSideBar& bar, int height, TBarParts parts,
                    const TColorResolver& resolve = {});

// The weight (0..256) by which column `x` of a separator `width` wide moves toward the fade colour:
// the last `fadeWidth` columns climb to 256 at the right edge; 0 everywhere for fadeWidth <= 0.
int FadeWeight(int x, int width, int fadeWidth);
// A caption separator's face, `width` x `height`: the separators' gradient, faded when Fade is on.
void ComposeSeparator(TPixelImage& out, const TMenuSeparators& separators, int width, int height,
                      const TColorResolver& resolve = {});

// Where a menu opens for a press at column x beside the ticker `bar`: below a bar docked at the top,
// above one at the bottom; floating, below it when it fits in the work area, else above when that
// fits, else as low as fits. X keeps the menu inside the work area. `Exclude` is the bar, which
// the menu must not cover.
struct TPopupPlacement {
    int X = 0, Y = 0;
    bool AlignBottom = false;  // Y is the menu's bottom edge, not its top
    bool operator==(const TPopupPlacement&) const = default;
};
TPopupPlacement PlacePopupMenu(int x, Rect bar, TpkAppBarPlacement dock, Rect workArea, Size menu);

// The menu model: items, settings, the batch-update bookkeeping and the measures. The window half
// (TBarPopupMenu) draws it.
class TCustomBarPopupMenu {
public:
    TCustomBarPopupMenu();
    virtual ~TCustomBarPopupMenu();
    TCustomBarPopupMenu(const TCustomBarPopupMenu&) = delete;
    TCustomBarPopupMenu& operator=(const TCustomBarPopupMenu&) = delete;

    TBarMenuItem& Items() { return root_; }
    const TBarMenuItem& Items() const { return root_; }

    TMenuSideBar Bar;
    TMenuSeparators Separators;
    TFont MenuFont;
    TMenuStyle MenuStyle = msAuto;
    bool UseSystemFont = true;
    TBarMenuDrawModule* DrawModule = nullptr;  // not owned

    // May change the measured size; setting DefaultMeasure false makes it final (no bar room added).
    std::function<void(TCustomBarPopupMenu& sender, const TBarMenuItem& item, IMenuTextMeasurer& canvas, int& width,
                       int& height, bool barVisible, bool& defaultMeasure)>
        OnMeasureMenuItem;

    bool OwnerDraw() const { return ownerDraw_; }
    // End of loading: forces owner drawing and installs the handlers on every entry.
    void Loaded();
    // A batch of item changes: handlers are installed once, when the outermost batch ends.
    void BeginItemsUpdate();
    // Ends one batch; an end without a begin does nothing to the count.
    void EndItemsUpdate();
    bool Updating() const { return updating_; }
    int UpdateCount() const { return updateCount_; }

    // The bar image must be made again (the items changed or the menu opens anew).
    bool BarStale() const { return barStale_; }
    void MarkBarStale() { barStale_ = true; }
    // Counts every change of the entries, so the window half knows to rebuild its menu.
    unsigned ItemsVersion() const { return itemsVersion_; }

    // The display density the menu shows on, in pixels per inch. At 0, the default, every size
    // is drawn as designed and fonts are made at the system's density; otherwise the sizes are
    // scaled from 96 (Scaled) and fonts are made for this density. A change makes the menu
    // measure and draw its entries anew.
    int Dpi() const { return dpi_; }
    void SetDpi(int dpi);
    // A size of the menu's design at Dpi().
    int Scaled(int designPixels) const;
    // The bar and the separators as they are drawn at Dpi(): widths, gaps, offsets and the fade
    // scaled; pictures keep their own size.
    TMenuSideBar ShownBar() const;
    TMenuSeparators ShownSeparators() const;

    // The measures of `item` in `style` (msAuto resolved by the caller): separators 14 with a
    // hint, else 12 (9 in msWindowsXP); other entries text height + 6, at least 16, even in
    // msWindowsXP, and text width plus the fixed room; then the draw module and
    // OnMeasureMenuItem; entries directly under the root get the bar's width and space when it
    // is visible. The fixed numbers and the bar's room are Scaled().
    Size MeasureItem(const TBarMenuItem& item, IMenuTextMeasurer& canvas, TMenuStyle style);
    bool BesideBar(const TBarMenuItem& item) const { return Bar.Visible && item.Parent() == &root_; }

protected:
    void ClearBarStale() { barStale_ = false; }

private:
    friend class TBarMenuItem;
    void ItemChanged(TBarMenuItem& item, bool affectsBar);
    // Sets the measure and draw handlers on `item` and all its sub-entries.
    static void InstallHandlers(TBarMenuItem& item);

    TBarMenuItem root_;
    bool ownerDraw_ = true;
    bool updating_ = false;
    int updateCount_ = 0;
    bool barStale_ = true;
    unsigned itemsVersion_ = 0;
    int dpi_ = 0;
};

}  // namespace tw
