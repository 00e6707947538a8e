#include "logs/log_report.h"

#include <QFile>
#include <QIODevice>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "config/words.h"
#include "logs/log_run.h"

// A month's CSV runs to millions of rows: lines are cut from a byte buffer and split by hand
// into views, and only the per-day, per-page and per-type counts are kept.

namespace {

using Bytes = std::string_view;
constexpr size_t kNone = Bytes::npos;
constexpr int kFields = 7;
constexpr size_t kReadChunk = 1024 * 1024;
constexpr size_t kMaxLineBytes = size_t(kMaxLogReportLineBytes);
constexpr Bytes kUtf8Bom = "\xEF\xBB\xBF";
constexpr Bytes kSummaryTail = " hits)";
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool TwoDigits(Bytes text, size_t at, int& value) {
    const char a = text[at];
    const char b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
        return false;
    }
    value = (a - '0') * 10 + (b - '0');
    return true;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// "10/Oct/2026" (month name in any case) as 20261010; 0 when it is no such date.
int DateKey(Bytes text) {
    if (text.size() != 11 || text[2] != '/' || text[6] != '/') {
        return 0;
    }
    int day = 0;
    int century = 0;
    int year = 0;
    if (!TwoDigits(text, 0, day) || !TwoDigits(text, 7, century) || !TwoDigits(text, 9, year)) {
        return 0;
    }
    int month = 0;
    for (int m = 0; m < 12 && month == 0; ++m) {
        const char* name = kMonths[m];
        if (LowerAscii(text[3]) == LowerAscii(name[0]) && LowerAscii(text[4]) == name[1] &&
            LowerAscii(text[5]) == name[2]) {
            month = m + 1;
        }
    }
    year += century * 100;
    if (month == 0 || !QDate::isValid(year, month, day)) {
        return 0;
    }
    return year * 10000 + month * 100 + day;
}

// The extension of the URL's last path segment, lower-cased, without query or fragment; the
// host's dots do not count.
void UrlType(Bytes url, std::string& type) {
    Bytes path = url.substr(0, std::min(url.find_first_of("?#"), url.size()));
    const size_t scheme = path.find("://");
    if (scheme != kNone) {
        const size_t slash = path.find('/', scheme + 3);
        path = slash == kNone ? Bytes() : path.substr(slash);
    }
    const size_t lastSlash = path.rfind('/');
    const Bytes name = lastSlash == kNone ? path : path.substr(lastSlash + 1);
    const size_t dot = name.rfind('.');
    if (dot == kNone || dot + 1 == name.size()) {
        type.assign(kLogReportNoType);
        return;
    }
    type.clear();
    for (const char c : name.substr(dot + 1)) {
        type += LowerAscii(c);
    }
}

QString FromBytes(Bytes bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString Plural(qint64 count, const QString& one, const QString& many) {
    return GroupThousands(count) + ' ' + (count == 1 ? one : many);
}

// "512 bytes", "1.5 KB": one decimal in the largest unit that fits.
QString SizeText(qint64 bytes) {
    const ByteUnit unit = ChooseByteUnit(bytes);
    if (unit.divisor == 1) {
        return Plural(bytes, "byte", "bytes");
    }
    return QString::number(double(bytes) / double(unit.divisor), 'f', 1) + ' ' + unit.name;
}

class ReportBuilder {
public:
    // One line without its LF.
    void AddLine(Bytes line) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (m_first) {
            m_first = false;
            if (line.starts_with(kUtf8Bom)) {
                line.remove_prefix(kUtf8Bom.size());
            }
            m_report.hasHeader = line == kLogCsvHeader;
        }
        // A header anywhere (two months' files put together) is no row and no fault.
        if (line.empty() || line == kLogCsvHeader) {
            return;
        }
        const bool ok = SplitRow(line) && (m_fields[2].starts_with("*.") ? AddSummary() : AddRow());
        if (!ok) {
            ++m_report.badLines;
        }
    }
    void AddBadLine() {
        m_first = false;
        ++m_report.badLines;
    }

    LogReport Result() {
        LogReport report = m_report;
        for (const auto& [key, day] : m_days) {
            const QDate date(key / 10000, key / 100 % 100, key % 100);
            // A quiet day of the month is a day of no requests, not a day left off the chart.
            if (!report.days.empty() && report.days.back().date.month() == date.month() &&
                report.days.back().date.year() == date.year()) {
                for (QDate gap = report.days.back().date.addDays(1); gap < date;
                     gap = gap.addDays(1)) {
                    report.days.push_back(
                        {gap, QLocale(QLocale::English).toString(gap, "dd/MMM/yyyy"), 0, 0});
                }
            }
            report.days.push_back({date, FromBytes(day.label), day.requests, day.bytes});
        }
        report.distinctPages = qint64(m_pages.size());

        std::vector<std::pair<const std::string*, qint64>> pages;
        pages.reserve(m_pages.size());
        for (const auto& [url, hits] : m_pages) {
            pages.emplace_back(&url, hits);
        }
        const auto byHits = [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : *a.first < *b.first;
        };
        const size_t top = std::min(pages.size(), size_t(kLogReportTopPages));
        std::partial_sort(pages.begin(), pages.begin() + std::ptrdiff_t(top), pages.end(), byHits);
        for (size_t i = 0; i < top; ++i) {
            report.topPages.push_back({FromBytes(*pages[i].first), pages[i].second});
        }

        for (const auto& [type, count] : m_types) {
            report.types.push_back({FromBytes(type), count.hits, count.bytes});
        }
        std::sort(report.types.begin(), report.types.end(), [](const auto& a, const auto& b) {
            return a.hits != b.hits ? a.hits > b.hits : a.type < b.type;
        });
        return report;
    }

private:
    struct DayCount {
        std::string label;
        qint64 requests = 0;
        qint64 bytes = 0;
    };
    struct TypeCount {
        qint64 hits = 0;
        qint64 bytes = 0;
    };

    // Cuts the line into exactly kFields fields (false for any other number, for a quote that
    // does not close and for text after a closing quote). A quoted field loses its quotes; one
    // with doubled quotes is undoubled into m_unquoted.
    bool SplitRow(Bytes line) {
        size_t pos = 0;
        for (int i = 0;; ++i) {
            if (pos < line.size() && line[pos] == '"') {
                size_t from = pos + 1;
                size_t close;
                bool doubled = false;
                for (;;) {
                    close = line.find('"', from);
                    if (close == kNone) {
                        return false;
                    }
                    if (close + 1 < line.size() && line[close + 1] == '"') {
                        doubled = true;
                        from = close + 2;
                        continue;
                    }
                    break;
                }
                const Bytes inner = line.substr(pos + 1, close - pos - 1);
                if (doubled) {
                    std::string& out = m_unquoted[size_t(i)];
                    out.clear();
                    for (size_t k = 0; k < inner.size(); ++k) {
                        out += inner[k];
                        k += inner[k] == '"' ? 1 : 0;
                    }
                    m_fields[size_t(i)] = out;
                } else {
                    m_fields[size_t(i)] = inner;
                }
                pos = close + 1;
            } else {
                const size_t comma = std::min(line.find(',', pos), line.size());
                m_fields[size_t(i)] = line.substr(pos, comma - pos);
                pos = comma;
            }
            if (i == kFields - 1) {
                return pos == line.size();
            }
            if (pos >= line.size() || line[pos] != ',') {
                return false;
            }
            ++pos;
        }
    }

    // "*.gif (3 hits)" with the bytes in the size field.
    bool AddSummary() {
        const Bytes hit = m_fields[2];
        if (hit.size() < 2 + kSummaryTail.size() || !hit.ends_with(kSummaryTail)) {
            return false;
        }
        const Bytes inner = hit.substr(2, hit.size() - 2 - kSummaryTail.size());
        const size_t open = inner.rfind(" (");
        qint64 hits = 0;
        qint64 bytes = 0;
        if (open == kNone || open == 0 || !ParseDigits(inner.substr(open + 2), hits) ||
            !ParseDigits(m_fields[3], bytes)) {
            return false;
        }
        m_typeKey.clear();
        for (const char c : inner.substr(0, open)) {
            m_typeKey += LowerAscii(c);
        }
        TypeCount& type = m_types[m_typeKey];
        type.hits = SaturatingAdd(type.hits, hits);
        type.bytes = SaturatingAdd(type.bytes, bytes);
        m_report.summaryHits = SaturatingAdd(m_report.summaryHits, hits);
        m_report.summaryBytes = SaturatingAdd(m_report.summaryBytes, bytes);
        return true;
    }

    bool AddRow() {
        const Bytes date = m_fields[0];
        const Bytes url = m_fields[2];
        const Bytes sizeText = m_fields[3];
        qint64 size = 0;
        if (url.empty() || (sizeText != "-" && !ParseDigits(sizeText, size))) {
            return false;
        }
        // Rows come in date order, so the day of the last row is nearly always this one's.
        if (m_lastDay == nullptr || date != m_lastDate) {
            const int key = DateKey(date);
            if (key == 0) {
                return false;
            }
            const auto [it, added] = m_days.try_emplace(key);
            if (added) {
                it->second.label.assign(date);
            }
            m_lastDay = &it->second;
            m_lastDate.assign(date);
        }
        ++m_lastDay->requests;
        m_lastDay->bytes = SaturatingAdd(m_lastDay->bytes, size);
        ++m_report.rows;
        m_report.rowBytes = SaturatingAdd(m_report.rowBytes, size);

        m_pageKey.assign(url);
        ++m_pages[m_pageKey];
        UrlType(url, m_typeKey);
        TypeCount& type = m_types[m_typeKey];
        ++type.hits;
        type.bytes = SaturatingAdd(type.bytes, size);
        return true;
    }

    LogReport m_report;
    bool m_first = true;
    std::array<Bytes, kFields> m_fields;
    std::array<std::string, kFields> m_unquoted;
    std::map<int, DayCount> m_days;  // by yyyymmdd; nodes stay put, so m_lastDay stays valid
    DayCount* m_lastDay = nullptr;
    std::string m_lastDate;
    std::unordered_map<std::string, qint64> m_pages;
    std::unordered_map<std::string, TypeCount> m_types;
    // Keys built in place, so a lookup of a known page or type allocates nothing.
    std::string m_pageKey;
    std::string m_typeKey;
};

}  // namespace

