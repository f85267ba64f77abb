// The portable part of one ticker tick: the step and the composition of a frame (colour layer
// copy, transparent strip draw), for the ticker's 1,900 x 11 pixels and a whole 1,900 x 25 bar,
// beside the floor of two plain frame copies. The copy to the screen is bench_ticker_win32's.
#include "controls/ScrollingText.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Block glyphs in every other 6-pixel cell: about the ink of real text.
class BlockTextHost : public tw::IScrollingTextHost {
public:
    tw::Size MeasureText(const tw::TFont&, const std::string& text) override {
        return {static_cast<int>(text.size()) * 6, 9};
    }
    void RenderText(tw::TPixelImage& strip, const tw::TFont&, const std::string& text, int x, int y,
                    tw::TColor textColor, tw::TColor) override {
        for (std::size_t i = 0; i < text.size(); ++i)
            strip.FillRect(x + static_cast<int>(i) * 6 + 1, y + 1, 4, 7, tw::ColorToPixel(textColor));
    }
    tw::TColor ResolveColor(tw::TColor c) override { return tw::ResolveColorClassic(c); }
    void SetTimerInterval(int) override {}
    void Present(const tw::TPixelImage&) override {}
    void SetVisible(bool) override {}
    void SetBounds(int, int, int, int) override {}
    void SetHint(const std::string&, bool) override {}
    void SetHandCursor(bool) override {}
};

using Clock = std::chrono::steady_clock;

double NsPer(Clock::duration d, long n) { return std::chrono::duration<double, std::nano>(d).count() / n; }

void Run(int width, int height) {
    tw::TScrollingText ticker(std::make_unique<BlockTextHost>());
    ticker.SetBounds(0, 0, width, height);
    ticker.SetFont({"Tahoma", 8, 0xE6F5FF, 0});
    ticker.SetBackgroundColor(0x40342B);
    ticker.SetTextDirection(tw::tdRightToLeft);
    ticker.SetText("12/30    " + std::string(120, 'x'));
    ticker.Loaded();
    ticker.SetOffset(-width);  // the text fills the window
    long fired = 0;
    ticker.OnTextScrolled = [&](tw::TScrollingText&) { ++fired; };

    const long ticks = 20000;
    for (int i = 0; i < 500; ++i) ticker.Tick();  // warm up
    auto t0 = Clock::now();
    for (long i = 0; i < ticks; ++i) ticker.Tick();
    const double tickNs = NsPer(Clock::now() - t0, ticks);

    // Floor: two plain copies of the frame's bytes, what any double-buffered frame costs.
    tw::TPixelImage a(width, height, 1), b(width, height, 2), c(width, height, 3);
    t0 = Clock::now();
    for (long i = 0; i < ticks; ++i) {
        std::memcpy(b.Data(), a.Data(), static_cast<std::size_t>(width) * height * 4);
        std::memcpy(c.Data(), b.Data(), static_cast<std::size_t>(width) * height * 4);
        a.Data()[i % (width * height)] ^= 1;  // keep the copies from being folded away
    }
    const double floorNs = NsPer(Clock::now() - t0, ticks);
    std::printf("BENCH ticker_tick_portable %dx%d ns_per_tick=%.0f two_copies_ns=%.0f ratio=%.2f passes=%ld\n", width,
                height, tickNs, floorNs, tickNs / floorNs, fired);
}

}  // namespace

int main() {
    Run(1900, 11);
    Run(1900, 25);
    return 0;
}
