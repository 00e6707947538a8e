#include <gtest/gtest.h>

#include "config/cfg_file.h"
#include "ui/model/colour_theme.h"

TEST(ColourTheme, ChosenFromTitleBarColour) {
    struct Case {
        QString titleBar;
        ColourTheme theme;
    } const cases[] = {
        {"0 84 227", ColourTheme::Blue},      {"100 200 100", ColourTheme::Olive},
        {"128 128 128", ColourTheme::Silver}, {"", ColourTheme::Silver},  // all "200"
        {"10 10", ColourTheme::Blue},          // a missing blue word counts as "200"
        {"10 10 x", ColourTheme::Blue},        // not a number counts as 200
        {"9 80 10", ColourTheme::Olive},       // padded "080" beats "009" and "010"
        {"255 255 254", ColourTheme::Silver},  // ties are silver
        {"1000 90 900", ColourTheme::Blue},    // compared as texts: "900" > "1000"
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThemeFromTitleBar(c.titleBar), c.theme) << c.titleBar.toStdString();
    }
    EXPECT_EQ(ThemeName(ColourTheme::Olive), "olive");
    EXPECT_EQ(ThemeName(ColourTheme::Blue), "blue");
    EXPECT_EQ(ThemeName(ColourTheme::Silver), "silver");
}

TEST(ColourTheme, DerivedColoursCapAt255) {
    EXPECT_EQ(ButtonColour("250 250 250"), (Rgb{255, 255, 255}));
    EXPECT_EQ(HoverColour("250 250 250"), (Rgb{255, 255, 255}));
    EXPECT_EQ(ButtonColour("219 219 239"), (Rgb{239, 239, 255}));
    EXPECT_EQ(HoverColour("195 205 248"), (Rgb{235, 245, 255}));
    EXPECT_EQ(ButtonColour("0 0 0"), (Rgb{20, 20, 20}));
    EXPECT_EQ(WindowColourValue("1 2 3"), 1 + 256 * 2 + 65536 * 3);
    EXPECT_EQ(ParseRgb("300 1 1"), (Rgb{219, 219, 239}));  // invalid reads as the default
}

TEST(ColourTheme, SiteColoursOrCommonColours) {
    CfgFile cfg;
    Settings s(cfg);
    s.common.colours.olive = "1 2 3";
    s.site.colours.olive = "4 5 6";
    EXPECT_EQ(ThemeColour(s.ColoursInForce(), ColourTheme::Olive), "1 2 3");
    s.site.specialColours = true;
    EXPECT_EQ(ThemeColour(s.ColoursInForce(), ColourTheme::Olive), "4 5 6");
}

TEST(ColourTheme, StoringUnderTheThemeKey) {
    CfgFile cfg;
    Settings s(cfg);
    StoreThemeColour(s, ColourTheme::Blue, "10 20 30", true);
    EXPECT_TRUE(s.site.specialColours);
    EXPECT_EQ(s.site.colours.blue, "10 20 30");
    EXPECT_EQ(s.common.colours.blue, kDefaultBlue);

    StoreThemeColour(s, ColourTheme::Silver, "40 50 60", false);
    EXPECT_FALSE(s.site.specialColours);
    EXPECT_EQ(s.common.colours.silver, "40 50 60");

    StoreThemeColour(s, ColourTheme::Olive, "256 0 0", false);  // never stored invalid
    EXPECT_EQ(s.common.colours.olive, kDefaultOlive);
}
