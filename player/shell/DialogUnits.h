#pragma once
// Dialog units to pixels, with the base units of the 8-point dialog font at
// 96 DPI: 4 horizontal units are 6 px, 8 vertical units are 13 px.
namespace sonavel {
namespace shell {

constexpr int DluToPixelsX(int nDlu) { return nDlu * 6 / 4; }
constexpr int DluToPixelsY(int nDlu) { return nDlu * 13 / 8; }

} // namespace shell
} // namespace sonavel
