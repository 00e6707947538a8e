#include "logs/log_run.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <limits>

#include "config/words.h"

// Everything below works on the UTF-8 bytes of a line through string views; the QString
// functions of the header are thin wrappers over the same code, so a long log costs no string
// allocation per line.

namespace {

using Bytes = std::string_view;
constexpr size_t kNone = Bytes::npos;
constexpr qsizetype kReadChunk = 1024 * 1024;
constexpr size_t kFlushBytes = 1024 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The word at or after Pos (words are separated by blanks or TABs); Pos moves past it.
Bytes NextWord(Bytes text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) {
        ++pos;
    }
    return text.substr(start, pos - start);
}

Bytes FirstWord(Bytes text) {
    size_t pos = 0;
    return NextWord(text, pos);
}

Bytes Trim(Bytes text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && static_cast<unsigned char>(text[start]) <= ' ') {
        ++start;
    }
    while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return text.substr(start, end - start);
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of the character Count characters into Text (its size when it is shorter).
size_t CharOffset(Bytes text, size_t count, bool ascii) {
    if (ascii) {
        return std::min(count, text.size());
    }
    size_t pos = 0;
    while (pos < text.size() && count > 0) {
        ++pos;
        while (pos < text.size() && IsContinuation(text[pos])) {
            ++pos;
        }
        --count;
    }
    return pos;
}

size_t CharCount(Bytes text) {
    size_t count = 0;
    for (const char c : text) {
        count += IsContinuation(c) ? 0 : 1;
    }
    return count;
}

// True when Text is well-formed UTF-8: no overlong forms, surrogates or code points past
// U+10FFFF. Ascii tells whether every byte is below 0x80.
bool CheckUtf8(Bytes text, bool& ascii) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    ascii = true;
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL) {
            break;
        }
        p += 8;
    }
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        ascii = false;
        int more;
        unsigned code;
        unsigned least;
        if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= more) {
            return false;
        }
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        p += more + 1;
    }
    return true;
}

// The line as well-formed UTF-8 without its line end or NUL bytes; Clean holds the bytes when
// they had to change.
Bytes PrepareLine(Bytes line, std::string& clean, bool& ascii) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (std::memchr(line.data(), 0, line.size()) != nullptr) {
        clean.clear();
        for (const char c : line) {
            if (c != 0) {
                clean += c;
            }
        }
        line = clean;
    }
    if (CheckUtf8(line, ascii)) {
        return line;
    }
    // Latin-1: every byte is the character of the same number.
    std::string latin;
    latin.reserve(line.size() * 2);
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            latin += c;
        } else {
            latin += char(0xC0 | (byte >> 6));
            latin += char(0x80 | (byte & 0x3F));
        }
    }
    clean.swap(latin);
    return clean;
}

void AppendLower(std::string& out, Bytes text) {
    const size_t start = out.size();
    out.resize(start + text.size());
    char* to = out.data() + start;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            // Beyond ASCII the letters are Unicode's.
            out.resize(start);
            out += QString::fromUtf8(text.data(), qsizetype(text.size())).toLower().toStdString();
            return;
        }
        *to++ = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
    }
}

