#pragma once
// TScrollingText: the one-line marquee of the ticker bar (`lblTicker`).
//
// The control moves one line of text across its rectangle by `PixelJump` pixels per tick and
// raises OnTextScrolled each time the text has gone all the way through. Glyphs show the font
// colour and fade into the background colour over `EdgeFadeWidth` pixels at both side edges.
// The text is rendered once per rebuild into a strip; a tick is one step, two block copies of
// the control's area in memory and one copy to the screen, so nothing flickers.
//
// The stepping, strip geometry, key colour, blend and frame composition below are portable;
// the platform supplies text measuring and rendering, the timer and the copy to the screen
// through IScrollingTextHost.
//
// Creating it as a child of the main window (Windows build, ScrollingText_win32.h):
//     auto ticker = tw::CreateScrollingText(hwndMain, left, top, width, height);
//     ticker->SetFont({"Tahoma", 8, 0xE6F5FF, 0});
//     ticker->SetBackgroundColor(0x40342B);
//     ticker->SetLayout(tw::tlBottom);
//     ticker->SetTextDirection(tw::tdRightToLeft);
//     ticker->SetText("Loading RSS...");
//     ticker->OnTextScrolled = [this](tw::TScrollingText&) { ... };
//     ticker->Loaded();        // once, after the first properties: first rebuild, start offset
// The control is a child window (WS_CHILD | WS_CLIPSIBLINGS) put at the top of its siblings
// when created; it paints itself on WM_PAINT and on every tick. Give the parent WS_CLIPCHILDREN. The object owns
// its window: destroy the object (or let the unique_ptr go) before or while the parent goes.
#include "base/Geometry.h"
#include "controls/Graphics.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TTextDirection { tdLeftToRight, tdRightToLeft };

// Why the text stands still. While any reason holds, no timer runs and no frame is made; the text
// keeps its offset and goes on from there once the last reason is released. A paint request of
// the window system still shows the standing frame.
enum TTickerHold : std::uint8_t {
    thPointer,              // the pointer rests on the text (PauseOnHover)
    thNotShown,             // a tick found the window hidden; the next paint request releases it
    thHidden,               // the bar is hidden (the tray's "Hide ticker", Esc)
    thMinimized,
    thFullScreen,           // a full-screen program covers the bar
    thSessionLocked,
    thSessionDisconnected,
    thDisplayOff,
    thPaused,               // the user paused the ticker (a key, a menu, the hot key)
};

// The two key colours of the text strip: glyphs are drawn in the key colour and let the
// colour layer through.
inline constexpr TColor kStripKeyColor = 4207659;      // 0x40342B
inline constexpr TColor kStripAltKeyColor = 15136255;  // 0xE6F5FF

// Longest text, in bytes, that is rendered into the strip; a longer `Text` is kept as it is
// but drawn cut at a character boundary. Feed titles come from outside, and an unbounded one
// would make an unbounded off-screen image.
inline constexpr std::size_t kMaxRenderedTextBytes = 4096;

// From byte `At` of the text on (until the next run), glyphs are drawn in `Color` instead of the
// font colour; they fade at the edges as the rest does.
struct TTextColorRun {
    std::size_t At = 0;
    TColor Color = 0;
    bool operator==(const TTextColorRun&) const = default;
};

// Raised by ColorBlend for an index outside 1..count.
class ERangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// a * b / c in 64 bits, rounded to the nearest integer with halves away from zero.
// c == 0 gives -1, as the platform's MulDiv does.
int MulDivRounded(int a, int b, int c);

// Colour `index` of `count` on the way from `from` to `to`: index 1 is `from`, index `count`
// is `to`. Both are resolved to RGB first (`resolve` empty: the classic table). Throws
// ERangeError "ColorIndex can't be less than 1 or greater than <count>" outside 1..count.
TColor ColorBlend(TColor from, TColor to, int index, int count, const TColorResolver& resolve = {});

// The key colour for a strip: kStripKeyColor unless the font or background colour value
// equals it (compared as stored, not resolved), then kStripAltKeyColor.
TColor ChooseKeyColor(TColor fontColor, TColor backgroundColor);

// Strip width for a text `textWidth` pixels wide: the text plus one control width each side.
int StripWidthFor(int textWidth, int controlWidth);

// Top of the text in the strip; T = text height, H = control height.
int TextTopFor(TTextLayout layout, int controlHeight, int textHeight);

// The offset a pass starts from: 0 right to left, (control width - strip width) left to right.
int StartOffsetFor(TTextDirection direction, int controlWidth, int stripWidth);

