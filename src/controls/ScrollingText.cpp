#include "controls/ScrollingText.h"

#include "controls/StillText.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <limits>

namespace tw {

namespace {

// Where a still text starts, in from the left edge.
constexpr int kStillIndent = 2;

// The largest strip, in pixels, a rebuild makes: far beyond any real title, small enough that
// an absurd font size or control height cannot exhaust memory.
constexpr long long kMaxStripPixels = 16LL * 1024 * 1024;

// `text` cut to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
    return text.substr(0, end);
}

}  // namespace

int MulDivRounded(int a, int b, int c) {
    if (c == 0) return -1;
    const long long p = static_cast<long long>(a) * b;
    long long q = p / c;
    const long long r = p % c;
    if (2 * std::llabs(r) >= std::llabs(static_cast<long long>(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(q);
}

TColor ColorBlend(TColor from, TColor to, int index, int count, const TColorResolver& resolve) {
    if (index < 1 || index > count)
        throw ERangeError("ColorIndex can't be less than 1 or greater than " + std::to_string(count));
    const TColor a = resolve ? resolve(from) & 0xFFFFFFu : ResolveColorClassic(from);
    const TColor b = resolve ? resolve(to) & 0xFFFFFFu : ResolveColorClassic(to);
    // With one step MulDiv would divide by zero and answer -1, shifting every channel of the
    // edge colour by one (black would wrap to white): one step is the from colour itself.
    if (count == 1) return a;
    TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int fc = static_cast<int>((a >> shift) & 0xFFu);
        const int tc = static_cast<int>((b >> shift) & 0xFFu);
        const int c = (fc + MulDivRounded(index - 1, tc - fc, count - 1)) & 0xFF;
        out |= static_cast<TColor>(c) << shift;
    }
    return out;
}

TColor ChooseKeyColor(TColor fontColor, TColor backgroundColor) {
    return (fontColor == kStripKeyColor || backgroundColor == kStripKeyColor) ? kStripAltKeyColor
                                                                               : kStripKeyColor;
}

int StripWidthFor(int textWidth, int controlWidth) {
    const long long w = static_cast<long long>(std::max(textWidth, 0)) + 2LL * std::max(controlWidth, 0);
    return static_cast<int>(std::min<long long>(w, std::numeric_limits<int>::max()));
}

int TextTopFor(TTextLayout layout, int controlHeight, int textHeight) {
    switch (layout) {
        case tlTop: return 0;
        case tlCenter: return controlHeight / 2 - textHeight / 2;
        case tlBottom: return controlHeight - textHeight;
    }
    return 0;
}

int StartOffsetFor(TTextDirection direction, int controlWidth, int stripWidth) {
    return direction == tdRightToLeft ? 0 : controlWidth - stripWidth;
}

bool StepOffset(int& offset, TTextDirection direction, int pixelJump, int controlWidth, int stripWidth) {
    const long long end = static_cast<long long>(controlWidth) - stripWidth;
    // Saturate so a negative or huge jump can never overflow the offset.
    auto clampInt = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    if (direction == tdLeftToRight) {
        offset = clampInt(static_cast<long long>(offset) + pixelJump);
        if (offset >= 0) {
            offset = clampInt(end);
            return true;
        }
        return false;
    }
    offset = clampInt(static_cast<long long>(offset) - pixelJump);
    if (offset <= end) {
        offset = 0;
        return true;
    }
    return false;
}

TScrollingText::TScrollingText(std::unique_ptr<IScrollingTextHost> host) : host_(std::move(host)) {
    font_.Color = clWindowText;
    if (host_) host_->SetTimerInterval(speed_);
}

TScrollingText::~TScrollingText() {
    // The window goes first: messages it sends while dying must not reach a half-destroyed control.
    host_.reset();
}


TColor TScrollingText::Resolve(TColor c) const {
    return host_ ? host_->ResolveColor(c) & 0xFFFFFFu : ResolveColorClassic(c);
}

void TScrollingText::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    if (loaded_) Rebuild();
}

void TScrollingText::SetSpeed(int milliseconds) {
    milliseconds = std::max(milliseconds, 0);
    if (milliseconds == speed_) return;
    speed_ = milliseconds;
    UpdateTimer();
}

void TScrollingText::UpdateTimer() {
    // A text that stands still needs no ticks: under Wine each one costs a wake-up.
    if (!host_) return;
    if (holds_ != 0) host_->SetTimerInterval(0);
    else host_->SetTimerInterval(still_ ? StillPeriodFor(shownText_) : speed_);
}

void TScrollingText::SetStill(bool still) {
    if (still == still_) return;
    still_ = still;
    if (loaded_) {
        Rebuild();
        // Back to scrolling, the text comes in from its edge as a new one would.
        if (!still_) offset_ = StartOffsetFor(textDirection_, width_, stripWidth_);
    }
    UpdateTimer();
}

void TScrollingText::Hold(TTickerHold reason) {
    if (HeldFor(reason)) return;
    const bool wasRunning = holds_ == 0;
    holds_ |= HoldBit(reason);
    if (wasRunning) UpdateTimer();
}

void TScrollingText::Release(TTickerHold reason) {
    if (!HeldFor(reason)) return;
    holds_ &= ~HoldBit(reason);
    if (holds_ == 0) UpdateTimer();
}

void TScrollingText::SetBackgroundColor(TColor color) {
    if (color == backgroundColor_) return;
    backgroundColor_ = color;
    if (loaded_) Rebuild();
}

void TScrollingText::SetEdgeFadeWidth(int pixels) {
    if (pixels == edgeFadeWidth_) return;
    edgeFadeWidth_ = pixels;
    if (loaded_) Rebuild();
}

void TScrollingText::SetLayout(TTextLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    if (loaded_) Rebuild();
}

void TScrollingText::SetTextDirection(TTextDirection direction) {
    if (direction == textDirection_) return;
    textDirection_ = direction;
    offset_ = StartOffsetFor(direction, width_, stripWidth_);
    if (loaded_) Rebuild();
}

void TScrollingText::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    enabled_ = visible;
    if (host_) host_->SetVisible(visible);
}