// The position of the next double quote from Pos that no backslash escapes.
size_t NextUnescapedQuote(Bytes text, size_t pos) {
    for (;;) {
        pos = text.find('"', pos);
        if (pos == kNone) {
            return kNone;
        }
        size_t backslashes = 0;
        while (backslashes < pos && text[pos - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return pos;
        }
        ++pos;
    }
}

// A line's fields, as views into the line.
struct RawHit {
    Bytes date, time, url, size, referrer, browser, address;
};

enum class Scan { NoDate, DateOnly, Complete };

// Reads one prepared line. DateOnly: the time stamp was read but the rest does not fit.
Scan ScanLine(Bytes line, bool ascii, RawHit& hit) {
    const size_t open = line.find('[');
    const size_t close = line.find(']');
    if (open == kNone || close == kNone || open > close) {
        return Scan::NoDate;
    }
    const Bytes stamp = line.substr(open + 1, close - open - 1);
    if (CharCount(FirstWord(stamp)) < 18) {
        return Scan::NoDate;
    }
    const size_t dateEnd = CharOffset(stamp, 11, ascii);
    const size_t timeStart = CharOffset(stamp, 12, ascii);
    const size_t timeEnd = CharOffset(stamp, 20, ascii);
    hit.date = stamp.substr(0, dateEnd);
    hit.time = stamp.substr(timeStart, timeEnd - timeStart);

    const Bytes rest = Trim(line.substr(close + 1));
    const size_t requestOpen = rest.find('"');
    if (requestOpen == kNone) {
        return Scan::DateOnly;
    }
    // The request ends at the next double quote that is followed by a blank.
    size_t requestClose = requestOpen + 1;
    for (;;) {
        requestClose = rest.find('"', requestClose);
        if (requestClose == kNone || requestClose + 1 >= rest.size()) {
            return Scan::DateOnly;
        }
        if (rest[requestClose + 1] == ' ') {
            break;
        }
        ++requestClose;
    }
    const Bytes request = rest.substr(requestOpen + 1, requestClose - requestOpen - 1);
    size_t pos = 0;
    NextWord(request, pos);
    hit.url = NextWord(request, pos);

    const size_t referrerOpen = rest.find('"', requestClose + 1);
    if (referrerOpen == kNone) {
        return Scan::DateOnly;
    }
    // Status and size stand between the request and the referrer.
    const Bytes numbers = rest.substr(requestClose + 1, referrerOpen - requestClose - 1);
    pos = 0;
    NextWord(numbers, pos);
    hit.size = NextWord(numbers, pos);
    if (hit.size.empty()) {
        return Scan::DateOnly;
    }
    const size_t referrerClose = NextUnescapedQuote(rest, referrerOpen + 1);
    if (referrerClose == kNone) {
        return Scan::DateOnly;
    }
    hit.referrer = FirstWord(rest.substr(referrerOpen + 1, referrerClose - referrerOpen - 1));
    // The browser is the layout's last field: any quote inside it, escaped or not, is its own.
    const size_t browserOpen = rest.find('"', referrerClose + 1);
    const size_t browserClose = rest.rfind('"');
    if (browserOpen == kNone || browserClose <= browserOpen) {
        return Scan::DateOnly;
    }
    hit.browser = rest.substr(browserOpen + 1, browserClose - browserOpen - 1);
    hit.address = FirstWord(line);
    return Scan::Complete;
}

// Completes a lower-cased URL in place; false when it is too short to keep.
bool CompleteUrlBytes(std::string& url, Bytes protocol, Bytes protocolWww, Bytes domain,
                      std::string& scratch) {
    if (!url.empty() && url[0] == '/') {
        scratch.assign(protocol).append(domain).append(url);
        url.swap(scratch);
    }
    if (CharCount(url) < 2) {
        return false;
    }
    if (Bytes(url).starts_with("www.")) {
        url.erase(0, 4);
    }
    // The "www." right after the protocol prefix, whichever its length.
    if (Bytes(url).starts_with(protocolWww)) {
        url.erase(protocol.size(), 4);
    }
    // The query goes before the protocol check, so a "http://" in a query does not pass for
    // the URL's own.
    const size_t query = url.find('?');
    if (query != kNone && query > 0 && Bytes(url).substr(0, query).find('.') != kNone) {
        url.resize(query);
    }
    if (Bytes(url).find(protocol) == kNone) {
        url.insert(0, protocol);
    }
    return true;
}

Bytes FileTypeOf(Bytes url) {
    const size_t dot = url.rfind('.');
    return dot == kNone ? Bytes() : url.substr(dot + 1);
}

bool IsFormulaStart(Bytes field) {
    if (field.empty() || field == "-") {
        return false;
    }
    switch (field[0]) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
            return true;
        default:
            return false;
    }
}

