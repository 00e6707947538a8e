#include "ui/model/colour_theme.h"

#include <QStringList>
#include <algorithm>

#include "config/words.h"

namespace {

Rgb Lighter(const QString& rgbText, int step) {
    const Rgb c = ParseRgb(rgbText);
    return {std::min(255, c.r + step), std::min(255, c.g + step), std::min(255, c.b + step)};
}

}  // namespace

ColourTheme ThemeFromTitleBar(const QString& rgbText) {
    const QStringList words = rgbText.simplified().split(' ');
    QString padded[3];
    for (int i = 0; i < 3; ++i) {
        const QString w = words.value(i);
        padded[i] = IsWholeNumber(w) ? w.rightJustified(3, '0') : QStringLiteral("200");
    }
    const QString &r = padded[0], &g = padded[1], &b = padded[2];
    if (b > g && b > r) {
        return ColourTheme::Blue;
    }
    if (g > b && g > r) {
        return ColourTheme::Olive;
    }
    return ColourTheme::Silver;
}

QString ThemeName(ColourTheme theme) {
    switch (theme) {
        case ColourTheme::Olive:
            return "olive";
        case ColourTheme::Blue:
            return "blue";
        case ColourTheme::Silver:
            break;
    }
    return "silver";
}

QString& ThemeColour(ColourSet& colours, ColourTheme theme) {
    switch (theme) {
        case ColourTheme::Olive:
            return colours.olive;
        case ColourTheme::Blue:
            return colours.blue;
        case ColourTheme::Silver:
            break;
    }
    return colours.silver;
}

const QString& ThemeColour(const ColourSet& colours, ColourTheme theme) {
    return ThemeColour(const_cast<ColourSet&>(colours), theme);
}

Rgb ParseRgb(const QString& text) {
    const QStringList words = ValidColourOr(text, kDefaultSilver).split(' ');
    return {words[0].toInt(), words[1].toInt(), words[2].toInt()};
}

QString RgbText(const Rgb& rgb) {
    return QString("%1 %2 %3").arg(rgb.r).arg(rgb.g).arg(rgb.b);
}

int WindowColourValue(const QString& rgbText) {
    const Rgb c = ParseRgb(rgbText);
    return c.r + 256 * c.g + 65536 * c.b;
}

Rgb ButtonColour(const QString& rgbText) {
    return Lighter(rgbText, 20);
}

Rgb HoverColour(const QString& rgbText) {
    return Lighter(rgbText, 40);
}

void StoreThemeColour(Settings& settings, ColourTheme theme, const QString& rgbText,
                      bool thisSiteOnly) {
    const QString valid = ValidColourOr(rgbText, ThemeColour(ColourSet{}, theme));
    if (thisSiteOnly) {
        settings.site.specialColours = true;
        ThemeColour(settings.site.colours, theme) = valid;
    } else {
        settings.site.specialColours = false;
        ThemeColour(settings.common.colours, theme) = valid;
    }
}
