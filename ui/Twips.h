#pragma once

namespace velk::ui
{

/// The windows' layouts and the grids' column widths are given in twips (1/1440 inch) and drawn at 96 dots per
/// inch. Twips to pixels, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

/// Pixels to twips.
constexpr int pixelsToTwips(int pixels)
{
    return pixels * 1440 / 96;
}

} // namespace velk::ui
