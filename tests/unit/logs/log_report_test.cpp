// The month's picture read back from the log CSV: fields, summary rows, days, top pages, types.
#include <gtest/gtest.h>

#include <QBuffer>
#include <algorithm>

#include "logs/log_report.h"
#include "logs/log_run.h"
#include "support/test_support.h"

namespace {

const QByteArray kHeader = QByteArray(kLogCsvHeader) + "\r\n";

QByteArray Row(const QByteArray& date, const QByteArray& url, const QByteArray& size = "100",
               const QByteArray& browser = "UA/1.0") {
    return date + ",13:55:36," + url + "," + size + ",-," + browser + ",192.0.2.1\r\n";
}

LogReport Read(const QByteArray& text, QString* error = nullptr) {
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    EXPECT_TRUE(buffer.open(QIODevice::ReadOnly));
    return ReadLogReport(buffer, error);
}

QStringList DayLabels(const LogReport& report) {
    QStringList labels;
    for (const LogReportDay& day : report.days) {
        labels.append(day.label);
    }
    return labels;
}

struct FieldRow {
    const char* line;
    const char* url;  // the page the row counts for
    qint64 bytes;
};

TEST(LogReport, QuotedFieldsAreUnquoted) {
    const FieldRow rows[] = {
        {"10/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
         "http://example.com/a.html", 5},
        {"10/Oct/2026,13:55:36,http://example.com/a.html,5,-,\"Mozilla/5.0 (X11, Linux)\","
         "192.0.2.1",
         "http://example.com/a.html", 5},
        {"10/Oct/2026,13:55:36,\"http://example.com/a,b.html\",5,-,UA,192.0.2.1",
         "http://example.com/a,b.html", 5},
        {"10/Oct/2026,13:55:36,\"http://example.com/say\"\"hi\"\".html\",5,-,UA,192.0.2.1",
         "http://example.com/say\"hi\".html", 5},
        {"10/Oct/2026,13:55:36,\"http://example.com/\"\",\"\".html\",5,-,\"a \"\"b\"\", c\",x",
         "http://example.com/\",\".html", 5},
        {"\"10/Oct/2026\",\"13:55:36\",\"http://example.com/q.html\",\"7\",\"\",\"\",\"\"",
         "http://example.com/q.html", 7},
        {"10/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA,", "http://example.com/a.html",
         5},  // empty last field
    };
    for (const FieldRow& row : rows) {
        SCOPED_TRACE(row.line);
        const LogReport report = Read(kHeader + row.line + "\r\n");
        EXPECT_EQ(report.badLines, 0);
        ASSERT_EQ(report.topPages.size(), 1u);
        EXPECT_EQ(report.topPages[0].url, QString::fromUtf8(row.url));
        EXPECT_EQ(report.rowBytes, row.bytes);
    }
}

TEST(LogReport, MalformedLinesAreCountedAndSkipped) {
    const char* lines[] = {
        "10/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA",              // six fields
        "10/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1,x",  // eight
        "10/Oct/2026,13:55:36,\"http://example.com/a.html,5,-,UA,192.0.2.1",  // quote not closed
        "10/Oct/2026,13:55:36,\"http://example.com/a.html\"x,5,-,UA,192.0.2.1",
        "32/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
        "29/Feb/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
        "10/Okt/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
        "1/Oct/2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
        "10-Oct-2026,13:55:36,http://example.com/a.html,5,-,UA,192.0.2.1",
        "10/Oct/2026,13:55:36,,5,-,UA,192.0.2.1",  // no URL
        "10/Oct/2026,13:55:36,http://example.com/a.html,12a,-,UA,192.0.2.1",
        "10/Oct/2026,13:55:36,http://example.com/a.html,\"'-5\",-,UA,192.0.2.1",
        "10/Oct/2026,13:55:36,http://example.com/a.html,,-,UA,192.0.2.1",
        "10/Oct/2026,13:55:36,http://example.com/a.html,99999999999999999999,-,UA,192.0.2.1",
        "10/Oct/2026,00:00:00,*.gif (x hits),300, , ,",
        "10/Oct/2026,00:00:00,*.gif (3 hits),lots, , ,",
        "10/Oct/2026,00:00:00,*.gif 3 hits,300, , ,",
        "10/Oct/2026,00:00:00,*. (3 hits),300, , ,",
        ",,,,,,",
        "   ",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const LogReport report =
            Read(kHeader + line + "\r\n" + Row("11/Oct/2026", "http://example.com/b.html"));
        EXPECT_EQ(report.badLines, 1);
        EXPECT_EQ(report.rows, 1);  // the good row after it still counts
        EXPECT_EQ(report.summaryHits, 0);
        EXPECT_EQ(DayLabels(report), QStringList{"11/Oct/2026"});
    }
}

TEST(LogReport, EmptyFileHeaderOnlyAndBlankLines) {
    const std::pair<QByteArray, bool> rows[] = {
        {"", false},
        {kHeader, true},
        {QByteArray(kLogCsvHeader), true},  // no line end
        {"\xEF\xBB\xBF" + kHeader, true},   // as a spreadsheet saves it
        {kHeader + "\r\n\n\r\n", true},     // blank lines are no fault
    };
    for (const auto& [text, header] : rows) {
        SCOPED_TRACE(text.toStdString());
        const LogReport report = Read(text);
        EXPECT_EQ(report.hasHeader, header);
        EXPECT_EQ(report.TotalRequests(), 0);
        EXPECT_EQ(report.TotalBytes(), 0);
        EXPECT_EQ(report.badLines, 0);
        EXPECT_TRUE(report.days.empty());
        EXPECT_TRUE(report.topPages.empty());
        EXPECT_TRUE(report.types.empty());
    }
    // Rows without a header are still read; a second header (two files put together) is skipped.
    const LogReport joined = Read(Row("01/Oct/2026", "http://example.com/a.html") + kHeader +
                                  Row("02/Oct/2026", "http://example.com/a.html"));
    EXPECT_FALSE(joined.hasHeader);
    EXPECT_EQ(joined.rows, 2);
    EXPECT_EQ(joined.badLines, 0);
}

TEST(LogReport, LineEndsDoNotChangeTheResult) {
    const QByteArray crlf = kHeader + Row("01/Oct/2026", "http://example.com/a.html", "10") +
                            Row("01/Oct/2026", "http://example.com/b.gif", "-") +
                            "01/Oct/2026,00:00:00,*.jpg (4 hits),400, , ,\r\n";
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray unended = crlf;
    unended.chop(2);
    for (const QByteArray& text : {crlf, lf, unended}) {
        const LogReport report = Read(text);
        EXPECT_TRUE(report.hasHeader);
        EXPECT_EQ(report.rows, 2);
        EXPECT_EQ(report.rowBytes, 10);
        EXPECT_EQ(report.summaryHits, 4);
        EXPECT_EQ(report.TotalBytes(), 410);
        EXPECT_EQ(report.badLines, 0);
    }
}

TEST(LogReport, SummaryRowsCountForTypesAndTotalsOnly) {
    const LogReport report =
        Read(kHeader + Row("01/Oct/2026", "http://example.com/a.gif", "50") +
             Row("02/Oct/2026", "http://example.com/index.html", "200") +
             "01/Oct/2026,00:00:00,*.gif (3 hits),300, , ,\r\n" +
             "01/Oct/2026,00:00:00,*.jpg (2 hits),1000, , ,\r\n" +
             "01/Oct/2026,00:00:00,\"*.we,ird (1 hits)\",7, , ,\r\n");  // a type with a comma
    EXPECT_EQ(report.badLines, 0);
    EXPECT_EQ(report.rows, 2);
    EXPECT_EQ(report.summaryHits, 6);
    EXPECT_EQ(report.summaryBytes, 1307);
    EXPECT_EQ(report.TotalRequests(), 8);
    EXPECT_EQ(report.TotalBytes(), 1557);
    // The days and pages hold the rows alone.
    ASSERT_EQ(report.days.size(), 2u);
    EXPECT_EQ(report.days[0].requests, 1);
    EXPECT_EQ(report.days[0].bytes, 50);
    EXPECT_EQ(report.distinctPages, 2);
    ASSERT_EQ(report.types.size(), 4u);
    EXPECT_EQ(report.types[0].type, "gif");  // most hits first
    EXPECT_EQ(report.types[0].hits, 4);
    EXPECT_EQ(report.types[0].bytes, 350);
    EXPECT_EQ(report.types[1].type, "jpg");
    EXPECT_EQ(report.types[1].bytes, 1000);
    // Ties by name.
    EXPECT_EQ(report.types[2].type, "html");
    EXPECT_EQ(report.types[3].type, "we,ird");
}

TEST(LogReport, DaysInCalendarOrderAcrossMonthAndYear) {
    const LogReport report =
        Read(kHeader + Row("01/Nov/2026", "http://example.com/a.html", "1") +
             Row("31/Oct/2026", "http://example.com/a.html", "2") +
             Row("01/nov/2026", "http://example.com/a.html", "4") +  // the same day, other case
             Row("30/Oct/2026", "http://example.com/a.html", "-") +
             Row("01/Jan/2027", "http://example.com/a.html", "8") +
             Row("31/Dec/2026", "http://example.com/a.html", "16"));
    EXPECT_EQ(DayLabels(report), QStringList({"30/Oct/2026", "31/Oct/2026", "01/Nov/2026",
                                              "31/Dec/2026", "01/Jan/2027"}));
    ASSERT_EQ(report.days.size(), 5u);
    EXPECT_EQ(report.days[2].date, QDate(2026, 11, 1));
    EXPECT_EQ(report.days[2].requests, 2);
    EXPECT_EQ(report.days[2].bytes, 5);
    EXPECT_EQ(report.days[0].requests, 1);  // a "-" size is a request of no bytes
    EXPECT_EQ(report.days[0].bytes, 0);
    EXPECT_EQ(report.days[4].bytes, 8);
    EXPECT_EQ(DayAxisLabels(report.days), QStringList({"30 Oct 2026", "31 Oct 2026", "1 Nov 2026",
                                                       "31 Dec 2026", "1 Jan 2027"}));

    // A quiet day inside the month is shown with no requests.
    const LogReport gap = Read(kHeader + Row("01/Oct/2026", "http://example.com/a.html", "1") +
                               Row("04/Oct/2026", "http://example.com/a.html", "2"));
    EXPECT_EQ(DayLabels(gap),
              QStringList({"01/Oct/2026", "02/Oct/2026", "03/Oct/2026", "04/Oct/2026"}));
    EXPECT_EQ(gap.days[2].requests, 0);
}

TEST(LogReport, TopTwentyPagesWithTiesByUrl) {
    // Page p01 has 30 hits, p02 29 ... p25 6, and five more with the 11 hits of p20, so the
    // cut at twenty falls inside a tie.
    QByteArray text = kHeader;
    auto add = [&text](const QByteArray& name, int hits) {
        for (int i = 0; i < hits; ++i) {
            text += Row("01/Oct/2026", "http://example.com/" + name + ".html");
        }
    };
    for (int p = 25; p >= 1; --p) {
        add(QByteArray("p") + (p < 10 ? "0" : "") + QByteArray::number(p), 31 - p);
    }
    for (const char* tie : {"t5", "t1", "t4", "t3", "t2"}) {
        add(tie, 11);
    }
    const LogReport report = Read(text);
    EXPECT_EQ(report.distinctPages, 30);
    ASSERT_EQ(report.topPages.size(), size_t(kLogReportTopPages));
    for (int i = 0; i < 19; ++i) {
        EXPECT_EQ(report.topPages[size_t(i)].url,
                  QString("http://example.com/p%1.html").arg(i + 1, 2, 10, QChar('0')));
        EXPECT_EQ(report.topPages[size_t(i)].hits, 30 - i);
    }
    // p20 and t1..t5 all have 11: the first by URL is p20.
    EXPECT_EQ(report.topPages[19].url, "http://example.com/p20.html");
    EXPECT_EQ(report.topPages[19].hits, 11);

    const LogReport few = Read(kHeader + Row("01/Oct/2026", "http://example.com/b.html") +
                               Row("01/Oct/2026", "http://example.com/a.html"));
    ASSERT_EQ(few.topPages.size(), 2u);
    EXPECT_EQ(few.topPages[0].url, "http://example.com/a.html");
}

TEST(LogReport, FileTypeIsTheExtensionOfThePathsLastSegment) {
    const std::pair<const char*, const char*> rows[] = {
        {"http://example.com/index.HTML", "html"},
        {"http://example.com/", "(none)"},
        {"http://example.com", "(none)"},  // the host's dots are no extension
        {"http://example.com/about", "(none)"},
        {"http://example.com/dir.v2/file", "(none)"},
        {"http://example.com/file.", "(none)"},
        {"http://example.com/a.tar.gz", "gz"},
        {"http://example.com/search?q=x.gif", "(none)"},
        {"http://example.com/page.php?img=x.gif", "php"},
        {"http://example.com/page.php#top.x", "php"},
        {"https://example.com/.htaccess", "htaccess"},
    };
    for (const auto& [url, type] : rows) {
        SCOPED_TRACE(url);
        const LogReport report = Read(kHeader + Row("01/Oct/2026", url));
        ASSERT_EQ(report.types.size(), 1u);
        EXPECT_EQ(report.types[0].type, QString(type));
    }
}

TEST(LogReport, LinesAcrossReadChunksAndOverlongLines) {
    // More than one read buffer of rows: none may be lost or cut at a buffer's edge.
    QByteArray text = kHeader;
    const int count = 40000;
    for (int i = 0; i < count; ++i) {
        text += Row(i % 2 ? "02/Oct/2026" : "01/Oct/2026",
                    "http://example.com/page" + QByteArray::number(i % 7) + ".html", "3");
    }
    ASSERT_GT(text.size(), 2 * 1024 * 1024);
    LogReport report = Read(text);
    EXPECT_EQ(report.rows, count);
    EXPECT_EQ(report.rowBytes, 3 * count);
    EXPECT_EQ(report.distinctPages, 7);
    EXPECT_EQ(report.badLines, 0);

    // A line longer than any row can be is one bad line; the rows around it stay.
    const QByteArray huge(kMaxLogReportLineBytes + 1, 'x');
    report = Read(kHeader + Row("01/Oct/2026", "http://example.com/a.html") + huge + "\r\n" +
                  Row("02/Oct/2026", "http://example.com/b.html") + huge);
    EXPECT_EQ(report.rows, 2);
    EXPECT_EQ(report.badLines, 2);
}

TEST(LogReport, UnreadableFileSaysWhy) {
    TestFolder folder;
    for (const QString& path : {folder.File("missing.csv"), folder.Path()}) {
        QString error;
        const LogReport report = ReadLogReport(path, &error);
        EXPECT_TRUE(error.startsWith("Cannot read " + path + " (")) << error.toStdString();
        EXPECT_EQ(report.TotalRequests(), 0);
    }
    QString error;
    const LogReport report = ReadLogReport(
        folder.Write("ok.csv", kHeader + Row("01/Oct/2026", "http://e.com/")), &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(report.rows, 1);
}

TEST(LogReportShapes, TypeSharesKeepTheLargestAndSumTheRest) {
    const std::vector<LogReportType> types = {{"html", 50, 5}, {"gif", 30, 3}, {"css", 10, 1},
                                              {"js", 6, 1},    {"ico", 4, 1},  {"none", 0, 9}};
    auto names = [](const std::vector<LogReportType>& shares) {
        QStringList list;
        for (const LogReportType& t : shares) {
            list.append(QString("%1=%2").arg(t.type).arg(t.hits));
        }
        return list;
    };
    EXPECT_EQ(names(TypeShares(types, 2)), QStringList({"html=50", "gif=30", "other=20"}));
    EXPECT_EQ(TypeShares(types, 2).back().bytes, 3);
    // A single remaining type keeps its name; types without hits never show.
    EXPECT_EQ(names(TypeShares(types, 4)),
              QStringList({"html=50", "gif=30", "css=10", "js=6", "ico=4"}));
    EXPECT_EQ(names(TypeShares(types, 10)).size(), 5);
    EXPECT_EQ(names(TypeShares({}, 3)), QStringList());
}

TEST(LogReportShapes, DayLabelsUnitsAndPaths) {
    const std::vector<LogReportDay> october = {{QDate(2026, 10, 1), "01/Oct/2026", 1, 1},
                                               {QDate(2026, 10, 15), "15/Oct/2026", 1, 1}};
    EXPECT_EQ(DayAxisLabels(october), QStringList({"1", "15"}));
    const std::vector<LogReportDay> turn = {{QDate(2026, 10, 31), "31/Oct/2026", 1, 1},
                                            {QDate(2026, 11, 1), "01/Nov/2026", 1, 1}};
    EXPECT_EQ(DayAxisLabels(turn), QStringList({"31 Oct", "1 Nov"}));
    EXPECT_EQ(DayAxisLabels({}), QStringList());

    const std::pair<qint64, const char*> units[] = {
        {0, "bytes"},      {1023, "bytes"},         {1024, "KB"},
        {5 << 20, "MB"},   {(1LL << 30) - 1, "MB"}, {3LL << 30, "GB"},
        {1LL << 50, "TB"},
    };
    for (const auto& [bytes, name] : units) {
        SCOPED_TRACE(bytes);
        const ByteUnit unit = ChooseByteUnit(bytes);
        EXPECT_EQ(unit.name, QString(name));
        EXPECT_LE(unit.divisor, std::max<qint64>(bytes, 1));
    }

    const std::pair<const char*, const char*> paths[] = {
        {"/logs/stats202610.csv", "/logs/stats202610.png"},
        {"/logs/stats202610.CSV", "/logs/stats202610.png"},
        {"/logs/stats.202610", "/logs/stats.202610.png"},
    };
    for (const auto& [csv, png] : paths) {
        EXPECT_EQ(LogReportPngPath(csv), QString(png));
    }
}

}  // namespace
