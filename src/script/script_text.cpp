#include "script/script_text.h"

QString ReplaceInRec(const QString& text, const QString& value, const QString& symbol) {
    if (symbol.isEmpty()) {
        return text;
    }
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(symbol, from, Qt::CaseInsensitive);
        if (at < 0) {
            return result;
        }
        result.replace(at, symbol.size(), value);
        from = at + value.size();
    }
}

QString ApplyTimeSymbols(const QString& line, const QDateTime& start) {
    static const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    const QDate date = start.date();
    const QTime time = start.time();
    auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar('0')); };
    const std::pair<const char*, QString> symbols[] = {
        {"?YYYY", QStringLiteral("%1").arg(date.year(), 4, 10, QChar('0'))},
        {"?MM", two(date.month())},
        {"?DD", two(date.day())},
        {"?HH", two(time.hour())},
        {"?MI", two(time.minute())},
        {"?SS", two(time.second())},
        {"?TTT", QStringLiteral("%1").arg(time.msec(), 3, 10, QChar('0'))},
        {"?DAY-OF-WEEK", QString::fromLatin1(kDays[date.dayOfWeek() - 1])},
    };
    QString result = line;
    for (const auto& [symbol, value] : symbols) {
        result = ReplaceInRec(result, value, QString::fromLatin1(symbol));
    }
    return result;
}

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "listing/text_words.h"
#include "platform/platform.h"

bool MatchStarPattern(const QString& name, const QString& pattern) {
    // Iterative glob with one backtrack point: linear in practice, no recursion.
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

namespace {

int DigitsValue(const QString& text) {
    int value = 0;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 128) {
            value = std::min(value * 10 + (c.unicode() - '0'), 1000000);
        }
    }
    return value;
}

// Commands whose lines need a connection.
const QStringList kLoginCommands = {"GET",
                                    "PUT",
                                    "GET-NEW",
                                    "PUT-NEW",
                                    "GRAB",
                                    "EVICT",
                                    "GRAB-NEW",
                                    "EVICT-NEW",
                                    "REM-DEL",
                                    "SITE",
                                    "REM-CD",
                                    "REM-DEL-IF-IN-LOC-DIR",
                                    "LOC-DEL-IF-IN-REM-DIR",
                                    "REM-MKDIR",
                                    "SYNC-UP",
                                    "SYNC-DOWN"};
const QStringList kGenericCommands = {"GET",      "PUT",
                                      "GET-NEW",  "PUT-NEW",
                                      "GRAB",     "EVICT",
                                      "GRAB-NEW", "EVICT-NEW",
                                      "REM-DEL",  "REM-DEL-IF-IN-LOC-DIR",
                                      "LOC-DEL",  "LOC-DEL-IF-IN-REM-DIR"};

QString NamePart(const QString& parameter) {
    const QString p = QDir::fromNativeSeparators(parameter);
    return p.mid(p.lastIndexOf('/') + 1);
}

QString Two(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QChar('0'));
}

}  // namespace

int IntervalFromText(const QString& text) {
    const qsizetype colon = text.indexOf(':');
    QString hours = "0";
    QString minutes = text;
    if (colon > 0 && colon == text.size() - 1) {
        hours = text.left(colon);
        minutes = "0";
    } else if (colon > 0) {
        hours = text.left(colon);
        minutes = text.mid(colon + 1);
    }
    const int total = DigitsValue(hours) * 60 + DigitsValue(minutes);
    return total == 0 ? 1440 : std::min(total, 1000000);
}

DailyTime DailyTimeFromText(const QString& text) {
    DailyTime t;
    bool afterColon = false;
    for (const QChar c : text) {
        if (c == ':') {
            if (afterColon) {
                break;
            }
            afterColon = true;
        } else if (c.isDigit() && c.unicode() < 128) {
            int& part = afterColon ? t.minute : t.hour;
            part = std::min(part * 10 + (c.unicode() - '0'), 1000);
        }
    }
    if (t.hour > 23) {
        t.hour = 0;
    }
    if (t.minute > 59) {
        t.minute = 59;
    }
    return t;
}