LogReport ReadLogReport(QIODevice& device, QString* error) {
    ReportBuilder builder;
    std::string buffer(kReadChunk, '\0');
    size_t have = 0;
    bool skipping = false;  // inside a line too long to hold, counted already
    for (;;) {
        if (have == buffer.size()) {
            if (buffer.size() < kMaxLineBytes) {
                buffer.resize(std::min(buffer.size() * 2, kMaxLineBytes));
            } else {
                if (!skipping) {
                    builder.AddBadLine();
                }
                skipping = true;
                have = 0;
            }
        }
        const qint64 got = device.read(buffer.data() + have, qint64(buffer.size() - have));
        if (got < 0) {
            if (error != nullptr) {
                *error = device.errorString();
            }
            break;
        }
        if (got == 0) {
            if (have > 0 && !skipping) {
                builder.AddLine(Bytes(buffer.data(), have));
            }
            break;
        }
        const size_t end = have + size_t(got);
        size_t start = 0;
        while (start < end) {
            const void* found = std::memchr(buffer.data() + start, '\n', end - start);
            if (found == nullptr) {
                break;
            }
            const size_t lineEnd = size_t(static_cast<const char*>(found) - buffer.data());
            if (!skipping) {
                builder.AddLine(Bytes(buffer.data() + start, lineEnd - start));
            }
            skipping = false;
            start = lineEnd + 1;
        }
        std::memmove(buffer.data(), buffer.data() + start, end - start);
        have = end - start;
    }
    return builder.Result();
}

