// Whole runs: log files in, one CSV out, with its rows, summary rows, errors and read-back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include "logs/log_run.h"
#include "support/test_support.h"

namespace {

// A combined-layout line.
QByteArray Hit(const QByteArray& url, const QByteArray& size = "100",
               const QByteArray& day = "01/Nov/2005", const QByteArray& browser = "UA/1.0",
               const QByteArray& address = "192.0.2.1", const QByteArray& referrer = "-") {
    return address + " - - [" + day + ":10:20:30 +0000] \"GET " + url + " HTTP/1.1\" 200 " + size +
           " \"" + referrer + "\" \"" + browser + "\"\n";
}

class LogRunTest : public ::testing::Test {
protected:
    // Runs over Logs (file name → text) in that order and returns the CSV's lines, or the
    // status when the run failed.
    QStringList Run(const std::vector<std::pair<QString, QByteArray>>& logs,
                    const QString& summary = "", const QStringList& filters = {},
                    const QString& remoteDir = "logs") {
        LogRun run(summary, filters);
        run.onLogText = [this](const QString& text) { logged.append(text); };
        EXPECT_EQ(run.Begin(Output()), LogRunStatus::Ok);
        for (const auto& [name, text] : logs) {
            EXPECT_EQ(run.ProcessCurrentLogFile(folder.Write(name, text), "example.com", remoteDir),
                      LogRunStatus::Ok);
        }
        EXPECT_EQ(run.Finish(), LogRunStatus::Ok) << run.ErrorText().toStdString();
        firstDate = run.FirstDate();
        counts = run.SummaryCounts();
        QString text = QString::fromUtf8(folder.Read("out.csv"));
        EXPECT_TRUE(text.endsWith("\r\n"));
        text.chop(2);
        return text.split("\r\n");
    }
    QString Output() const { return folder.File("out.csv"); }

    TestFolder folder;
    QStringList logged;
    QString firstDate;
    std::vector<LogRun::SummaryCount> counts;
};

const QString kHeader = "Date,Time,Hit,Size,Referrer,Browser,Visitor's IP Address";

TEST_F(LogRunTest, RowsInLineOrderAcrossFiles) {
    const QStringList lines =
        Run({{"stats.20051101", Hit("/index.html", "512", "01/Nov/2005", "UA, with comma") +
                                    "garbage line\n" + Hit("/about.html", "-")},
             {"stats.20051102", Hit("/Contact.HTML?x=1", "7", "02/Nov/2005")}});
    EXPECT_EQ(lines, QStringList({kHeader,
                                  "01/Nov/2005,10:20:30,http://example.com/index.html,512,-,\"UA, "
                                  "with comma\",192.0.2.1",
                                  "01/Nov/2005,10:20:30,http://example.com/about.html,-,-,UA/1.0,"
                                  "192.0.2.1",
                                  "02/Nov/2005,10:20:30,http://example.com/contact.html,7,-,UA/1.0,"
                                  "192.0.2.1"}));
    EXPECT_EQ(logged, QStringList({"Processing " + folder.File("stats.20051101"),
                                   "Processing " + folder.File("stats.20051102")}));
    EXPECT_EQ(firstDate, "01/Nov/2005");
}

TEST_F(LogRunTest, SummaryTypesCountHitsAndBytes) {
    const QStringList lines =
        Run({{"stats.20051101", Hit("/a.gif", "100") + Hit("/b.GIF", "150") + Hit("/a.css", "-") +
                                    Hit("/c.gif", "50") + Hit("/d.gif", "-") + Hit("/page.html")}},
            "GIF/css/jpg");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].section(',', 2, 2), "http://example.com/page.html");
    // Hits with a size that is no number are not counted; a type of zero bytes has no row.
    EXPECT_EQ(lines[2], "01/Nov/2005,00:00:00,*.gif (3 hits),300, , ,");
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[0].type, "gif");
    EXPECT_EQ(counts[0].hits, 3);
    EXPECT_EQ(counts[0].bytes, 300);
    EXPECT_EQ(counts[1].hits, 0);
    EXPECT_EQ(counts[2].hits, 0);
}

