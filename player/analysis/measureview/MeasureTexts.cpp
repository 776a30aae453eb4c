#include "player/analysis/measureview/MeasureTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace sonavel::measure {

namespace {

std::string Printf(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* szFormat, ...)
{
    char sz[512];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(sz, sizeof sz, szFormat, args);
    va_end(args);
    return sz;
}

const char kszDash[] = "\xE2\x80\x93"; // en dash, for ranges

// Whether UTF-8 text holds a character written right to left (the blocks of
// Hebrew, Arabic, Syriac, Thaana, N'Ko and their kin, their presentation
// forms, the right-to-left mark) or an Arabic digit, which turn the neutral
// text beside them round.
bool HasRightToLeft(const std::string& str)
{
    for (size_t i = 0; i < str.size();) {
        const auto c = static_cast<unsigned char>(str[i]);
        const size_t nLength = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        char32_t u = nLength == 1 ? c : c & (0x7F >> nLength);
        for (size_t k = 1; k < nLength && i + k < str.size(); ++k)
            u = u << 6 | (static_cast<unsigned char>(str[i + k]) & 0x3F);
        if ((u >= 0x0590 && u <= 0x08FF) || u == 0x200F || (u >= 0xFB1D && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF)
            || (u >= 0x10800 && u <= 0x10FFF) || (u >= 0x1E800 && u <= 0x1EFFF))
            return true;
        i += nLength;
    }
    return false;
}

} // namespace

std::string FormatSeconds(double dSeconds)
{
    std::string s = Printf("%.3f s", dSeconds);
    if (dSeconds >= 60) {
        const long nWhole = static_cast<long>(dSeconds);
        s += nWhole >= 3600 ? Printf(" (%ld:%02ld:%02ld)", nWhole / 3600, nWhole / 60 % 60, nWhole % 60)
                            : Printf(" (%ld:%02ld)", nWhole / 60, nWhole % 60);
    }
    return s;
}

std::string WithoutBidiControls(const std::string& strName)
{
    // U+202A-202E are E2 80 AA-AE in UTF-8, U+2066-2069 are E2 81 A6-A9.
    std::string strShown;
    strShown.reserve(strName.size());
    for (size_t i = 0; i < strName.size(); ++i) {
        if (static_cast<unsigned char>(strName[i]) == 0xE2 && i + 2 < strName.size()) {
            const auto b1 = static_cast<unsigned char>(strName[i + 1]);
            const auto b2 = static_cast<unsigned char>(strName[i + 2]);
            if ((b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) || (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)) {
                i += 2;
                continue;
            }
        }
        strShown += strName[i];
    }
    return strShown;
}

std::string IsolatedName(const std::string& strName)
{
    const std::string strShown = WithoutBidiControls(strName);
    return HasRightToLeft(strShown) ? "\xE2\x81\xA8" + strShown + "\xE2\x81\xA9" : strShown;
}

std::string ChannelName(const std::string& strName, int nChannel, int nChannels)
{
    return strName + Printf(" (channel %d of %d)", nChannel, nChannels);
}

std::string HeaderLine(const std::string& strName, double dDuration, int nRate, const std::string& strNote)
{
    return IsolatedName(strName) + " \xE2\x80\x94 " + FormatSeconds(dDuration) + Printf(", %d Hz", nRate)
         + (strNote.empty() ? std::string() : " \xE2\x80\x94 " + strNote);
}

std::string SettingsLine(const MeasureSettings& settings, const CMeasureModel& model)
{
    const spectrogram::SpectrogramSettings& s = settings.spectrogram;
    const std::string strHeld = WindowHeld(s, model.Rate());
    std::string str = Printf("Spectrogram %g ms window%s%s, 0%s%.0f Hz, %.0f dB", s.dWindowS * 1000,
                             strHeld.empty() ? "" : ", ", strHeld.c_str(), kszDash, s.dMaxFrequencyHz,
                             s.dDynamicRangeDb);
    if (!model.PictureFailure().empty())
        str += " \xE2\x80\x94 no spectrogram: " + model.PictureFailure();
    const pitch::PitchSettings& p = model.PitchSettings();
    const PitchRange range = SearchRange(p);
    const bool bOwn = p.dFloorHz <= 0 && p.dCeilingHz <= 0;
    str += Printf("   |   Pitch: %s, %s%.0f%s%.0f Hz", TrackerTitle(p.tracker), bOwn ? "its own range " : "",
                  range.dLowHz, kszDash, range.dHighHz);
    if (model.IsTracking())
        str += " (tracking\xE2\x80\xA6)";
    else if (model.PitchResult() != analysis::EOutcome::Done)
        str += " \xE2\x80\x94 no pitch: " + TrackFailure(model.PitchResult());
    // The ceiling the formants were found under, so a user can report it.
    if (const formants::FormantFrames* pFormants = model.Formants(); pFormants && pFormants->dCeilingHz > 0)
        str += Printf("   |   formants: ceiling %.0f Hz, %s", pFormants->dCeilingHz,
                      settings.formants.dCeilingHz > 0 ? "set" : "found");
    // A layer whose track failed says so; one still on its way says nothing.
    for (const auto& [szLayer, nResult] : {std::make_pair("formants", model.FormantResult()),
                                           std::make_pair("intensity", model.IntensityResult())})
        if (nResult != analysis::EOutcome::Done)
            str += Printf(" \xE2\x80\x94 no %s: %s", szLayer,
                          nResult == analysis::EOutcome::NoMemory ? "not enough memory" : "the track failed");
    return str;
}

