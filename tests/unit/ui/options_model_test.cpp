#include <gtest/gtest.h>

#include "config/cfg_file.h"
#include "ui/model/options_model.h"

TEST(OptionsLists, AsciiTypes) {
    QStringList types{"txt", "htm"};
    struct Case {
        QString answer;
        QString warning;
    } const cases[] = {
        {" .PHP ", ""},
        {"php", "Specified file type is already listed"},
        {"a|b", R"(Vertical bar ("|") is not valid in a file type)"},
        {"   ", ""},
        {".", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddAsciiType(types, c.answer), c.warning) << c.answer.toStdString();
    }
    EXPECT_EQ(types, QStringList({"txt", "htm", "php"}));
}

TEST(OptionsLists, SummaryTypes) {
    QStringList types;
    EXPECT_EQ(AddSummaryType(types, ".GIF"), "");
    EXPECT_EQ(AddSummaryType(types, "gif"), "Specified file extension is already listed");
    EXPECT_EQ(AddSummaryType(types, "a/b"),
              R"(Forward slash ("/") is not valid in a file extension)");
    EXPECT_EQ(AddSummaryType(types, "."), "");
    EXPECT_EQ(AddSummaryType(types, " css "), "");
    EXPECT_EQ(types, QStringList({"gif", "css"}));
}

TEST(OptionsLists, UrlFilters) {
    QStringList filters;
    EXPECT_EQ(AddUrlFilter(filters, " /robots.txt "), "");
    EXPECT_EQ(AddUrlFilter(filters, "/robots.txt"), "Specified filter text is already listed");
    EXPECT_EQ(AddUrlFilter(filters, " "), "");
    EXPECT_EQ(filters, QStringList{"/robots.txt"});
}

TEST(OptionsValues, RoundTripStoresEveryField) {
    CfgFile cfg;
    Settings s(cfg);
    s.common.asciiFiletypes = "txt|htm";
    s.common.logFileSumm = "gif/jpg";
    s.common.logFileURLFilter = {"bot"};
    s.site.remLogdir = "www_logs";
    OptionsValues v = OptionsValues::FromSettings(s);
    EXPECT_EQ(v.asciiTypes, QStringList({"txt", "htm"}));
    EXPECT_EQ(v.summaryTypes, QStringList({"gif", "jpg"}));
    v.asciiTypes.append("PL");
    v.summaryTypes.removeFirst();
    v.urlFilters.append("spider");
    v.favoredEditor = "vi";
    v.gzipPath = "/bin/gzip";
    v.logsEnabled = true;
    v.localLogdir = "/logs";
    v.remLogdir = "logs";
    v.remLogdirAlt = " ssl_logs ";
    v.favRemDir = "/www";
    v.favRemDirCaption = "Web";
    v.simultaneousTransfers = 12;  // more than the servers of a shared host allow
    v.StoreTo(s, ColourTheme::Silver);
    EXPECT_EQ(s.common.asciiFiletypes, "txt|htm|pl");
    EXPECT_EQ(s.common.logFileSumm, "jpg");
    EXPECT_EQ(s.common.logFileURLFilter, QStringList({"bot", "spider"}));
    EXPECT_EQ(s.common.favoredEditor, "vi");
    EXPECT_EQ(s.common.gzipPath, "/bin/gzip");
    EXPECT_TRUE(s.common.logsEnabled);
    EXPECT_EQ(s.site.localLogdir, "/logs");
    EXPECT_EQ(s.site.remLogdir, "logs");
    EXPECT_EQ(s.site.remLogdirAlt, "ssl_logs");
    EXPECT_EQ(s.site.favRemDir, "/www");
    EXPECT_EQ(s.site.favRemDirCaption, "Web");
    EXPECT_EQ(s.common.simultaneousTransfers, 8);
    EXPECT_EQ(s.common.colours.silver, kDefaultSilver);  // no colour chosen: unchanged
}

TEST(OptionsValues, ResetRememberedDirectories) {
    SiteProfile site;
    site.infLocDirs = {"/a", "/b", "/c"};
    site.infRemDirs = {"/x", "/y"};
    ResetRememberedDirectories(site, "/b", "/y");
    EXPECT_EQ(site.infLocDirs, QStringList{"/b"});
    EXPECT_EQ(site.infRemDirs, QStringList{"/y"});
    ResetRememberedDirectories(site, "/b", "..");  // not connected: no remote directory
    EXPECT_TRUE(site.infRemDirs.isEmpty());
}