TEST_F(LogRunTest, NoSummaryRowForZeroBytes) {
    const QStringList lines = Run(
        {{"stats.20051101", Hit("/a.gif", "-") + Hit("/b.gif", "0") + Hit("/c.gif", "-")}}, "gif");
    EXPECT_EQ(lines, QStringList({kHeader}));
    ASSERT_EQ(counts.size(), 1u);
    EXPECT_EQ(counts[0].hits, 1);
    EXPECT_EQ(counts[0].bytes, 0);
}

TEST_F(LogRunTest, FiltersExcludeRowsAndCounts) {
    const QStringList lines = Run({{"stats.20051101", Hit("/robots.txt") + Hit("/stats/x.gif") +
                                                          Hit("/keep.html") + Hit("/y.gif")}},
                                  "gif", {"", "robots", "/stats/"});
    ASSERT_EQ(lines.size(), 3);  // an empty filter text holds nothing
    EXPECT_EQ(lines[1].section(',', 2, 2), "http://example.com/keep.html");
    EXPECT_EQ(lines[2], "01/Nov/2005,00:00:00,*.gif (1 hits),100, , ,");
}

TEST_F(LogRunTest, SslDirectoryMakesHttpsUrls) {
    const QStringList lines =
        Run({{"stats.20051101", Hit("/secure/page.html") + Hit("www.example.com/w.html")}}, "", {},
            "logs/SSL");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].section(',', 2, 2), "https://example.com/secure/page.html");
    EXPECT_EQ(lines[2].section(',', 2, 2), "https://example.com/w.html");
}

TEST_F(LogRunTest, FirstDateFromFirstStampEvenOfASkippedHit) {
    const QByteArray timeout =
        "192.0.2.9 - - [31/Oct/2005:23:59:59 +0000] \"-\" 408 0 \"-\" \"-\"\n";
    const QStringList lines =
        Run({{"stats.20051101", "no stamp here\n" + timeout + Hit("/a.gif", "10")}}, "gif");
    EXPECT_EQ(firstDate, "31/Oct/2005");
    EXPECT_EQ(lines.last(), "31/Oct/2005,00:00:00,*.gif (1 hits),10, , ,");
    Run({{"stats.20051101", "nothing\n"}});
    EXPECT_EQ(firstDate, "?");
}

TEST_F(LogRunTest, FormulaFieldsAreText) {
    const QStringList lines = Run({{"stats.20051101", Hit("/=x.html", "-", "01/Nov/2005",
                                                          "=cmd|' /C calc'!A0", "@evil", "+1")}});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1],
              "01/Nov/2005,10:20:30,http://example.com/=x.html,-,\"'+1\",\"'=cmd|' /C "
              "calc'!A0\",\"'@evil\"");
}

TEST_F(LogRunTest, LongLinesAndLastLineWithoutEnd) {
    const QByteArray longBrowser(2 * 1024 * 1024, 'b');
    const QByteArray tooLong(kMaxLogLineBytes + 10, 'z');
    QByteArray last = Hit("/last.html");
    last.chop(1);
    const QStringList lines =
        Run({{"stats.20051101", Hit("/long.html", "1", "01/Nov/2005", longBrowser) + tooLong +
                                    Hit("/x.html") + "\r\n" + Hit("/after.html") + last}});
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1].section(',', 5, 5).size(), longBrowser.size());
    EXPECT_EQ(lines[2].section(',', 2, 2), "http://example.com/after.html");  // x.html went with
    EXPECT_EQ(lines[3].section(',', 2, 2), "http://example.com/last.html");   // the long line
}

TEST_F(LogRunTest, KeepAliveAndCancel) {
    QByteArray log;
    for (int i = 0; i < 100; ++i) {
        log += Hit("/p" + QByteArray::number(i) + ".html");
    }
    const QString path = folder.Write("stats.20051101", log);
    folder.Write("out.csv", "older");
    int calls = 0;
    LogRun run("", {});
    run.keepAliveLines = 10;
    run.onKeepAlive = [&calls] { return ++calls < 3; };
    ASSERT_EQ(run.Begin(Output()), LogRunStatus::Ok);
    EXPECT_EQ(run.ProcessCurrentLogFile(path, "example.com", "logs"), LogRunStatus::Cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(run.LinesRead(), 30);
    EXPECT_EQ(run.Finish(), LogRunStatus::Cancelled);
    EXPECT_EQ(folder.Read("out.csv"), "older");  // the older file stands
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files).size(), 2);
}