LogReport ReadLogReport(const QString& csvPath, QString* error) {
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error != nullptr) {
            *error = "Cannot read " + csvPath + " (" + file.errorString() + ")";
        }
        return {};
    }
    QString reason;
    LogReport report = ReadLogReport(file, &reason);
    if (!reason.isEmpty()) {
        if (error != nullptr) {
            *error = "Cannot read " + csvPath + " (" + reason + ")";
        }
        return {};
    }
    return report;
}

std::vector<LogReportType> TypeShares(const std::vector<LogReportType>& types, int keep) {
    std::vector<LogReportType> shares;
    for (const LogReportType& type : types) {
        if (type.hits > 0) {
            shares.push_back(type);
        }
    }
    std::stable_sort(shares.begin(), shares.end(),
                     [](const auto& a, const auto& b) { return a.hits > b.hits; });
    const size_t kept = size_t(std::max(keep, 0));
    if (shares.size() <= kept + 1) {
        return shares;
    }
    LogReportType other{"other", 0, 0};
    for (size_t i = kept; i < shares.size(); ++i) {
        other.hits = SaturatingAdd(other.hits, shares[i].hits);
        other.bytes = SaturatingAdd(other.bytes, shares[i].bytes);
    }
    shares.resize(kept);
    shares.push_back(other);
    return shares;
}

QStringList DayAxisLabels(const std::vector<LogReportDay>& days) {
    bool oneMonth = true;
    bool oneYear = true;
    for (const LogReportDay& day : days) {
        oneYear = oneYear && day.date.year() == days.front().date.year();
        oneMonth = oneMonth && oneYear && day.date.month() == days.front().date.month();
    }
    QStringList labels;
    for (const LogReportDay& day : days) {
        QString label = QString::number(day.date.day());
        if (!oneMonth) {
            label += ' ' + QString::fromLatin1(kMonths[day.date.month() - 1]);
        }
        if (!oneYear) {
            label += ' ' + QString::number(day.date.year());
        }
        labels.append(label);
    }
    return labels;
}

ByteUnit ChooseByteUnit(qint64 maxBytes) {
    const char* const names[] = {"bytes", "KB", "MB", "GB", "TB"};
    ByteUnit unit{1, names[0]};
    for (int i = 1; i < 5; ++i) {
        const qint64 divisor = qint64(1) << (10 * i);
        if (maxBytes >= divisor) {
            unit = {divisor, names[i]};
        }
    }
    return unit;
}

QString LogReportSummaryText(const LogReport& report) {
    QString text = Plural(report.TotalRequests(), "request", "requests");
    if (report.summaryHits > 0) {
        text += " (" + GroupThousands(report.summaryHits) + " of them summarised by type)";
    }
    text += ", " + SizeText(report.TotalBytes()) + ", " +
            Plural(qint64(report.days.size()), "day", "days");
    if (report.badLines > 0) {
        text += "; " + Plural(report.badLines, "line", "lines") + " not understood, skipped";
    }
    return text;
}

QString LogReportPngPath(const QString& csvPath) {
    QString path = csvPath;
    if (path.endsWith(".csv", Qt::CaseInsensitive)) {
        path.chop(4);
    }
    return path + ".png";
}
