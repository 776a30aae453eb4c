#include "player/analysis/measureview/FigureSize.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sonavel::measure {

namespace {

double InchesPer(ESizeUnit eUnit)
{
    switch (eUnit) {
    case ESizeUnit::Centimetres:
        return 1 / 2.54;
    case ESizeUnit::Millimetres:
        return 1 / 25.4;
    case ESizeUnit::Inches:
        return 1;
    case ESizeUnit::Pixels:
        break;
    }
    return 0;
}

const char* UnitName(ESizeUnit eUnit)
{
    switch (eUnit) {
    case ESizeUnit::Centimetres:
        return "cm";
    case ESizeUnit::Millimetres:
        return "mm";
    case ESizeUnit::Inches:
        return "in";
    case ESizeUnit::Pixels:
        break;
    }
    return "";
}

// A side: digits with at most one point (no sign, exponent or space), so
// nothing odd such as "inf" or "1e9" passes; pixels take digits only.
bool ParseSide(const std::string& s, bool bWhole, double& d)
{
    if (s.empty() || s.size() > 12 || s.find_first_not_of(bWhole ? "0123456789" : "0123456789.") != std::string::npos
        || s.find('.') != s.rfind('.') || s == ".")
        return false;
    d = std::strtod(s.c_str(), nullptr);
    return d > 0;
}

// Decimals enough to say a side as typed, no more: "16", "6.3".
std::string Side(double d)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.3g", d);
    return sz;
}

} // namespace

double FigureSize::Dpi() const
{
    if (dDpi > 0)
        return dDpi;
    return eUnit == ESizeUnit::Pixels ? kLayoutDpi : kDefaultPaperDpi;
}

int FigureSize::PixelWidth() const
{
    const double d = eUnit == ESizeUnit::Pixels ? dWidth : dWidth * InchesPer(eUnit) * Dpi();
    return static_cast<int>(std::lround(std::min(d, 1e9)));
}

int FigureSize::PixelHeight() const
{
    const double d = eUnit == ESizeUnit::Pixels ? dHeight : dHeight * InchesPer(eUnit) * Dpi();
    return static_cast<int>(std::lround(std::min(d, 1e9)));
}

double FigureSize::LayoutWidth() const
{
    return eUnit == ESizeUnit::Pixels ? dWidth / DeviceRatio() : dWidth * InchesPer(eUnit) * kLayoutDpi;
}

double FigureSize::LayoutHeight() const
{
    return eUnit == ESizeUnit::Pixels ? dHeight / DeviceRatio() : dHeight * InchesPer(eUnit) * kLayoutDpi;
}

double FigureSize::WidthMm() const { return LayoutWidth() / kLayoutDpi * 25.4; }
double FigureSize::HeightMm() const { return LayoutHeight() / kLayoutDpi * 25.4; }

bool ParseFigureSize(const std::string& strText, FigureSize& size)
{
    std::string s = strText;
    ESizeUnit eUnit = ESizeUnit::Pixels;
    for (ESizeUnit e : {ESizeUnit::Centimetres, ESizeUnit::Millimetres, ESizeUnit::Inches}) {
        const std::string strUnit = UnitName(e);
        if (s.size() > strUnit.size() && s.compare(s.size() - strUnit.size(), strUnit.size(), strUnit) == 0) {
            eUnit = e;
            s.resize(s.size() - strUnit.size());
        }
    }
    if (eUnit == ESizeUnit::Pixels && s.size() > 2 && s.compare(s.size() - 2, 2, "px") == 0)
        s.resize(s.size() - 2);
    const std::string::size_type nX = s.find_first_of("xX");
    double w = 0, h = 0;
    const bool bWhole = eUnit == ESizeUnit::Pixels;
    if (nX == std::string::npos || !ParseSide(s.substr(0, nX), bWhole, w) || !ParseSide(s.substr(nX + 1), bWhole, h))
        return false;
    size.dWidth = w;
    size.dHeight = h;
    size.eUnit = eUnit;
    return true;
}

bool ParseDpi(const std::string& strText, double& dDpi)
{
    double d = 0;
    if (!ParseSide(strText, true, d) || d < FigureSize::kMinDpi || d > FigureSize::kMaxDpi)
        return false;
    dDpi = d;
    return true;
}

std::string CheckFigureSize(const FigureSize& size)
{
    const int w = size.PixelWidth(), h = size.PixelHeight();
    const double dDpi = size.Dpi();
    if (!(dDpi >= FigureSize::kMinDpi && dDpi <= FigureSize::kMaxDpi))
        return "the resolution must be " + std::to_string(FigureSize::kMinDpi) + "-" +
               std::to_string(FigureSize::kMaxDpi) + " dpi";
    if (w < FigureSize::kMinPixels || w > FigureSize::kMaxPixels || h < FigureSize::kMinPixels ||
        h > FigureSize::kMaxPixels) {
        const std::string strSize = size.eUnit == ESizeUnit::Pixels
                                        ? "the picture"
                                        : Side(size.dWidth) + "x" + Side(size.dHeight) + UnitName(size.eUnit) + " at " +
                                              std::to_string(static_cast<int>(dDpi)) + " dpi";
        return strSize + " is " + std::to_string(w) + "x" + std::to_string(h) + " pixels; each side must be " +
               std::to_string(FigureSize::kMinPixels) + "-" + std::to_string(FigureSize::kMaxPixels);
    }
    if (size.LayoutWidth() < FigureSize::kMinLayout - 1e-9 || size.LayoutHeight() < FigureSize::kMinLayout - 1e-9) {
        char sz[160];
        std::snprintf(sz, sizeof sz, "the figure is %.1f x %.1f cm on paper; each side must be at least %.1f cm",
                      size.WidthMm() / 10, size.HeightMm() / 10, FigureSize::kMinLayout / FigureSize::kLayoutDpi * 2.54);
        return sz;
    }
    return std::string();
}

std::string DescribeFigureSize(const FigureSize& size)
{
    std::string s = std::to_string(size.PixelWidth()) + "x" + std::to_string(size.PixelHeight()) + " pixels";
    if (size.eUnit != ESizeUnit::Pixels)
        s += " (" + Side(size.dWidth) + " x " + Side(size.dHeight) + " " + UnitName(size.eUnit) + " at " +
             std::to_string(static_cast<int>(size.Dpi())) + " dpi)";
    return s;
}

} // namespace sonavel::measure