// True when a byte of Word equals Byte (the classic "has zero byte" test on Word ^ Byte...).
bool WordHasByte(quint64 word, unsigned char byte) {
    const quint64 x = word ^ (0x0101010101010101ULL * byte);
    return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

// True when Field holds a character that makes CSVmod (and a CSV reader) need it quoted: comma,
// double quote, CR, LF. Rows are most of the output, so eight bytes are looked at at a time.
bool NeedsQuotes(Bytes field) {
    size_t i = 0;
    for (; i + 8 <= field.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, field.data() + i, 8);
        if (WordHasByte(word, ',') || WordHasByte(word, '"') || WordHasByte(word, '\r') ||
            WordHasByte(word, '\n')) {
            return true;
        }
    }
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            return true;
        }
    }
    return false;
}

// Appends Field as CSVmod does, plus the spreadsheet guard of SafeCsvField.
void AppendCsvField(std::string& out, Bytes field) {
    const bool formula = IsFormulaStart(field);
    if (!formula && !NeedsQuotes(field)) {
        out.append(field);
        return;
    }
    out += formula ? "\"'" : "\"";
    size_t from = 0;
    for (size_t quote; (quote = field.find('"', from)) != kNone; from = quote + 1) {
        out.append(field.substr(from, quote + 1 - from));
        out += '"';
    }
    out.append(field.substr(from));
    out += '"';
}

