#pragma once

#include <QString>

#include "config/settings.h"

// The colour theme: which of the three colours applies is chosen from the desktop's title-bar
// colour; the window, button and hover colours derive from that colour's "R G B" text.
enum class ColourTheme { Silver, Olive, Blue };

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

// "blue" when B is greater than both G and R, "olive" when G is, else "silver". The three words
// are padded on the left with "0" to three characters and compared as texts; a word that is
// missing or not a whole number counts as "200".
ColourTheme ThemeFromTitleBar(const QString& rgbText);
QString ThemeName(ColourTheme theme);

QString& ThemeColour(ColourSet& colours, ColourTheme theme);
const QString& ThemeColour(const ColourSet& colours, ColourTheme theme);

// The three numbers of a valid "R G B" text; invalid texts read as the silver default.
Rgb ParseRgb(const QString& text);
QString RgbText(const Rgb& rgb);
// R + 256 x G + 65536 x B.
int WindowColourValue(const QString& rgbText);
// Each component plus 20 (buttons) or 40 (hover), capped at 255.
Rgb ButtonColour(const QString& rgbText);
Rgb HoverColour(const QString& rgbText);

// Stores a colour chosen in the colour dialog under the theme's key: for this site only (the
// site gets its own colours) or for all sites without their own.
void StoreThemeColour(Settings& settings, ColourTheme theme, const QString& rgbText,
                      bool thisSiteOnly);
