// Tools > Log File Processing as a whole: the selected day's month, this folder and Alt, into
// one CSV that Python's csv module reads back field for field.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "logs/log_options.h"
#include "logs/log_processing.h"
#include "panes/local_pane.h"
#include "support/test_support.h"

namespace {

QByteArray Line(const QString& address, const QString& url, const QString& size,
                const QString& referrer = "-", const QString& browser = "Mozilla/5.0") {
    return (address + " - - [30/Nov/2026:10:11:12 +0000] \"GET " + url + " HTTP/1.1\" 200 " + size +
            " \"" + referrer + "\" \"" + browser + "\"\n")
        .toUtf8();
}

struct ProcLogsRun : ::testing::Test {
    TestFolder work;
    TestFolder logs;
    ScopedEnv home{"VORLENFTP_HOME", work.Path()};
    ScriptedUserInterface ui;
    AppCore core{ui};

    void SetUp() override {
        core.FormCreate({});
        core.settings.site.localLogdir = logs.Path();
        core.settings.site.remLogdirAlt = "ssl_logs";
        core.settings.common.logFileSumm = "gif/css";
        core.settings.common.logFileURLFilter = {"/robots.txt"};
        QDir(logs.Path()).mkpath("202611/Alt");
        logs.Write("202611/stats.20261130",
                   Line("1.2.3.4", "/index.html", "512", "http://a.org/x?q=1",
                        "Mozilla \"quoted\", with comma") +
                       Line("1.2.3.4", "/logo.gif", "100") +
                       Line("1.2.3.4", "/logo.gif", "-") /* no size: no hit */ +
                       Line("5.6.7.8", "/robots.txt", "20") + "garbage line\n" +
                       Line("9.9.9.9", "/a.css", "40") +
                       Line("=cmd", "/evil.html", "1", "=HYPERLINK(1)", "@SUM(A1)"));
        logs.Write("202611/stats.20261129", Line("1.1.1.1", "/logo.gif", "200"));
        logs.Write("202611/other.20261130", Line("2.2.2.2", "/not-this.html", "1"));
        logs.Write("202611/stats.20261128.gz", "still compressed");
        logs.Write("202611/Alt/stats.20261130", Line("3.3.3.3", "/secure.html", "7"));
        ASSERT_TRUE(core.localPane->SelectDirectory(logs.File("202611")));
        ui.selectedLocal = {"stats.20261130"};
    }
};

TEST_F(ProcLogsRun, MonthOfLogsBecomesOneSpreadsheetSafeCsv) {
    ui.inputAnswers.enqueue(QString("example.com"));
    core.logProcessing->ProcLogs();
    ASSERT_TRUE(QFileInfo::exists(logs.File("202611/stats202611.csv")))
        << ui.logLines.join("\n").toStdString();
    EXPECT_EQ(core.settings.Cfg().GetCfgFileSetting("Common", "LogfilePrefix=stats", ""),
              "example.com");
    EXPECT_EQ(ui.messages.size(), 1);  // the .gz caution, once
    EXPECT_TRUE(ui.messages[0].text.startsWith("Caution, folder being processed contains"));
    EXPECT_EQ(ui.StatusBarGeneralText(), " Finished extracting log data to file stats202611.csv");

    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty()) {
        GTEST_SKIP() << "python3 is missing";
    }
    QProcess read;
    read.start(python, {"-c",
                        "import csv,sys\n"
                        "for r in csv.reader(open(sys.argv[1], newline='', encoding='utf-8')):\n"
                        "    print('|'.join(r))\n",
                        logs.File("202611/stats202611.csv")});
    ASSERT_TRUE(read.waitForFinished(30000));
    const QStringList rows =
        QString::fromUtf8(read.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {
        "Date|Time|Hit|Size|Referrer|Browser|Visitor's IP Address",
        "30/Nov/2026|10:11:12|https://example.com/secure.html|7|-|Mozilla/5.0|3.3.3.3",
        "30/Nov/2026|10:11:12|http://example.com/index.html|512|http://a.org/x?q=1|"
        "Mozilla \"quoted\", with comma|1.2.3.4",
        "30/Nov/2026|10:11:12|http://example.com/evil.html|1|'=hyperlink(1)|'@SUM(A1)|'=cmd",
        "30/Nov/2026|00:00:00|*.gif (2 hits)|300| | |",
        "30/Nov/2026|00:00:00|*.css (1 hits)|40| | |",
    };
    // The Alt folder is read after the month folder; within them the files in name order.
    EXPECT_EQ(rows.size(), expected.size()) << rows.join("\n").toStdString();
    for (const QString& row : expected) {
        EXPECT_TRUE(rows.contains(row)) << row.toStdString() << "\n"
                                        << rows.join("\n").toStdString();
    }
}

TEST_F(ProcLogsRun, RefusalsAndAnEmptyDomainWriteNothing) {
    ui.inputAnswers.enqueue(QString());  // the domain prompt answered with nothing
    core.logProcessing->ProcLogs();
    EXPECT_FALSE(QFileInfo::exists(logs.File("202611/stats202611.csv")));
    EXPECT_EQ(ui.inputPrompts.size(), 1);

    ui.selectedLocal = {"stats.2026113"};
    core.logProcessing->ProcLogs();
    ui.selectedLocal = {".hidden"};
    core.logProcessing->ProcLogs();
    ui.selectedLocal = {"a", "b"};
    core.logProcessing->ProcLogs();
    QStringList texts;
    for (const auto& m : ui.messages) {
        texts << m.text;
    }
    EXPECT_EQ(texts, QStringList({"Selected file (stats.2026113) does not have a valid logfile "
                                  "name ending with a period then 8 numerics.",
                                  ".hidden is not supported as a log filename (starts with \".\")",
                                  "Please select a single representative local file and try "
                                  "again."}));

    // Cancel in the options dialog.
    ui.selectedLocal = {"stats.20261130"};
    ui.inputAnswers.enqueue(QString("example.com"));
    ui.acceptLogOptions = false;
    core.logProcessing->ProcLogs();
    EXPECT_FALSE(QFileInfo::exists(logs.File("202611/stats202611.csv")));
    EXPECT_EQ(ui.enableCount, ui.disableCount);
}

TEST(LogOptionsRules, ExtensionsAndFilters) {
    LogOptions o;
    o.configuredSummary = "gif/jpg";
    o.summaryText = "gif/jpg";
    EXPECT_EQ(o.AddExtension(" .PNG "), "");
    EXPECT_EQ(o.summaryText, "gif/jpg/png");
    EXPECT_EQ(o.AddExtension("png"), "Specified file extension is already listed");
    EXPECT_EQ(o.AddExtension("a/b"), "Forward slash (\"/\") is not valid in a file extension");
    EXPECT_EQ(o.AddExtension("."), "");
    EXPECT_EQ(o.summaryText, "gif/jpg/png");
    EXPECT_EQ(o.DeleteExtension(""), "No file extension was selected for removal");
    EXPECT_EQ(o.DeleteExtension("jpg"), "");
    EXPECT_EQ(o.SortedExtensions(), QStringList({"gif", "png"}));
    o.DefaultExtensions();
    EXPECT_EQ(o.summaryText, "gif/jpg");

    EXPECT_EQ(o.AddFilter(" /cgi-bin "), "");
    EXPECT_EQ(o.AddFilter("/cgi-bin"), "Specified filter text is already listed");
    EXPECT_EQ(o.DeleteFilter(""), "No filter text was selected for removal");
    EXPECT_EQ(DomainKeyForPrefix("WWW", "joe"), "LogfilePrefix=www-joe");
    EXPECT_EQ(DomainKeyForPrefix("stats", "joe"), "LogfilePrefix=stats");
}

}  // namespace
