#pragma once

#include <QDateTime>
#include <QString>

// Text rules of the script language that need no session: symbol replacement and the time
// symbols a run fixes at its start.

// Every occurrence of Symbol in Text (found without regard to case) replaced by Value. The
// search goes on after each inserted value, so a value that contains the symbol is not
// replaced again (and cannot loop).
QString ReplaceInRec(const QString& text, const QString& value, const QString& symbol);

// The time symbols of a run, fixed at Start: "?YYYY", "?MM", "?DD", "?HH", "?MI", "?SS",
// "?TTT" and "?DAY-OF-WEEK" (the English day name), replaced in that order in Line.
QString ApplyTimeSymbols(const QString& line, const QDateTime& start);

#include <QList>
#include <QStringList>

// The script's wildcard test: "*" stands for any run of characters (also none), everything else
// for itself, case-sensitively, and the whole name must match. "*.log" matches "a.log" but not
// "a.log.gz", so GRAB, EVICT and the deletions never take more than the pattern says.
bool MatchStarPattern(const QString& name, const QString& pattern);

// TIME-BETWEEN-RUNS: minutes from "HH:MM", "MM", "HH:" or ":MM" (non-digits ignored); 1440 when
// the result is 0 or the text is empty.
int IntervalFromText(const QString& text);
// TIME-OF-RUN: hour and minute from "HH:MM" read digit by digit; an hour above 23 becomes 0 and a
// minute above 59 becomes 59.
struct DailyTime {
    int hour = 0;
    int minute = 0;
};
DailyTime DailyTimeFromText(const QString& text);

struct ScriptSchedule {
    bool daily = false;
    int intervalMinutes = 1440;
    DailyTime time;
};

// What the validation pass found: the schedule (the last TIME- line wins), whether a login is
// needed, and the dialogs and log lines it produced, in order.
struct ScriptCheck {
    struct Notice {
        bool dialog = false;  // an error dialog, else a log line
        QString text;
    };
    ScriptSchedule schedule;
    bool needsLogin = false;
    bool error = false;
    QList<Notice> notices;
};
ScriptCheck ValidateScript(const QStringList& lines);

// A parsed IF line.
struct IfStatement {
    enum class Kind { Invalid, DayOfWeek, LocalFileExists, RemoteFileExists };
    Kind kind = Kind::Invalid;
    bool negate = false;
    QString argument;  // between "<" and ">", as written
    bool hasSection = false;
    QString endMarker;  // "END-" + the section name, upper-cased
};
IfStatement ParseIf(const QString& line);

// Program and parameters of a RUN- line: the first word, or up to the closing double quote when
// it starts with one (the quotes removed); the parameters trimmed.
struct ProgramLine {
    QString program;
    QString parameters;
};
ProgramLine SplitProgramLine(const QString& rest);
// The parameters as arguments: split at blanks, double quotes keeping blanks together.
QStringList ProgramArguments(const QString& parameters);

// The rest of a line after its first word, trimmed (REM-CD, LOC-CD, RUN-...).
QString RestOfLine(const QString& line);

// A local file parameter split into its directory (with a trailing separator; relative ones
// taken in CurrentDir) and its name part.
struct LocalPattern {
    QString dir;
    QString name;
    bool ownDir = false;  // the parameter named a directory
};
LocalPattern SplitLocalPattern(const QString& parameter, const QString& currentDir);

// The arguments that make a known editor (by its program's base name) wait until the file is
// closed, followed by the file.
QStringList EditorArguments(const QString& editorProgram, const QString& file);
