#include <gtest/gtest.h>

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>

#include "config/cfg_file.h"
#include "support/test_support.h"

namespace {

QString Section(const QString& line) {
    return CfgFile::LineField(line, 1);
}
QString Key(const QString& line) {
    return CfgFile::LineField(line, 2);
}

}  // namespace

TEST(CfgFile, LineFormat) {
    EXPECT_EQ(CfgFile::MakeLine("Common", "NumSites", "1"), "\"Common\",\"NumSites\",\"MQ==\"");
    EXPECT_EQ(CfgFile::MakeLine("Site0", "Domain", ""), "\"Site0\",\"Domain\",\"\"");
}

TEST(CfgFile, LookupsAndDefaults) {
    CfgFile cfg;
    cfg.CfgLines() = {CfgFile::MakeLine("Common", "A", "1"), CfgFile::MakeLine("Common", "E", ""),
                      "garbage line without fields", "\"Common\",\"A\",\"Mg==\""};
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "A", "x"), "1");  // the first match wins
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "E", "x"), "");   // present but empty
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "Missing", "x"), "x");
    EXPECT_EQ(cfg.GetCfgFileSetting("common", "A", "x"), "x");  // case-sensitive
}

TEST(CfgFile, PutMarksDirtyOnlyOnChange) {
    CfgFile cfg;
    cfg.PutCfgFileSetting("Common", "A", "1");
    ASSERT_EQ(cfg.CfgLines().size(), 1);
    cfg.SetDirty(false);
    cfg.PutCfgFileSetting("Common", "A", "1");
    EXPECT_FALSE(cfg.CfgDirty());
    cfg.PutCfgFileSetting("Common", "A", "2");
    EXPECT_TRUE(cfg.CfgDirty());
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "A", ""), "2");
}

TEST(CfgFile, PutUpdatesEveryDuplicate) {
    CfgFile cfg;
    cfg.CfgLines() = {CfgFile::MakeLine("Common", "A", "1"), CfgFile::MakeLine("Common", "A", "1")};
    cfg.PutCfgFileSetting("Common", "A", "9");
    EXPECT_EQ(cfg.CfgLines()[0], cfg.CfgLines()[1]);
    EXPECT_EQ(cfg.CfgLines().size(), 2);
}

TEST(CfgFile, SortedInsertion) {
    CfgFile cfg;
    cfg.PutCfgFileSetting("Common", "B", "b");
    cfg.PutCfgFileSetting("Common", "A", "a");
    cfg.PutCfgFileSetting("Site10", "Userid", "u");
    cfg.PutCfgFileSetting("Site10", "Domain", "d");
    cfg.PutCfgFileSetting("Site2", "Domain", "d2");
    cfg.PutCfgFileSetting("Common", "a", "lower");  // upper case sorts first
    QStringList order;
    for (const QString& line : cfg.CfgLines()) {
        order << Section(line) + "/" + Key(line);
    }
    EXPECT_EQ(order, QStringList({"Common/A", "Common/B", "Common/a", "Site10/Domain",
                                  "Site10/Userid", "Site2/Domain"}));
}

TEST(CfgFile, SettingKinds) {
    CfgFile cfg;
    cfg.SetCurrentSiteNum(3);
    cfg.SettingPut("Site", "Userid", "me");
    cfg.SettingPut("COMMON", "X", "1");
    cfg.SettingPut("..Settings", "Y", "2");
    EXPECT_EQ(cfg.GetCfgFileSetting("Site3", "Userid", ""), "me");
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "X", ""), "1");
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "Y", ""), "2");
    EXPECT_EQ(cfg.SettingGet("site", "Userid", ""), "me");
}

TEST(CfgFile, NonAsciiValuesAndUnknownLinesSurviveSaveAndLoad) {
    TestFolder dir;
    const QString path = dir.File("VorlenFTP.cfg");
    CfgFile cfg(path);
    cfg.CfgLines().append(QString::fromLatin1("\xff odd line, kept \"as is\""));
    cfg.PutCfgFileSetting("Site0", "SiteName", QString::fromUtf8("Mein Bücher-Server  "));
    ASSERT_TRUE(cfg.SaveCfgFile());
    CfgFile again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_FALSE(again.CfgDirty());
    EXPECT_EQ(again.CfgLines(), cfg.CfgLines());
    EXPECT_EQ(again.GetCfgFileSetting("Site0", "SiteName", ""),
              QString::fromUtf8("Mein Bücher-Server  "));
    EXPECT_TRUE(dir.Read("VorlenFTP.cfg").contains("\r\n"));
}