// One tick's step of the offset. Returns true when the pass has ended: the offset has been
// put back to the direction's start and OnTextScrolled is due.
bool StepOffset(int& offset, TTextDirection direction, int pixelJump, int controlWidth, int stripWidth);

// What the control needs from the platform.
class IScrollingTextHost {
public:
    virtual ~IScrollingTextHost() = default;
    // Pixel width and height of `text` (UTF-8) in `font`.
    virtual Size MeasureText(const TFont& font, const std::string& text) = 0;
    // Draws `text` with its top-left at (x, y) into `strip`, glyphs in `textColor` on an opaque
    // ground of `background` (both 0x00BBGGRR, resolved). Glyph pixels must be exactly
    // `textColor`: the text is drawn without smoothing.
    virtual void RenderText(TPixelImage& strip, const TFont& font, const std::string& text, int x, int y,
                            TColor textColor, TColor background) = 0;
    virtual TColor ResolveColor(TColor c) = 0;
    // Runs the tick timer every `milliseconds`; 0 stops it. Throws std::system_error when the
    // system refuses the timer.
    virtual void SetTimerInterval(int milliseconds) = 0;
    // Shows a finished frame on the control's surface at (0, 0).
    virtual void Present(const TPixelImage& frame) = 0;
    // Shows the rectangle `part` of a finished frame at the same place on the control's surface.
    // Returns false when nothing was shown (no window, or hidden). The default shows it whole.
    virtual bool PresentPart(const TPixelImage& frame, const Rect& part) {
        (void)part;
        Present(frame);
        return true;
    }
    // Whether a frame shown now would reach the screen (false for a window hidden itself or with
    // its parent). The default: always.
    virtual bool Showing() { return true; }
    virtual void SetVisible(bool visible) = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    virtual void SetHint(const std::string& hint, bool showHint) = 0;
    virtual void SetHandCursor(bool hand) = 0;
    // Asks for one MouseLeave call when the pointer next leaves the control.
    virtual void TrackMouseLeave() {}
};

class TScrollingText {
public:
    // Width 50, height 18, Text "Text", Speed 50, EdgeFadeWidth 15, BackgroundColor clBtnFace,
    // tlCenter, tdLeftToRight, PixelJump 1, offset -50, font colour clWindowText. No rebuild.
    // Without a host the control computes frames but shows nothing (tests, benchmarks).
    explicit TScrollingText(std::unique_ptr<IScrollingTextHost> host = nullptr);
    ~TScrollingText();
    TScrollingText(const TScrollingText&) = delete;
    TScrollingText& operator=(const TScrollingText&) = delete;

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    int Speed() const { return speed_; }
    void SetSpeed(int milliseconds);  // 0 stops the timer; below 0 is taken as 0
    TColor BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor color);
    int EdgeFadeWidth() const { return edgeFadeWidth_; }
    void SetEdgeFadeWidth(int pixels);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout layout);
    TTextDirection TextDirection() const { return textDirection_; }
    void SetTextDirection(TTextDirection direction);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);  // also sets Enabled to the same value
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);
    // Parts of the text in their own colours, ascending by At; none (the default): all of it in
    // the font colour. Kept until changed, also across SetText.
    const std::vector<TTextColorRun>& ColorRuns() const { return colorRuns_; }
    void SetColorRuns(std::vector<TTextColorRun> runs);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    int PixelJump = 1;  // pixels per tick, read on the next tick
    // Off by default: while the pointer is over the control the text stands still (held for
    // thPointer), and it goes on from where it stood when the pointer leaves. Set it before the
    // pointer comes.
    bool PauseOnHover = false;
    bool Hovered() const { return hovered_; }

    // Off by default: the text does not move. It stands cut with an ellipsis to the control's
    // width (no edge fade), and each tick comes after StillPeriodFor what is shown and ends a
    // pass, so OnTextScrolled moves the owner on as a scrolled pass would. Holds work as ever.
    bool Still() const { return still_; }
    void SetStill(bool still);
    // The text as the strip shows it: Text(), cut for the strip (and with the ellipsis while Still).
    const std::string& ShownText() const { return shownText_; }

    // Holds the frames for `reason` until Release(reason); holding for a reason already held,
    // or releasing one not held, changes nothing.
    void Hold(TTickerHold reason);
    void Release(TTickerHold reason);
    bool Held() const { return holds_ != 0; }
    bool HeldFor(TTickerHold reason) const { return (holds_ & HoldBit(reason)) != 0; }
    // Off by default: every frame goes to the platform whole. On: only the rectangle in which a
    // frame differs from the last one shown goes, and nothing when they are equal. Under Wine
    // every copy to the screen costs in proportion to its size, so the program turns it on.
    bool PresentChangesOnly = false;
    bool ParentFont = true;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);  // rebuilds once loaded
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    bool HandCursor() const { return handCursor_; }
    void SetHandCursor(bool hand);

    // End of set-up: first rebuild, then the direction's start offset.
    void Loaded();
    // The timer's handler: one step, OnTextScrolled at the end of a pass, one frame shown.
    void Tick();
    // Composes the frame for the current offset and shows it.
    void Paint();
    // The platform has shown the whole current frame by itself (a paint request).
    void FrameShown();

    // The mouse, as the platform reports it in control coordinates.
    void MouseDown(TMouseButton button, unsigned shift, int x, int y);
    void MouseUp(TMouseButton button, unsigned shift, int x, int y);
    void MouseMove(unsigned shift, int x, int y);
    void MouseLeave();

    std::function<void(TScrollingText& sender)> OnTextScrolled;
    std::function<void(TScrollingText& sender)> OnClick;
    std::function<void(TScrollingText& sender, TMouseButton, unsigned shift, int x, int y)> OnMouseDown;
    std::function<void(TScrollingText& sender, TMouseButton, unsigned shift, int x, int y)> OnMouseUp;
    std::function<void(TScrollingText& sender, unsigned shift, int x, int y)> OnMouseMove;

    // When the last frames were made, for judging smoothness from outside: each tick that steps
    // notes its time (steady clock, microseconds) in a ring; Count is the number of frames noted
    // since construction, the newest at Micros[(Count - 1) % kFrameTimesKept]. Nothing allocates.
    static constexpr int kFrameTimesKept = 256;
    struct TFrameTimes {
        std::uint64_t Count = 0;
        std::array<std::int64_t, kFrameTimesKept> Micros{};
    };
    const TFrameTimes& FrameTimes() const { return frameTimes_; }

    // State, for tests and the benchmark.
    int Offset() const { return offset_; }
    void SetOffset(int offset) { offset_ = offset; }
    int StripWidth() const { return stripWidth_; }
    TColor KeyColor() const { return keyColor_; }
    int TextTop() const { return textTop_; }
    int RebuildCount() const { return rebuildCount_; }
    bool IsLoaded() const { return loaded_; }
    const TPixelImage& Strip() const { return strip_; }
    const TPixelImage& ColorLayer() const { return colorLayer_; }
    const TPixelImage& Frame() const { return frame_; }
    // Composes the frame without showing it.
    void ComposeFrame();
    // The platform side, or null.
    IScrollingTextHost* Host() const { return host_.get(); }