ScriptCheck ValidateScript(const QStringList& lines) {
    ScriptCheck check;
    for (int number = 0; number < lines.size(); ++number) {
        const QString& line = lines[number];
        const QString word = TextWord(line, 1);
        if (word.isEmpty() || word.startsWith('#')) {
            continue;
        }
        const QString command = word.toUpper();
        if (kLoginCommands.contains(command) ||
            (command == "IF" && line.contains("REM-FILE-EXISTS<", Qt::CaseInsensitive))) {
            check.needsLogin = true;
        }
        const QString p1 = TextWord(line, 2);
        const QString p2 = TextWord(line, 3);
        if (kGenericCommands.contains(command) && !p2.isEmpty() &&
            (p1.contains('*') || p2.contains('*'))) {
            const QString name1 = NamePart(p1);
            const QString name2 = NamePart(p2);
            const bool transfer = command.contains("PUT") || command.contains("EVICT") ||
                                  command.contains("GET") || command.contains("GRAB");
            if (name1 != name2 && transfer && name2 != "*") {
                check.notices.append(
                    {true, "Error on line " + QString::number(number) + " of script, for " + word +
                               " 2nd generic filename should be \"*\" or same as 1st generic "
                               "filename"});
                check.error = true;
            }
        }
        if ((command == "SYNC-UP" || command == "SYNC-DOWN") &&
            ((!p1.isEmpty() && p1.toUpper() != "-DELETE") || !p2.isEmpty())) {
            check.notices.append({true, "Error on line " + QString::number(number) +
                                            " of script, " + word +
                                            " takes no parameter but -DELETE"});
            check.error = true;
        }
        if (command == "TIME-OF-RUN") {
            check.schedule.daily = true;
            check.schedule.time = DailyTimeFromText(p1);
            if (!check.error) {
                check.notices.append({false, "Timer based actions run at " +
                                                 Two(check.schedule.time.hour) + ":" +
                                                 Two(check.schedule.time.minute)});
                check.notices.append({false, "... waiting"});
            }
        } else if (command == "TIME-BETWEEN-RUNS") {
            check.schedule.daily = false;
            check.schedule.intervalMinutes = IntervalFromText(p1);
        }
    }
    return check;
}

IfStatement ParseIf(const QString& line) {
    IfStatement s;
    s.negate = TextWord(line, 2).toUpper() == "NOT";
    const std::pair<const char*, IfStatement::Kind> keywords[] = {
        {"DAY-OF-WEEK<", IfStatement::Kind::DayOfWeek},
        {"LOC-FILE-EXISTS<", IfStatement::Kind::LocalFileExists},
        {"REM-FILE-EXISTS<", IfStatement::Kind::RemoteFileExists},
    };
    for (const auto& [keyword, kind] : keywords) {
        const qsizetype at = line.indexOf(QLatin1String(keyword), 0, Qt::CaseInsensitive);
        if (at < 0) {
            continue;
        }
        const qsizetype open = at + qsizetype(qstrlen(keyword));
        const qsizetype close = line.indexOf('>', open);
        if (close > open) {
            s.kind = kind;
            s.argument = line.mid(open, close - open);
        }
        break;
    }
    const qsizetype begin = line.indexOf(" BEGIN-", 0, Qt::CaseInsensitive);
    if (begin >= 0) {
        s.hasSection = true;
        const QString section = TextWord(line.mid(begin + 1), 1).mid(6);
        s.endMarker = "END-" + section.toUpper();
    }
    return s;
}

QString RestOfLine(const QString& line) {
    const QString trimmed = line.trimmed();
    qsizetype cut = 0;
    while (cut < trimmed.size() && trimmed[cut] != ' ' && trimmed[cut] != '\t') {
        ++cut;
    }
    return trimmed.mid(cut).trimmed();
}

ProgramLine SplitProgramLine(const QString& rest) {
    const QString text = rest.trimmed();
    ProgramLine result;
    if (text.startsWith('"')) {
        const qsizetype close = text.indexOf('"', 1);
        const qsizetype end = close < 0 ? text.size() : close + 1;
        result.program = text.left(end).remove('"');
        result.parameters = text.mid(end).trimmed();
    } else {
        result.program = TextWord(text, 1);
        result.parameters = RestOfLine(text);
    }
    return result;
}

QStringList ProgramArguments(const QString& parameters) {
    return QProcess::splitCommand(parameters);
}

LocalPattern SplitLocalPattern(const QString& parameter, const QString& currentDir) {
    const QString sep = platform::LocalSeparator();
    const QString p = QDir::fromNativeSeparators(parameter);
    const qsizetype cut = p.lastIndexOf('/');
    LocalPattern result;
    result.name = p.mid(cut + 1);
    QString dir = cut < 0 ? QString() : QDir::toNativeSeparators(p.left(cut + 1));
    result.ownDir = !dir.isEmpty();
    if (dir.isEmpty()) {
        dir = currentDir;
    } else if (!platform::IsRootedLocalPath(dir)) {
        dir = currentDir + (currentDir.endsWith(sep) ? "" : sep) + dir;
    }
    if (!dir.endsWith(sep)) {
        dir += sep;
    }
    result.dir = dir;
    return result;
}

QStringList EditorArguments(const QString& editorProgram, const QString& file) {
    // Editors that hand the file to a running instance and return at once, with the switch
    // that makes them wait (or start on their own) instead.
    static const QList<std::pair<QString, QStringList>> kWaitSwitches = {
        {"gedit", {"--wait"}},
        {"code", {"--wait"}},
        {"codium", {"--wait"}},
        {"subl", {"--wait"}},
        {"atom", {"--wait"}},
        {"kate", {"--block"}},
        {"gvim", {"--nofork"}},
        {"geany", {"--new-instance"}},
        {"gnome-text-editor", {"--standalone"}},
    };
    const QString base = QFileInfo(editorProgram.trimmed()).baseName().toLower();
    for (const auto& [name, switches] : kWaitSwitches) {
        if (base == name) {
            return switches + QStringList{file};
        }
    }
    return {file};
}