TEST(CfgFile, ReadsAnyLineEnding) {
    TestFolder dir;
    const QString path = dir.Write("c.cfg", "\"Common\",\"A\",\"MQ==\"\n\"Common\",\"B\",\"Mg==\"\r"
                                            "\"Common\",\"C\",\"Mw==\"\r\n\"Common\",\"D\",\"NA==\"");
    CfgFile cfg(path);
    ASSERT_TRUE(cfg.Load());
    EXPECT_EQ(cfg.CfgLines().size(), 4);
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "D", ""), "4");
}

TEST(CfgFile, MissingFileIsEmptyAndDirty) {
    TestFolder dir;
    CfgFile cfg(dir.File("none.cfg"));
    EXPECT_TRUE(cfg.Load());
    EXPECT_TRUE(cfg.CfgDirty());
    EXPECT_TRUE(cfg.CfgLines().isEmpty());
}

TEST(CfgFile, SaveMergesOtherCopiesSites) {
    TestFolder dir;
    const QString path = dir.File("VorlenFTP.cfg");
    // This copy: Common and Site0 (current) and a stale Site1.
    CfgFile ours(path);
    ours.SetCurrentSiteNum(0);
    ours.PutCfgFileSetting("Common", "NumSites", "2");
    ours.PutCfgFileSetting("Site0", "Userid", "mine");
    ours.PutCfgFileSetting("Site1", "Userid", "stale");
    ASSERT_TRUE(ours.SaveCfgFile());

    // Another copy saves Site1 changes and adds Site3.
    CfgFile other(path);
    ASSERT_TRUE(other.Load());
    other.SetCurrentSiteNum(1);
    other.PutCfgFileSetting("Site1", "Userid", "fresh");
    other.PutCfgFileSetting("Site3", "Userid", "new");
    other.PutCfgFileSetting("Site0", "Userid", "theirs");  // not its site: must not win
    ASSERT_TRUE(other.WriteLinesDirect());

    ours.PutCfgFileSetting("Site0", "Domain", "example.org");
    ASSERT_TRUE(ours.SaveCfgFile());
    CfgFile result(path);
    ASSERT_TRUE(result.Load());
    EXPECT_EQ(result.GetCfgFileSetting("Site0", "Userid", ""), "mine");
    EXPECT_EQ(result.GetCfgFileSetting("Site0", "Domain", ""), "example.org");
    EXPECT_EQ(result.GetCfgFileSetting("Site1", "Userid", ""), "fresh");
    EXPECT_EQ(result.GetCfgFileSetting("Site3", "Userid", ""), "new");
    EXPECT_EQ(result.GetCfgFileSetting("Common", "NumSites", ""), "4");
    // The memory list itself is not replaced by the merged one.
    EXPECT_EQ(ours.GetCfgFileSetting("Site1", "Userid", ""), "stale");
}

TEST(CfgFile, FileIsOwnerOnly) {
    TestFolder dir;
    CfgFile cfg(dir.File("VorlenFTP.cfg"));
    cfg.PutCfgFileSetting("Common", "A", "1");
    ASSERT_TRUE(cfg.SaveCfgFile());
    const auto perms = QFileInfo(cfg.FileName()).permissions();
    EXPECT_TRUE(perms & QFileDevice::ReadOwner);
    EXPECT_FALSE(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

TEST(CfgFile, FailedSaveLeavesOldFileAndReports) {
    TestFolder dir;
    const QString path = dir.File("VorlenFTP.cfg");
    CfgFile cfg(path);
    cfg.PutCfgFileSetting("Common", "A", "1");
    ASSERT_TRUE(cfg.SaveCfgFile());
    const QByteArray before = dir.Read("VorlenFTP.cfg");

    // A full disk, as seen by this process: writes past 4 KiB fail (root obeys this limit too).
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    cfg.PutCfgFileSetting("Common", "A", QString(20000, 'x'));
    const bool saved = cfg.SaveCfgFile();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(cfg.CfgDirty());
    EXPECT_TRUE(cfg.ErrorText().contains(path)) << cfg.ErrorText().toStdString();
    EXPECT_EQ(dir.Read("VorlenFTP.cfg"), before);
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files).size(), 1);  // no temporary left behind
}
