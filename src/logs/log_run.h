#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QSaveFile;

// Turning a month of access logs into one CSV file a spreadsheet can open: one row per page hit,
// hits on chosen file types counted per type into summary rows instead.
//
// Log lines are in the combined layout: address, identity, user, [date:time zone], "request",
// status, size, "referrer", "browser". A line that is well-formed UTF-8 is read as UTF-8; any
// other line is read as Latin-1, so no byte is dropped and no line is lost for one stray byte.
// NUL bytes are dropped (a log cut short by a crash is padded with them). Positions and lengths
// count characters (code points).

// One page hit read from a log line.
struct LogHit {
    QString date;      // the first 11 characters of the bracketed time stamp: "10/Oct/2000"
    QString time;      // its characters 13 to 20: "13:55:36"
    QString url;       // the request's second word, lower-cased, not completed
    QString size;      // as written, "-" included
    QString referrer;  // the first word of the referrer, lower-cased
    QString browser;   // the whole quoted text after the referrer
    QString address;   // the first word of the line
};

// The hit of one line (a trailing LF or CR LF is ignored), or nothing when the line does not
// fit the layout.
std::optional<LogHit> ParseLogLine(QByteArrayView line);

// The value of a text of digits only; false for any other text and for one too large.
bool ParseDigits(std::string_view text, qint64& value);
// A + B, held at the largest value instead of overflowing (a month of bytes in counters).
qint64 SaturatingAdd(qint64 a, qint64 b);

// "https://" when the remote log directory's name holds "ssl" (any case), else "http://".
QString ProtocolPrefix(const QString& remoteLogDir);
// The full URL of a request's URL: relative ones are put on the domain, "www." is dropped, the
// protocol prefix is added when missing and a query after a name with a "." is cut. Nothing
// for a URL that is too short to mean a page (fewer than 2 characters).
std::optional<QString> CompleteUrl(const QString& url, const QString& protocol,
                                   const QString& domain);
// The text after the URL's last ".", empty when there is none before its last character.
QString LogFileType(const QString& url);

// Text as a field of the log CSV: CSVmod's quoting, and a field from a log that a spreadsheet
// would take for a formula (beginning with "=", "+", "-", "@", TAB or CR; a lone "-" is a
// plain value) is quoted with a leading apostrophe, so it shows as text and is never evaluated.
// Fields holding a line break are quoted too, so the row stays one record.
QString SafeCsvField(const QString& text);

// The summary types of a "/"-separated text: lower-cased, blanks trimmed, empty ones left out,
// at most kMaxSummaryTypes.
inline constexpr int kMaxSummaryTypes = 1000;
QStringList SummaryTypeList(const QString& summaryText);

inline constexpr char kLogCsvHeader[] = "Date,Time,Hit,Size,Referrer,Browser,Visitor's IP Address";
// CR LF on every platform, as CSV readers expect; the file is UTF-8 without a byte-order mark.
inline constexpr char kLogCsvLineEnd[] = "\r\n";
// A longer line is skipped without being held in memory.
inline constexpr qsizetype kMaxLogLineBytes = 4 * 1024 * 1024;

enum class LogRunStatus {
    Ok,
    Cancelled,    // onKeepAlive said stop; the output was discarded
    InputError,   // a log file could not be read; the run goes on with the next file
    OutputError,  // the output could not be created or written; the run is over, no file left
};

// One run over the log files of a month. Begin opens the output, ProcessCurrentLogFile reads one
// file line by line and streams its rows out, Finish adds the summary rows and puts the file in
// place; one object makes one run. The output is written to a temporary file beside it and replaces
// the target only when Finish succeeds: a failed or cancelled run leaves no partial CSV (and an
// older file intact).
class LogRun {
public:
    struct SummaryCount {
        QString type;
        qint64 hits = 0;
        qint64 bytes = 0;
    };

    LogRun(const QString& summaryText, const QStringList& urlFilters);
    ~LogRun();
    LogRun(const LogRun&) = delete;
    LogRun& operator=(const LogRun&) = delete;

    // Receives "Processing " + path for each file read.
    std::function<void(const QString& text)> onLogText;
    // Called every keepAliveLines lines, for the caller to let pending events run; returning
    // false cancels the run.
    std::function<bool()> onKeepAlive;
    int keepAliveLines = 4096;

    LogRunStatus Begin(const QString& outputPath);
    LogRunStatus ProcessCurrentLogFile(const QString& path, const QString& domain,
                                       const QString& remoteLogDir);
    LogRunStatus Finish();

    // Why the last call did not return Ok.
    QString ErrorText() const { return m_errorText; }
    // The date of the first line of the run that had one, "?" before.
    QString FirstDate() const { return QString::fromStdString(m_firstDate); }
    std::vector<SummaryCount> SummaryCounts() const;
    qint64 LinesRead() const { return m_linesRead; }
    qint64 RowsWritten() const { return m_rowsWritten; }

private:
    struct Summary {
        std::string type;
        qint64 hits = 0;
        qint64 bytes = 0;
    };
    enum class State { Idle, Open, Done };

    void ProcessLine(std::string_view line);
    bool KeepAlive();
    bool Flush();
    LogRunStatus Fail(LogRunStatus status, const QString& text);
    LogRunStatus NotOpen();

    std::vector<Summary> m_summaries;
    std::unordered_map<std::string_view, size_t> m_summaryIndex;  // keys point into m_summaries
    std::vector<std::string> m_filters;
    std::string m_firstDate = "?";
    bool m_haveFirstDate = false;

    std::string m_protocol;
    std::string m_protocolWww;
    std::string m_domain;

    std::unique_ptr<QSaveFile> m_output;
    QString m_outputPath;
    State m_state = State::Idle;
    QString m_errorText;
    std::string m_pending;  // rows not yet handed to the file
    int m_sinceKeepAlive = 0;
    LogRunStatus m_endStatus = LogRunStatus::OutputError;
    qint64 m_linesRead = 0;
    qint64 m_rowsWritten = 0;

    // Scratch space kept between lines, so the hot path allocates nothing.
    std::string m_input;
    std::string m_clean;
    std::string m_url;
    std::string m_referrer;
    std::string m_scratch;
};
