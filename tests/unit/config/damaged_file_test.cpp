#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "config/settings.h"
#include "support/test_support.h"

namespace {

struct SiteSpec {
    QString name;
    QString domain;
    QString userid;
};

const SiteSpec kSites[] = {
    {"Alpha", "alpha.example", "al"}, {"Beta", "beta.example:2121", "bea"}, {"Gamma", "", "gam"}};

// A configuration file as the program writes it: three sites created one after the other, each
// with its settings saved.
QByteArray WrittenFile(const TestFolder& dir) {
    const QString path = dir.File("VorlenFTP.cfg");
    CfgFile cfg(path);
    Settings settings(cfg);
    settings.GetCommonSettings("ed", "/bin/gzip");
    for (int n = 0; n < 3; ++n) {
        const QString section = CfgFile::SiteSection(n);
        cfg.PutCfgFileSetting("Common", "NumSites", QString::number(n + 1));
        cfg.PutCfgFileSetting(section, "SiteName", kSites[n].name);
        cfg.PutCfgFileSetting(section, "SiteActive", "1");
        EXPECT_TRUE(cfg.WriteLinesDirect());
        settings.SetCurrentSiteNum(n);
        settings.GetSiteSettings();
        settings.site.domain = kSites[n].domain;
        settings.site.userid = kSites[n].userid;
        EXPECT_TRUE(settings.UpdateSettings());
    }
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QList<QByteArray> LinesOf(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.isEmpty()) {
            lines.append(line + '\n');
        }
    }
    return lines;
}

// The highest site number with a line in Bytes, -1 when none.
int LastSiteSection(const QByteArray& bytes) {
    int last = -1;
    for (int n = 0; n < 3; ++n) {
        if (bytes.contains("\"Site" + QByteArray::number(n) + "\",")) {
            last = n;
        }
    }
    return last;
}

QStringList DamagedCopies(const TestFolder& dir) {
    return QDir(dir.Path()).entryList({"VorlenFTP.cfg.damaged-*"}, QDir::Files);
}

// Starts on Bytes as the program does, checks the site list, then saves once.
void CheckCut(const QByteArray& bytes, bool damaged, const std::string& where) {
    SCOPED_TRACE(where);
    TestFolder dir;
    const QString path = dir.Write("VorlenFTP.cfg", bytes);
    CfgFile cfg(path);
    QStringList notices;
    cfg.onNotice = [&notices](const QString& text) { notices.append(text); };
    ASSERT_TRUE(cfg.Load());
    Settings settings(cfg);
    settings.GetCommonSettings("ed", "/bin/gzip");

    // No slot beyond the last site section that has lines.
    EXPECT_EQ(settings.NumSites(), LastSiteSection(bytes) + 1);
    QSet<QString> seen;
    for (int n = 0; n < settings.NumSites(); ++n) {
        const QString name = settings.siteNames[n];
        EXPECT_TRUE(name == kSites[n].name || name == kSites[n].domain ||
                    name == "Site" + QString::number(n))
            << name.toStdString();
        EXPECT_FALSE(seen.contains(name.toUpper())) << name.toStdString();
        seen.insert(name.toUpper());
        if (name != kSites[n].name) {
            settings.SetCurrentSiteNum(n);
            settings.GetSiteSettings();
            EXPECT_EQ(settings.site.siteName, name);  // the caption agrees with the list
        }
    }

    settings.SetCurrentSiteNum(0);
    settings.GetSiteSettings();
    settings.window.width = 999;  // something to save
    ASSERT_TRUE(settings.UpdateSettings());
    const QStringList copies = DamagedCopies(dir);
    if (!damaged) {
        EXPECT_TRUE(copies.isEmpty());
        EXPECT_TRUE(notices.isEmpty());
        return;
    }
    ASSERT_EQ(copies.size(), 1);
    const QString copy = dir.File(copies.first());
    EXPECT_EQ(dir.Read(copies.first()), bytes);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_FALSE(QFileInfo(copy).permissions() & others);  // owner-only
    EXPECT_TRUE(QFileInfo(copy).permissions() & QFileDevice::ReadOwner);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().contains(path));
    EXPECT_TRUE(notices.first().contains(copy));
}

}  // namespace

TEST(DamagedConfiguration, LineTests) {
    EXPECT_TRUE(CfgFile::IsReadableLine(CfgFile::MakeLine("Common", "NumSites", "2")));
    EXPECT_TRUE(CfgFile::IsReadableLine(CfgFile::MakeLine("Site0", "Domain", "")));
    EXPECT_TRUE(CfgFile::IsReadableLine(CfgFile::MakeLine("Future", "Unknown", "x")));
    EXPECT_TRUE(CfgFile::IsReadableLine(""));
    EXPECT_FALSE(CfgFile::IsReadableLine("\"Common\",\"NumSites\",\"Mg"));
    EXPECT_FALSE(CfgFile::IsReadableLine("\"Common\",\"NumSites\",\""));
    EXPECT_FALSE(CfgFile::IsReadableLine("\"Common\",\"NumSites\""));
    EXPECT_FALSE(CfgFile::IsReadableLine("\"Common\",\"NumSites\",\"!!!!\""));
    EXPECT_FALSE(CfgFile::IsReadableLine("\"Common\",\"\",\"Mg==\""));
    EXPECT_FALSE(CfgFile::IsReadableLine("not a setting"));
    EXPECT_FALSE(CfgFile::IsReadableLine(QString::fromLatin1("\x01\x02\xff")));
}