void TScrollingText::SetFont(const TFont& font) {
    if (font == font_) return;
    font_ = font;
    if (loaded_) Rebuild();
}

void TScrollingText::SetColorRuns(std::vector<TTextColorRun> runs) {
    if (runs == colorRuns_) return;
    colorRuns_ = std::move(runs);
    if (loaded_) Rebuild();
}

void TScrollingText::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const bool resized = width != width_ || height != height_;
    if (!resized && left == left_ && top == top_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (host_) host_->SetBounds(left, top, width, height);
    if (resized && loaded_) Rebuild();
}

void TScrollingText::SetHint(const std::string& hint) {
    hint_ = hint;
    if (host_) host_->SetHint(hint_, showHint_);
}

void TScrollingText::SetShowHint(bool show) {
    showHint_ = show;
    if (host_) host_->SetHint(hint_, showHint_);
}

void TScrollingText::SetHandCursor(bool hand) {
    handCursor_ = hand;
    if (host_) host_->SetHandCursor(hand);
}

void TScrollingText::Loaded() {
    loaded_ = true;
    Rebuild();
    offset_ = StartOffsetFor(textDirection_, width_, stripWidth_);
}

void TScrollingText::Rebuild() {
    ++rebuildCount_;
    const TColor background = Resolve(backgroundColor_);
    const TColor fontColor = Resolve(font_.Color);
    const std::uint32_t groundPx = ColorToPixel(background);
    shownText_ = TextToShow();
    const std::string& shown = shownText_;

    Size extent;
    if (host_ && !shown.empty()) extent = host_->MeasureText(font_, shown);
    else if (host_) extent.Height = host_->MeasureText(font_, " ").Height;

    long long stripWidth = StripWidthFor(extent.Width, width_);
    if (height_ > 0) stripWidth = std::min<long long>(stripWidth, kMaxStripPixels / height_);
    stripWidth_ = static_cast<int>(stripWidth);
    strip_.Resize(stripWidth_, height_, groundPx);

    keyColor_ = ChooseKeyColor(font_.Color, backgroundColor_);
    // A system background colour can resolve to the key itself; the ground would then vanish.
    if (ColorToPixel(keyColor_) == groundPx) keyColor_ = keyColor_ == kStripKeyColor ? kStripAltKeyColor : kStripKeyColor;
    textTop_ = TextTopFor(layout_, height_, extent.Height);
    if (host_ && !shown.empty() && !strip_.Empty())
        host_->RenderText(strip_, font_, shown, width_, textTop_, keyColor_, background);

    PlaceColorRuns(shown);
    colorLayer_.Resize(width_, height_, ColorToPixel(fontColor));
    // Columns at or beyond the width fall outside on both sides, so stopping there changes
    // nothing and bounds the work for an absurd fade width.
    const int fade = FadeWidth();
    for (int i = 0; i < fade; ++i) {
        const std::uint32_t px = ColorToPixel(ColorBlend(backgroundColor_, font_.Color, i + 1, edgeFadeWidth_,
                                                         [this](TColor c) { return Resolve(c); }));
        colorLayer_.FillRect(i, 0, 1, height_, px);
        colorLayer_.FillRect(width_ - i - 1, 0, 1, height_, px);
    }
    frame_.Resize(width_, height_, groundPx);
    shownValid_ = false;
    if (still_) {
        // The strip holds the text one control width in: this shows it at the indent.
        offset_ = std::min(kStillIndent, width_) - width_;
        UpdateTimer();  // the new text's whole period, from now
        Paint();
    }
}

