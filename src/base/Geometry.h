#pragma once
// Points, sizes and rectangles in pixels, as every area measures the screen, the bar and its
// pictures. A rectangle is half-open, as the platform's: Right and Bottom lie just outside it.
namespace tw {

struct Point {
    int X = 0, Y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int Width = 0, Height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    // The rectangle of `width` x `height` whose top-left corner is (left, top).
    static constexpr Rect Sized(int left, int top, int width, int height) {
        return Rect{left, top, left + width, top + height};
    }
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr Point TopLeft() const { return Point{Left, Top}; }
    constexpr Size Extent() const { return Size{Width(), Height()}; }
    constexpr bool Empty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    // The same size with its top-left corner at (left, top).
    constexpr Rect MovedTo(int left, int top) const { return Sized(left, top, Width(), Height()); }
    bool operator==(const Rect&) const = default;
};

}  // namespace tw