private:
    static constexpr std::uint32_t HoldBit(TTickerHold reason) { return 1u << reason; }
    void Rebuild();
    void PlaceColorRuns(const std::string& shown);
    void PaintColorRuns();
    std::string TextToShow();
    int FadeWidth() const;
    void PresentChanges();
    TColor Resolve(TColor c) const;
    void UpdateTimer();

    std::unique_ptr<IScrollingTextHost> host_;
    std::string text_ = "Text";
    int speed_ = 50;
    TColor backgroundColor_ = clBtnFace;
    int edgeFadeWidth_ = 15;
    TTextLayout layout_ = tlCenter;
    TTextDirection textDirection_ = tdLeftToRight;
    bool visible_ = true;
    bool enabled_ = true;
    TFont font_{};
    std::vector<TTextColorRun> colorRuns_;
    // The runs as the strip holds them: from strip column X on, glyphs take Pixel, and at the
    // control's edges Fade[i] for column i from the edge.
    struct TPlacedRun {
        int X;
        std::uint32_t Pixel;
        std::vector<std::uint32_t> Fade;
    };
    std::vector<TPlacedRun> placedRuns_;
    int left_ = 0, top_ = 0, width_ = 50, height_ = 18;
    std::string hint_;
    bool showHint_ = false;
    bool handCursor_ = false;
    bool loaded_ = false;
    bool mouseDown_ = false;
    bool hovered_ = false;
    bool still_ = false;
    std::uint32_t holds_ = 0;
    std::string shownText_;

    int offset_ = -50;
    TColor keyColor_ = kStripKeyColor;
    int textTop_ = 0;
    int stripWidth_ = 0;
    int rebuildCount_ = 0;
    TPixelImage strip_;
    TPixelImage colorLayer_;
    TPixelImage frame_;
    TPixelImage shown_;  // what the screen shows, while PresentChangesOnly and shownValid_
    bool shownValid_ = false;
    TFrameTimes frameTimes_;
};

}  // namespace tw
