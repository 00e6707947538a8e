#include "listing/machine_listing.h"

#include "listing/listing_parser.h"

namespace {

bool AllDigits(QStringView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

constexpr const char16_t* kMonths[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                         u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

}  // namespace

QDateTime ParseMachineTime(QStringView text) {
    if (text.size() > 14 && text[14] == u'.' && AllDigits(text.sliced(15))) {
        text = text.first(14);
    }
    if (text.size() != 14 || !AllDigits(text)) {
        return {};
    }
    const auto number = [&](qsizetype at, qsizetype length) {
        return text.sliced(at, length).toInt();
    };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    // Some servers write second 60 for a leap second; the minute is what is shown.
    const QTime time(number(8, 2), number(10, 2), std::min(number(12, 2), 59));
    if (!date.isValid() || !time.isValid()) {
        return {};
    }
    return QDateTime(date, time, Qt::UTC);
}

std::optional<MachineFacts> ParseMachineFacts(QStringView line) {
    // The facts end at the first "; " (or at a blank before any fact: a line of no facts).
    const qsizetype blank = line.indexOf(u' ');
    if (blank < 0 || blank + 1 >= line.size()) {
        return std::nullopt;
    }
    const QStringView facts = line.first(blank);
    MachineFacts result;
    result.name = line.sliced(blank + 1).toString();
    while (result.name.endsWith(u'\r')) {
        result.name.chop(1);
    }
    if (result.name.isEmpty() || (!facts.isEmpty() && !facts.endsWith(u';'))) {
        return std::nullopt;
    }
    QString sizd;
    qsizetype start = 0;
    while (start < facts.size()) {
        const qsizetype end = facts.indexOf(u';', start);
        const QStringView fact = facts.sliced(start, end - start);
        start = end + 1;
        const qsizetype equals = fact.indexOf(u'=');
        if (equals <= 0) {
            return std::nullopt;
        }
        const QString key = fact.first(equals).toString().toLower();
        const QStringView value = fact.sliced(equals + 1);
        if (key == u"type") {
            result.type = value.toString().toLower();
        } else if (key == u"size" && AllDigits(value)) {
            result.size = value.toString();
        } else if (key == u"sizd" && AllDigits(value)) {
            sizd = value.toString();
        } else if (key == u"modify") {
            result.modify = ParseMachineTime(value);
        } else if (key == u"unix.mode") {
            result.unixMode = value.toString();
        } else if (key == u"perm") {
            result.perm = value.toString();
        }
    }
    if (result.size.isEmpty()) {
        result.size = sizd;
    }
    return result;
}

QString ModeWordFromOctal(QChar kind, QStringView octal) {
    if (octal.isEmpty() || octal.size() > 5) {
        return {};
    }
    int mode = 0;
    for (const QChar c : octal) {
        if (c < u'0' || c > u'7') {
            return {};
        }
        mode = mode * 8 + (c.unicode() - u'0');
    }
    QString word(10, u'-');
    word[0] = kind;
    static const char16_t letters[3] = {u'r', u'w', u'x'};
    for (int bit = 0; bit < 9; ++bit) {
        if (mode & (0400 >> bit)) {
            word[1 + bit] = letters[bit % 3];
        }
    }
    // Set-id and sticky bits, as ls shows them.
    const auto special = [&](int flag, int at, char16_t withX, char16_t withoutX) {
        if (mode & flag) {
            word[at] = word[at] == u'x' ? withX : withoutX;
        }
    };
    special(04000, 3, u's', u'S');
    special(02000, 6, u's', u'S');
    special(01000, 9, u't', u'T');
    return word;
}

bool ParseMachineListingLine(const ListingState& state, QStringView line, ParsedEntry& entry) {
    entry.Clear();
    const std::optional<MachineFacts> facts = ParseMachineFacts(line);
    if (!facts || facts->type.isEmpty() || facts->type == u"cdir" || facts->type == u"pdir") {
        return false;
    }
    const QString& type = facts->type;
    const bool link = type.startsWith(u"os.unix=slink") || type.startsWith(u"os.unix=symlink");
    const bool directory = type == u"dir";
    if (!link && !directory && type != u"file" && !type.startsWith(u"os.")) {
        return false;
    }
    const QChar kind = link ? u'l' : directory ? u'd' : u'-';
    entry.name = facts->name;
    entry.isDirectory = link ? LinkShownAsDirectory(state.linkTreatment, entry.name) : directory;
    entry.permissions = ModeWordFromOctal(kind, facts->unixMode);
    if (entry.permissions.isEmpty()) {
        entry.permissions = facts->perm.isEmpty() ? QString(kind) : kind + facts->perm;
    }
    entry.sizeText = u'0' + facts->size;
    if (facts->modify.isValid()) {
        const QDateTime local = state.timeZone.isValid() ? facts->modify.toTimeZone(state.timeZone)
                                                         : facts->modify.toLocalTime();
        const QDate date = local.date();
        entry.rawDate = QStringLiteral("%1 %2 %3 %4")
                            .arg(QStringView(kMonths[date.month() - 1]))
                            .arg(date.day(), 2, 10, QChar(u'0'))
                            .arg(date.year())
                            .arg(local.time().toString(QStringLiteral("HH:mm")));
    }
    return true;
}