TEST(DamagedConfiguration, CutAtEveryLineOfAWrittenFile) {
    TestFolder source;
    const QByteArray whole = WrittenFile(source);
    const QList<QByteArray> lines = LinesOf(whole);
    ASSERT_GT(lines.size(), 60);
    QByteArray prefix;
    for (int k = 0; k <= lines.size(); ++k) {
        // Cut after K whole lines: nothing unreadable, so no copy.
        CheckCut(prefix, false, "after line " + std::to_string(k));
        if (k < lines.size()) {
            // Cut inside line K + 1: its rest is gone, so the file is damaged.
            const QByteArray& line = lines[k];
            CheckCut(prefix + line.left(line.size() / 2), true,
                     "inside line " + std::to_string(k + 1));
            prefix += line;
        }
    }
}

TEST(DamagedConfiguration, SecondSiteCutBeforeItsName) {
    TestFolder source;
    const QByteArray whole = WrittenFile(source);
    // Up to and with Site1's Domain line: SiteName and Userid (which sort later) are lost.
    const qsizetype domainLine = whole.indexOf("\"Site1\",\"Domain\"");
    ASSERT_GT(domainLine, 0);
    const QByteArray cut = whole.left(whole.indexOf('\n', domainLine) + 1);
    TestFolder dir;
    CfgFile cfg(dir.Write("VorlenFTP.cfg", cut));
    ASSERT_TRUE(cfg.Load());
    Settings settings(cfg);
    settings.GetCommonSettings("ed", "");
    EXPECT_EQ(settings.siteNames, QStringList({"Alpha", "beta.example:2121"}));

    // Cut before the Domain line: the slot number tells it apart.
    CfgFile cfg2(dir.Write("VorlenFTP.cfg", whole.left(domainLine)));
    ASSERT_TRUE(cfg2.Load());
    Settings settings2(cfg2);
    settings2.GetCommonSettings("ed", "");
    EXPECT_EQ(settings2.siteNames, QStringList({"Alpha", "Site1"}));
}

TEST(DamagedConfiguration, LostNumSitesCountsTheSections) {
    TestFolder source;
    QByteArray whole = WrittenFile(source);
    const qsizetype at = whole.indexOf("\"Common\",\"NumSites\"");
    ASSERT_GE(at, 0);
    whole.replace(at, whole.indexOf('\n', at) - at, "garbage\r");
    TestFolder dir;
    CfgFile cfg(dir.Write("VorlenFTP.cfg", whole));
    ASSERT_TRUE(cfg.Load());
    Settings settings(cfg);
    settings.GetCommonSettings("ed", "");
    EXPECT_EQ(settings.siteNames, QStringList({"Alpha", "Beta", "Gamma"}));
}

TEST(DamagedConfiguration, OneCopyPerDamageKeepsUnreadableLines) {
    TestFolder dir;
    const QByteArray junk = CfgFile::MakeLine("Common", "NumSites", "1").toLatin1() +
                            "\r\nnot a setting\r\n\x01\x02\xff\r\n\"Site0\",\"SiteNa";
    const QString path = dir.Write("VorlenFTP.cfg", junk);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
    {
        CfgFile cfg(path);
        QStringList notices;
        cfg.onNotice = [&notices](const QString& text) { notices.append(text); };
        ASSERT_TRUE(cfg.Load());
        cfg.PutCfgFileSetting("Common", "WindowWidth", "900");
        ASSERT_TRUE(cfg.SaveCfgFile());
        cfg.PutCfgFileSetting("Common", "WindowWidth", "901");
        ASSERT_TRUE(cfg.WriteLinesDirect());
        EXPECT_EQ(notices.size(), 1);  // said once
        ASSERT_EQ(DamagedCopies(dir).size(), 1);
        EXPECT_EQ(dir.Read(DamagedCopies(dir).first()), junk);
        const QByteArray saved = dir.Read("VorlenFTP.cfg");
        EXPECT_TRUE(saved.contains("not a setting\r\n"));
        EXPECT_TRUE(saved.contains("\x01\x02\xff\r\n"));
    }
    // The next run finds the same unreadable lines already kept: no second copy.
    CfgFile again(path);
    ASSERT_TRUE(again.Load());
    again.PutCfgFileSetting("Common", "WindowWidth", "902");
    ASSERT_TRUE(again.SaveCfgFile());
    EXPECT_EQ(DamagedCopies(dir).size(), 1);

    // New damage is kept again.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\"Common\",\"Trunc");
    file.close();
    CfgFile third(path);
    ASSERT_TRUE(third.Load());
    third.PutCfgFileSetting("Common", "WindowWidth", "903");
    ASSERT_TRUE(third.SaveCfgFile());
    EXPECT_EQ(DamagedCopies(dir).size(), 2);
}

TEST(DamagedConfiguration, NoSaveWhenTheCopyCannotBeMade) {
    TestFolder dir;
    const QByteArray junk = "garbage\r\n";
    const QString path = dir.Write("VorlenFTP.cfg", junk);
    CfgFile cfg(path);
    ASSERT_TRUE(cfg.Load());
    QFile::setPermissions(dir.Path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFile(dir.File("probe")).open(QIODevice::WriteOnly)) {
        QFile::setPermissions(
            dir.Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        GTEST_SKIP() << "folder permissions do not apply to this user";
    }
    cfg.PutCfgFileSetting("Common", "WindowWidth", "900");
    EXPECT_FALSE(cfg.SaveCfgFile());
    QFile::setPermissions(dir.Path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(cfg.CfgDirty());
    EXPECT_TRUE(cfg.ErrorText().contains("copy of the damaged configuration file"));
    EXPECT_EQ(dir.Read("VorlenFTP.cfg"), junk);
}