QString FromBytes(Bytes bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

bool ParseDigits(std::string_view text, qint64& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const int digit = c - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

qint64 SaturatingAdd(qint64 a, qint64 b) {
    return a > std::numeric_limits<qint64>::max() - b ? std::numeric_limits<qint64>::max() : a + b;
}

std::optional<LogHit> ParseLogLine(QByteArrayView line) {
    std::string clean;
    bool ascii = true;
    const Bytes prepared = PrepareLine(Bytes(line.data(), size_t(line.size())), clean, ascii);
    RawHit raw;
    if (ScanLine(prepared, ascii, raw) != Scan::Complete) {
        return std::nullopt;
    }
    std::string lower;
    LogHit hit;
    hit.date = FromBytes(raw.date);
    hit.time = FromBytes(raw.time);
    AppendLower(lower, raw.url);
    hit.url = QString::fromStdString(lower);
    hit.size = FromBytes(raw.size);
    lower.clear();
    AppendLower(lower, raw.referrer);
    hit.referrer = QString::fromStdString(lower);
    hit.browser = FromBytes(raw.browser);
    hit.address = FromBytes(raw.address);
    return hit;
}

QString ProtocolPrefix(const QString& remoteLogDir) {
    return remoteLogDir.toLower().contains(u"ssl") ? QStringLiteral("https://")
                                                   : QStringLiteral("http://");
}

std::optional<QString> CompleteUrl(const QString& url, const QString& protocol,
                                   const QString& domain) {
    std::string bytes = url.toStdString();
    std::string scratch;
    const std::string prefix = protocol.toStdString();
    if (!CompleteUrlBytes(bytes, prefix, prefix + "www.", domain.toStdString(), scratch)) {
        return std::nullopt;
    }
    return QString::fromStdString(bytes);
}

QString LogFileType(const QString& url) {
    const qsizetype dot = url.lastIndexOf(u'.');
    return dot < 0 ? QString() : url.mid(dot + 1).toLower();
}

QString SafeCsvField(const QString& text) {
    std::string out;
    AppendCsvField(out, text.toStdString());
    return QString::fromStdString(out);
}

QStringList SummaryTypeList(const QString& summaryText) {
    QStringList types;
    for (const QString& part : summaryText.split(u'/')) {
        const QString type = TrimBlanks(part).toLower();
        if (!type.isEmpty() && types.size() < kMaxSummaryTypes) {
            types.append(type);
        }
    }
    return types;
}

LogRun::LogRun(const QString& summaryText, const QStringList& urlFilters) {
    for (const QString& type : SummaryTypeList(summaryText)) {
        m_summaries.push_back({type.toStdString(), 0, 0});
    }
    // The index points into the strings of the finished list; the first of twins gets the hits.
    for (size_t i = 0; i < m_summaries.size(); ++i) {
        m_summaryIndex.emplace(m_summaries[i].type, i);
    }
    // An empty filter text would hold every URL.
    for (const QString& filter : urlFilters) {
        if (!filter.isEmpty()) {
            m_filters.push_back(filter.toStdString());
        }
    }
}

LogRun::~LogRun() = default;

std::vector<LogRun::SummaryCount> LogRun::SummaryCounts() const {
    std::vector<SummaryCount> counts;
    for (const Summary& summary : m_summaries) {
        counts.push_back({QString::fromStdString(summary.type), summary.hits, summary.bytes});
    }
    return counts;
}

LogRunStatus LogRun::NotOpen() {
    // After the end of a run its own reason stands.
    if (m_state == State::Idle) {
        m_errorText = QStringLiteral("The log run has not begun");
    } else if (m_errorText.isEmpty()) {
        m_errorText = QStringLiteral("The log run is over");
    }
    return m_endStatus;
}

LogRunStatus LogRun::Fail(LogRunStatus status, const QString& text) {
    m_errorText = text;
    if (status != LogRunStatus::InputError) {
        m_endStatus = status;
        if (m_output) {
            m_output->cancelWriting();
            m_output.reset();
        }
        m_state = State::Done;
    }
    return status;
}

LogRunStatus LogRun::Begin(const QString& outputPath) {
    if (m_state != State::Idle) {  // one run per object: its counts would carry over
        m_errorText = QStringLiteral("The log run has begun already");
        return LogRunStatus::OutputError;
    }
    m_outputPath = outputPath;
    m_output = std::make_unique<QSaveFile>(outputPath);
    if (!m_output->open(QIODevice::WriteOnly)) {
        return Fail(LogRunStatus::OutputError,
                    "Cannot create " + outputPath + " (" + m_output->errorString() + ")");
    }
    m_state = State::Open;
    m_pending.reserve(kFlushBytes + 64 * 1024);
    m_pending.assign(kLogCsvHeader).append(kLogCsvLineEnd);
    return LogRunStatus::Ok;
}

bool LogRun::Flush() {
    if (m_pending.empty()) {
        return true;
    }
    const qint64 written = m_output->write(m_pending.data(), qint64(m_pending.size()));
    const bool whole = written == qint64(m_pending.size());
    m_pending.clear();
    return whole;
}

bool LogRun::KeepAlive() {
    if (++m_sinceKeepAlive < keepAliveLines) {
        return true;
    }
    m_sinceKeepAlive = 0;
    return !onKeepAlive || onKeepAlive();
}

LogRunStatus LogRun::ProcessCurrentLogFile(const QString& path, const QString& domain,
                                           const QString& remoteLogDir) {
    if (m_state != State::Open) {
        return NotOpen();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return Fail(LogRunStatus::InputError,
                    "Cannot read " + path + " (" + file.errorString() + ")");
    }
    if (onLogText) {
        onLogText("Processing " + path);
    }
    m_protocol = ProtocolPrefix(remoteLogDir).toStdString();
    m_protocolWww = m_protocol + "www.";
    m_domain = domain.toStdString();

    // Lines are cut from a buffer refilled in chunks; one longer than the buffer makes it grow
    // up to kMaxLogLineBytes, past which the line is passed over until its end.
    m_input.resize(size_t(kReadChunk));
    size_t have = 0;
    bool skipping = false;
    for (;;) {
        if (have == m_input.size()) {
            if (m_input.size() < size_t(kMaxLogLineBytes)) {
                m_input.resize(std::min(m_input.size() * 2, size_t(kMaxLogLineBytes)));
            } else {
                skipping = true;
                have = 0;
            }
        }
        const qint64 got = file.read(m_input.data() + have, qint64(m_input.size() - have));
        if (got < 0) {
            return Fail(LogRunStatus::InputError,
                        "Cannot read " + path + " (" + file.errorString() + ")");
        }
        if (got == 0) {
            if (have > 0) {
                if (!skipping) {
                    ProcessLine(Bytes(m_input.data(), have));
                }
                ++m_linesRead;
            }
            break;
        }
        const size_t end = have + size_t(got);
        size_t start = 0;
        while (start < end) {
            const void* found = std::memchr(m_input.data() + start, '\n', end - start);
            if (found == nullptr) {
                break;
            }
            const size_t lineEnd = size_t(static_cast<const char*>(found) - m_input.data());
            if (!skipping) {
                ProcessLine(Bytes(m_input.data() + start, lineEnd - start));
            }
            skipping = false;
            ++m_linesRead;
            start = lineEnd + 1;
            if (!KeepAlive()) {
                return Fail(LogRunStatus::Cancelled, "Cancelled");
            }
        }
        if (m_pending.size() >= kFlushBytes && !Flush()) {
            return Fail(LogRunStatus::OutputError,
                        "Cannot write " + m_outputPath + " (" + m_output->errorString() + ")");
        }
        std::memmove(m_input.data(), m_input.data() + start, end - start);
        have = end - start;
    }
    // Back to the usual buffer for the next file.
    m_input.resize(size_t(kReadChunk));
    m_input.shrink_to_fit();
    return LogRunStatus::Ok;
}

void LogRun::ProcessLine(Bytes line) {
    bool ascii = true;
    line = PrepareLine(line, m_clean, ascii);
    RawHit hit;
    const Scan scan = ScanLine(line, ascii, hit);
    if (scan == Scan::NoDate) {
        return;
    }
    if (!m_haveFirstDate) {
        m_firstDate.assign(hit.date);
        m_haveFirstDate = true;
    }
    if (scan != Scan::Complete) {
        return;
    }
    m_url.clear();
    AppendLower(m_url, hit.url);
    if (!CompleteUrlBytes(m_url, m_protocol, m_protocolWww, m_domain, m_scratch)) {
        return;
    }
    for (const std::string& filter : m_filters) {
        if (m_url.find(filter) != kNone) {
            return;
        }
    }
    if (!m_summaries.empty()) {
        const auto found = m_summaryIndex.find(FileTypeOf(m_url));
        if (found != m_summaryIndex.end()) {
            Summary& summary = m_summaries[found->second];
            qint64 size = 0;
            if (ParseDigits(hit.size, size)) {
                summary.bytes = SaturatingAdd(summary.bytes, size);
                ++summary.hits;
            }
            return;
        }
    }
    m_referrer.clear();
    AppendLower(m_referrer, hit.referrer);
    AppendCsvField(m_pending, hit.date);
    m_pending += ',';
    AppendCsvField(m_pending, hit.time);
    m_pending += ',';
    AppendCsvField(m_pending, m_url);
    m_pending += ',';
    AppendCsvField(m_pending, hit.size);
    m_pending += ',';
    AppendCsvField(m_pending, m_referrer);
    m_pending += ',';
    AppendCsvField(m_pending, hit.browser);
    m_pending += ',';
    AppendCsvField(m_pending, hit.address);
    m_pending += kLogCsvLineEnd;
    ++m_rowsWritten;
}

LogRunStatus LogRun::Finish() {
    if (m_state != State::Open) {
        return NotOpen();
    }
    for (const Summary& summary : m_summaries) {
        if (summary.bytes <= 0) {
            continue;
        }
        AppendCsvField(m_pending, m_firstDate);
        m_pending += ',';
        AppendCsvField(m_pending, "00:00:00");
        m_pending += ',';
        // One field, so a type holding a comma cannot split the row.
        AppendCsvField(m_pending,
                       "*." + summary.type + " (" + std::to_string(summary.hits) + " hits)");
        m_pending += ',';
        m_pending += std::to_string(summary.bytes);
        m_pending += ", , ,";
        m_pending += kLogCsvLineEnd;
    }
    if (!Flush()) {
        return Fail(LogRunStatus::OutputError,
                    "Cannot write " + m_outputPath + " (" + m_output->errorString() + ")");
    }
    if (!m_output->commit()) {
        const QString reason = m_output->errorString();
        m_output.reset();
        return Fail(LogRunStatus::OutputError,
                    "Cannot write " + m_outputPath + " (" + reason + ")");
    }
    m_output.reset();
    m_state = State::Done;
    return LogRunStatus::Ok;
}
