#pragma once
// The size of a figure of the measuring view: pixels ("1280x720"), or a size
// on paper ("16x9cm", "160x90mm", "6.3x3.5in") at a resolution in dots per
// inch. The picture is laid out at 96 dpi on paper (so a 9-point font is 9
// points on the page whatever the resolution) and drawn at dpi/96 device
// pixels to each of those: 16x9cm at 300 dpi is 1890x1063 pixels. A size in
// pixels is drawn at 96 dpi unless one is given, pixel for pixel as on screen.
// Plain C++: render --view and the view's Save Picture dialog parse and check
// it alike.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>

namespace sonavel::measure {

enum class ESizeUnit { Pixels, Centimetres, Millimetres, Inches };

struct FigureSize {
    static constexpr int kMinPixels = 200, kMaxPixels = 8000;  // each side of the picture's pixels
    static constexpr int kMinDpi = 72, kMaxDpi = 1200;
    static constexpr double kLayoutDpi = 96;                    // the screen's, the layout's
    static constexpr double kDefaultPaperDpi = 300;             // a size on paper without --dpi
    static constexpr double kMinLayout = 150;                   // each side, 96-dpi pixels: about 4 cm

    double dWidth = 1280, dHeight = 720; // in eUnit
    ESizeUnit eUnit = ESizeUnit::Pixels;
    double dDpi = 0; // 0: none given (96 for pixels, kDefaultPaperDpi on paper)

    double Dpi() const;
    // The picture's pixels, each side rounded to the nearest.
    int PixelWidth() const;
    int PixelHeight() const;
    // The layout's size (96-dpi pixels, fractions kept) and the device pixels to each.
    double LayoutWidth() const;
    double LayoutHeight() const;
    double DeviceRatio() const { return Dpi() / kLayoutDpi; }
    // Each side in millimetres on paper.
    double WidthMm() const;
    double HeightMm() const;
};

// "WxH" with an optional unit after the height (cm, mm, in; px or none:
// pixels); each side a positive decimal. False for anything else.
bool ParseFigureSize(const std::string& strText, FigureSize& size);
// A whole number of dots per inch, kMinDpi to kMaxDpi.
bool ParseDpi(const std::string& strText, double& dDpi);

// Empty when the size can be drawn, else why not, for a message: "16x9cm at
// 1200 dpi is 7559x4252 pixels; each side must be 200-8000".
std::string CheckFigureSize(const FigureSize& size);

// "1890x1063 pixels (16 x 9 cm at 300 dpi)" or "1280x720 pixels".
std::string DescribeFigureSize(const FigureSize& size);

} // namespace sonavel::measure