TEST_F(LogRunTest, UnreadableLogIsReportedAndPassedOver) {
    LogRun run("", {});
    ASSERT_EQ(run.Begin(Output()), LogRunStatus::Ok);
    const QString missing = folder.File("stats.20051130");
    EXPECT_EQ(run.ProcessCurrentLogFile(missing, "example.com", "logs"), LogRunStatus::InputError);
    EXPECT_TRUE(run.ErrorText().contains(missing));
    EXPECT_EQ(run.ProcessCurrentLogFile(folder.Write("stats.20051101", Hit("/a.html")),
                                        "example.com", "logs"),
              LogRunStatus::Ok);
    EXPECT_EQ(run.Finish(), LogRunStatus::Ok);
    EXPECT_EQ(run.RowsWritten(), 1);
}

TEST_F(LogRunTest, OutputThatCannotBeCreated) {
    // Tests may run as root, so the folder is made impossible rather than read-only.
    const QString notAFolder = folder.Write("plain-file", "x");
    for (const QString& path : {notAFolder + "/out.csv", folder.File("missing/out.csv")}) {
        LogRun run("", {});
        EXPECT_EQ(run.Begin(path), LogRunStatus::OutputError);
        EXPECT_TRUE(run.ErrorText().contains(path)) << run.ErrorText().toStdString();
        EXPECT_EQ(run.ProcessCurrentLogFile(folder.Write("stats.20051101", Hit("/a.html")),
                                            "example.com", "logs"),
                  LogRunStatus::OutputError);
        EXPECT_EQ(run.Finish(), LogRunStatus::OutputError);
        EXPECT_TRUE(run.ErrorText().contains(path));
        EXPECT_FALSE(QFile::exists(path));
    }
}

TEST_F(LogRunTest, OutputFolderGoneBeforeTheEnd) {
    const QString month = folder.File("200511");
    ASSERT_TRUE(QDir().mkpath(month));
    const QString output = month + "/stats200511.csv";
    LogRun run("", {});
    ASSERT_EQ(run.Begin(output), LogRunStatus::Ok);
    ASSERT_EQ(run.ProcessCurrentLogFile(folder.Write("stats.20051101", Hit("/a.html")),
                                        "example.com", "logs"),
              LogRunStatus::Ok);
    ASSERT_TRUE(QDir(month).removeRecursively());
    EXPECT_EQ(run.Finish(), LogRunStatus::OutputError);
    EXPECT_TRUE(run.ErrorText().contains(output));
    EXPECT_FALSE(QFile::exists(output));
}

// Python's csv module reads every field back as it was in the log (the guarded ones with their
// apostrophe).
TEST_F(LogRunTest, PythonCsvReadsRowsBack) {
    const QString python = "/usr/bin/python3";
    if (!QFile::exists(python)) {
        GTEST_SKIP() << "no " << python.toStdString();
    }
    Run({{"stats.20051101",
          Hit("/a.html?q=1", "12", "01/Nov/2005", "Tool \"X\", 2\rnext", "2001:db8::1",
              "http://Ref.example/a,b") +
              Hit("/caf\xe9.html", "-", "01/Nov/2005", "=1+2", "198.51.100.7", "-x") +
              Hit("/b.gif", "5")}},
        "gif");
    QProcess process;
    process.start(python, {"-c",
                           "import csv, json, sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                           "    print(json.dumps(list(csv.reader(f))))\n",
                           Output()});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    const std::vector<QStringList> expected = {
        {"Date", "Time", "Hit", "Size", "Referrer", "Browser", "Visitor's IP Address"},
        {"01/Nov/2005", "10:20:30", "http://example.com/a.html", "12", "http://ref.example/a,b",
         "Tool \"X\", 2\rnext", "2001:db8::1"},
        {"01/Nov/2005", "10:20:30", "http://example.com/caf\xc3\xa9.html", "-", "'-x", "'=1+2",
         "198.51.100.7"},
        {"01/Nov/2005", "00:00:00", "*.gif (1 hits)", "5", " ", " ", ""},
    };
    ASSERT_EQ(rows.size(), qsizetype(expected.size()));
    for (size_t r = 0; r < expected.size(); ++r) {
        QStringList fields;
        for (const QJsonValue& field : rows[qsizetype(r)].toArray()) {
            fields.append(field.toString());
        }
        EXPECT_EQ(fields, expected[r]) << "row " << r;
    }
}

}  // namespace
