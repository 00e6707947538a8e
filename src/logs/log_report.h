#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

#include "logs/log_run.h"

class QIODevice;

// A picture of one month of the log CSV that LogRun writes: requests and bytes per day, the most
// requested pages and each file type's share. The file is read once, line by line; memory grows
// with the number of days, pages and types, never with the number of lines.
//
// A row is Date,Time,Hit,Size,Referrer,Browser,Address: the date "10/Oct/2026", the full URL,
// the size in digits or "-". After the rows come the summary rows, one per summarised file type
// ("*.gif (3 hits)" in the third field, the bytes in the fourth): hits of the whole month that
// have no row of their own, so they count for their type and the totals but for no day or page.
// Fields are quoted when they hold a comma, a quote or a CR, with quotes doubled; a row ends at
// its LF (LogRun cuts log lines there, so no field holds one), with or without a CR before it.

inline constexpr int kLogReportTopPages = 20;
// A row holds one log line, quoted: up to kMaxLogLineBytes, more with its quotes doubled. A
// longer line is a bad line, skipped without being held.
inline constexpr qsizetype kMaxLogReportLineBytes = 4 * kMaxLogLineBytes;
// The type of a URL whose last path segment has no extension.
inline constexpr char kLogReportNoType[] = "(none)";

struct LogReportDay {
    QDate date;
    QString label;  // the date as the CSV wrote it (the first spelling met)
    qint64 requests = 0;
    qint64 bytes = 0;
};

struct LogReportPage {
    QString url;
    qint64 hits = 0;
};

struct LogReportType {
    QString type;  // lower case, without the dot
    qint64 hits = 0;
    qint64 bytes = 0;
};

struct LogReport {
    bool hasHeader = false;               // the first line was the CSV's header
    std::vector<LogReportDay> days;       // calendar order; rows only
    std::vector<LogReportPage> topPages;  // most hits first, ties by URL; kLogReportTopPages
    std::vector<LogReportType> types;     // most hits first, ties by name; summary rows included
    qint64 rows = 0;                      // page rows
    qint64 rowBytes = 0;
    qint64 summaryHits = 0;  // hits the summary rows stand for
    qint64 summaryBytes = 0;
    qint64 distinctPages = 0;
    qint64 badLines = 0;  // lines that fit neither a row nor a summary row; blank ones not counted

    qint64 TotalRequests() const { return rows + summaryHits; }
    qint64 TotalBytes() const { return rowBytes + summaryBytes; }
};

// Reads an open device to its end. On a read error Error (when given) says why and the report
// holds what came before.
LogReport ReadLogReport(QIODevice& device, QString* error = nullptr);
// Reads the CSV file at CsvPath; Error is set (and the report empty) when it cannot be opened.
LogReport ReadLogReport(const QString& csvPath, QString* error = nullptr);

// The types for a pie: the Keep types with most hits, the rest summed as "other" (a single rest
// type keeps its own name). Types without hits are left out.
std::vector<LogReportType> TypeShares(const std::vector<LogReportType>& types, int keep);

// Labels of a day axis, one per day and all different: the day of the month when the days lie
// in one month, else "31 Oct" style.
QStringList DayAxisLabels(const std::vector<LogReportDay>& days);

// A unit for byte amounts up to MaxBytes that keeps the figures short: the divisor and its name.
struct ByteUnit {
    qint64 divisor = 1;
    QString name;
};
ByteUnit ChooseByteUnit(qint64 maxBytes);

// "12,345 requests (3,000 of them summarised), 1.2 MB, 30 days", with the bad lines when any.
QString LogReportSummaryText(const LogReport& report);

// Where the report's picture goes: the CSV's path with ".png" for its ".csv".
QString LogReportPngPath(const QString& csvPath);