// A still headline stands whole in the strip: no edge of it fades, in any of its colours.
int TScrollingText::FadeWidth() const { return still_ ? 0 : std::min(edgeFadeWidth_, width_); }

std::string TScrollingText::TextToShow() {
    std::string text = CutUtf8(text_, kMaxRenderedTextBytes);
    if (!still_ || !host_) return text;
    const int room = width_ - 2 * std::min(kStillIndent, width_ / 2);
    return EllipsizedText(text, room, [this](const std::string& t) { return host_->MeasureText(font_, t).Width; });
}

void TScrollingText::PlaceColorRuns(const std::string& shown) {
    placedRuns_.clear();
    if (colorRuns_.empty()) return;
    const int fade = FadeWidth();
    auto place = [&](int x, TColor color) {
        TPlacedRun run{x, ColorToPixel(Resolve(color)), {}};
        for (int i = 0; i < fade; ++i)
            run.Fade.push_back(ColorToPixel(
                ColorBlend(backgroundColor_, color, i + 1, edgeFadeWidth_, [this](TColor c) { return Resolve(c); })));
        placedRuns_.push_back(std::move(run));
    };
    place(std::numeric_limits<int>::min(), font_.Color);
    for (const TTextColorRun& run : colorRuns_) {
        if (run.At > shown.size()) break;
        const int x = host_ && run.At > 0 ? host_->MeasureText(font_, shown.substr(0, run.At)).Width : 0;
        place(width_ + x, run.Color);
    }
}

// The colour layer of a text in several colours moves with the text, so it is laid per frame.
void TScrollingText::PaintColorRuns() {
    std::size_t run = 0;
    for (int x = 0; x < width_; ++x) {
        const long long stripX = static_cast<long long>(x) - offset_;
        while (run + 1 < placedRuns_.size() && stripX >= placedRuns_[run + 1].X) ++run;
        const TPlacedRun& r = placedRuns_[run];
        const auto fromEdge = static_cast<std::size_t>(std::min(x, width_ - 1 - x));
        frame_.FillRect(x, 0, 1, height_, fromEdge < r.Fade.size() ? r.Fade[fromEdge] : r.Pixel);
    }
}