namespace {

// What lies at a time besides the frequency: pitch, F1-F3, intensity, sample.
std::string LayerReadouts(const CMeasureModel::Readout& r, bool bFrameTime)
{
    std::string str;
    if (r.nFrame >= 0) {
        str += r.dPitchHz > 0 ? Printf("   pitch %.1f Hz", r.dPitchHz) : std::string("   unvoiced");
        if (bFrameTime)
            str += Printf(" at %.3f s", r.dFrameTime);
    }
    if (r.bFormants) {
        str += "  ";
        for (int j = 0; j < 3; ++j)
            str += r.dFormantHz[j] > 0 ? Printf(" F%d %.0f", j + 1, r.dFormantHz[j]) : Printf(" F%d \xE2\x80\x93", j + 1);
        str += " Hz";
    }
    if (r.bIntensity)
        str += r.dIntensityDb > intensity::kSilenceDb ? Printf("   intensity %.1f dB", r.dIntensityDb)
                                                      : std::string("   silence");
    if (r.bSample)
        str += Printf("   sample %.4f", r.dSample);
    return str;
}

} // namespace

std::string ReadoutText(const CMeasureModel::Readout& r)
{
    std::string str = FormatSeconds(r.dTime);
    if (r.bFrequency)
        str += Printf("   %.0f Hz", r.dFrequencyHz);
    if (r.bLevel)
        str += Printf("   %.1f dB", r.dLevelDb);
    return str + LayerReadouts(r, true);
}

std::string CursorSeconds(double t, double dSpan)
{
    // About a pixel of a view a thousand wide, never finer than 0.1 ms (the
    // closest look shows 2 ms).
    const int nDecimals = std::clamp(static_cast<int>(std::ceil(-std::log10(std::max(dSpan, 1e-9) / 1000) - 1e-9)), 0, 4);
    std::string s = Printf("%.*f s", nDecimals, t);
    if (t >= 60) {
        const std::string strLong = FormatSeconds(t);
        s += strLong.substr(strLong.find(' ', strLong.find(' ') + 1));
    }
    return s;
}

std::string SelectionText(const CMeasureModel& model)
{
    if (!model.HasSelection()) {
        if (!model.HasCursor())
            return "No selection";
        return "Cursor " + CursorSeconds(model.Cursor(), model.Span()) + LayerReadouts(model.ReadoutAtTime(model.Cursor()), false);
    }
    const CMeasureModel::SpanFacts f = model.Facts(model.SelectionStart(), model.SelectionEnd());
    std::string str = Printf("Selection %.3f%s%.3f s (%.3f s)", f.dStart, kszDash, f.dEnd, f.dDuration);
    if (model.Pitch())
        str += f.nVoiced > 0 ? Printf(", mean pitch %.1f Hz", f.dMeanPitchHz) : std::string(", unvoiced");
    if (model.Formants() && f.dMeanFormantHz[0] > 0)
        str += Printf(", F1 %.0f F2 %.0f F3 %.0f Hz", f.dMeanFormantHz[0], f.dMeanFormantHz[1], f.dMeanFormantHz[2]);
    if (f.bIntensity)
        str += Printf(", %.1f dB", f.dIntensityDb);
    return str;
}

std::string PictureDescription(const std::string& strName, const CMeasureModel& model)
{
    std::string str = Printf("%s, %.3f to %.3f s of %.3f s shown", strName.c_str(), model.Start(), model.End(),
                             model.Duration());
    if (model.Pitch())
        str += Printf(", pitch scale %.0f to %.0f Hz", model.PitchLow(), model.PitchHigh());
    else
        str += ", no pitch shown";
    return str;
}

} // namespace sonavel::measure