void TScrollingText::ComposeFrame() {
    const std::uint32_t groundPx = ColorToPixel(Resolve(backgroundColor_));
    if (frame_.Width() != width_ || frame_.Height() != height_) frame_.Resize(width_, height_, groundPx);
    if (!placedRuns_.empty()) PaintColorRuns();
    else if (colorLayer_.Width() == width_ && colorLayer_.Height() == height_) CopyImage(frame_, colorLayer_, 0, 0);
    else frame_.Fill(groundPx);
    // Where the strip does not reach (a shorter text kept the old offset) the ground shows,
    // never the bare colour layer.
    const long long stripRight = static_cast<long long>(offset_) + strip_.Width();
    if (offset_ > 0) frame_.FillRect(0, 0, offset_, height_, groundPx);
    if (stripRight < width_) {
        const int from = static_cast<int>(std::max<long long>(stripRight, 0));
        frame_.FillRect(from, 0, width_ - from, height_, groundPx);
    }
    DrawTransparent(frame_, strip_, offset_, 0, ColorToPixel(keyColor_));
}

void TScrollingText::Paint() {
    ComposeFrame();
    if (!host_) return;
    if (PresentChangesOnly) PresentChanges();
    else host_->Present(frame_);
}

void TScrollingText::PresentChanges() {
    if (shown_.Width() != frame_.Width() || shown_.Height() != frame_.Height()) {
        shown_.Resize(frame_.Width(), frame_.Height(), 0);  // once per size, never per tick
        shownValid_ = false;
    }
    const Rect part = shownValid_ ? ChangedRect(shown_, frame_) : Rect{0, 0, frame_.Width(), frame_.Height()};
    if (part.Empty()) return;
    // What was not shown (a hidden window) is not known to be on the screen: all goes next time.
    shownValid_ = host_->PresentPart(frame_, part);
    if (shownValid_) CopyRect(shown_, frame_, part);
}

void TScrollingText::FrameShown() {
    Release(thNotShown);
    if (!PresentChangesOnly) return;
    if (shown_.Width() != frame_.Width() || shown_.Height() != frame_.Height())
        shown_.Resize(frame_.Width(), frame_.Height(), 0);
    CopyImage(shown_, frame_, 0, 0);
    shownValid_ = true;
}

void TScrollingText::Tick() {
    if (!enabled_ || !loaded_ || holds_ != 0) return;
    // Nobody sees a window hidden with its form: no frames until it is painted again.
    if (host_ && !host_->Showing()) {
        Hold(thNotShown);
        return;
    }
    // A still text's tick is the end of its period.
    if ((still_ || StepOffset(offset_, textDirection_, PixelJump, width_, stripWidth_)) && OnTextScrolled)
        OnTextScrolled(*this);
    Paint();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    frameTimes_.Micros[frameTimes_.Count % kFrameTimesKept] = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    ++frameTimes_.Count;
}

void TScrollingText::MouseDown(TMouseButton button, unsigned shift, int x, int y) {
    if (button == mbLeft) mouseDown_ = true;
    if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void TScrollingText::MouseUp(TMouseButton button, unsigned shift, int x, int y) {
    const bool click = button == mbLeft && mouseDown_ && x >= 0 && y >= 0 && x < width_ && y < height_;
    if (button == mbLeft) mouseDown_ = false;
    if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
    if (click && OnClick) OnClick(*this);
}

void TScrollingText::MouseMove(unsigned shift, int x, int y) {
    if (!hovered_) {
        hovered_ = true;
        if (host_) host_->TrackMouseLeave();
        if (PauseOnHover) Hold(thPointer);
    }
    if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

void TScrollingText::MouseLeave() {
    if (!hovered_) return;
    hovered_ = false;
    Release(thPointer);
}

}  // namespace tw
