#include "procmail/recipe_generator.h"

#include <QSet>

#include "config/words.h"
#include "listing/text_words.h"
#include "procmail/mdl_words.h"

using mdl::DoubleAmpersand;
using mdl::IsInteger;
using mdl::RemoveTab;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTrashPath = QStringLiteral("/dev/null");
const QString kDefaultPopPath = QStringLiteral("/var/mail/?????");
const QString kSenderHeaders =
    QStringLiteral("(^(From[ ]|(Old-|X-)?(Resent-)?(From|Reply-To|Sender):))(.*\\<.*");
constexpr int kMaxSubstitutionSteps = 101;

// Thrown by the first checking error; the run ends there.
struct StopRun {};

enum class Context { Outside, Domain, Autoresponder, MailingList, RecordList };
enum class BlockKind { Autoresponder, MailingList, RecordList };

struct BlockLine {
    BlockKind kind;
    QString block;  // the block's name as written
    QString text;   // the prepared statement
    int lineNo;
};

struct Symbol {
    QString name;
    QString value;
};

// One delivery of a message matching a pattern, with the conditions a statement put on it.
struct DeliveryRequest {
    QString destination;
    QString sizeOp;
    QString sizeN;
    QStringList notFrom;
    QStringList onlyFrom;
    QStringList notTo;
    QString notSuffix;      // the suffixed form of the pattern, which must not match
    QString autoresponder;  // the autoresponder's name as written
};

QString Upper(const QString& text) {
    return text.toUpper();
}

bool IsEmailAddress(const QString& text) {
    return text.indexOf('@') > 0;
}

// "<display name>address": true with both parts set.
bool SplitDisplayName(const QString& dest, QString* name, QString* address) {
    if (!dest.startsWith('<')) {
        return false;
    }
    const qsizetype close = dest.indexOf('>');
    if (close < 0 || !IsEmailAddress(dest.mid(close + 1))) {
        return false;
    }
    *name = dest.mid(1, close - 1);
    *address = dest.mid(close + 1);
    return true;
}

QString AddressOf(const QString& dest) {
    QString name;
    QString address;
    return SplitDisplayName(dest, &name, &address) ? address : dest;
}

// Text for the inside of a double-quoted shell word: the reply texts are sent as written, so
// the characters the shell would act on there are escaped (a lone quote used to break the whole
// reply command, "$5" vanished).
QString ShellQuoted(const QString& text) {
    QString quoted;
    quoted.reserve(text.size());
    for (const QChar c : text) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted;
}

QStringList CommaFields(const QString& text) {
    QStringList fields;
    const int count = CommaWords(text);
    for (int i = 1; i <= count; ++i) {
        fields << CommaWord(text, i);
    }
    return fields;
}

int IndexOfName(const QStringList& names, const QString& name) {
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

bool IsForwardClause(const QString& word) {
    const QString u = Upper(word);
    return u == "SIZE" || u == "NOT-FROM" || u == "ONLY-FROM";
}

// Procmail variable names allow letters, digits and "_"; a catch-all's ".*" becomes "ALL".
QString FileVariableStem(const QString& pattern) {
    QString stem = Upper(pattern.left(pattern.indexOf('@')));
    if (stem == ".*" || stem.isEmpty()) {
        return QStringLiteral("ALL");
    }
    for (QChar& c : stem) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
            c = '_';
        }
    }
    return stem;
}

}  // namespace

struct RecipeGenerator::Impl {
    explicit Impl(RecipeGenerator& owner) : m_owner(owner) {}

    RecipeGenerator& m_owner;
    int m_pass = 1;
    QStringList m_out;

    // Definitions collected by pass 1.
    QList<Symbol> m_symbols;
    QList<BlockLine> m_blockLines;
    QStringList m_autoresponders;
    QStringList m_keepBodyResponders;
    QStringList m_mailingLists;
    QStringList m_unfilteredLists;
    QStringList m_recordLists;
    QStringList m_domains;
    QSet<QString> m_definedAddresses;  // lower case
    QString m_popPath = kDefaultPopPath;
    QString m_popAddress;
    QString m_spamDest = kTrashPath;
    bool m_formail = true;
    QString m_logfileMode = QStringLiteral("ON");
    QString m_unresolved;

    // Context, rebuilt by each pass.
    Context m_context = Context::Outside;
    QString m_blockName;
    QString m_domain;
    QString m_suffixedDomain;
    QStringList m_handledNames;
    bool m_catchAll = false;
    int m_ifDepth = 0;
    bool m_raw = false;
    bool m_lastWasUnresolved = false;
    QStringList m_inserting;  // record lists being inserted, innermost last

    bool Checking() const { return m_pass == 1 || !m_inserting.isEmpty(); }
    bool Collecting() const { return m_pass == 1; }
    bool Writing() const { return m_pass == 2; }

    void Emit(const QString& line) {
        if (Writing()) {
            m_out << line;
        }
    }

    [[noreturn]] void Fail(const QString& text) {
        m_owner.m_completed = false;
        m_owner.Report({MsgDlgType::Error, text});
        throw StopRun{};
    }

    static QString Stmt(const QString& line) { return kCrLf + DoubleAmpersand(line); }
    static QString OnLine(int lineNo) { return QString::number(lineNo) + ":"; }

    void ResetContext() {
        m_context = Context::Outside;
        m_blockName.clear();
        m_domain.clear();
        m_suffixedDomain.clear();
        m_handledNames.clear();
        m_catchAll = false;
        m_ifDepth = 0;
        m_raw = false;
        m_lastWasUnresolved = false;
    }

    // ---- line preparation ----

    QString Substitute(QString line, bool withDomain) const {
        for (int step = 0; step < kMaxSubstitutionSteps && line.contains('&'); ++step) {
            qsizetype bestPos = -1;
            qsizetype bestLen = 0;
            QString bestValue;
            auto consider = [&](const QString& name, const QString& value) {
                if (name.size() <= bestLen) {
                    return;
                }
                const qsizetype pos = line.indexOf(name, 0, Qt::CaseInsensitive);
                if (pos >= 0) {
                    bestPos = pos;
                    bestLen = name.size();
                    bestValue = value;
                }
            };
            if (withDomain) {
                consider(QStringLiteral("&DOMAIN"), m_domain);
            }
            for (const Symbol& symbol : m_symbols) {
                consider(symbol.name, symbol.value);
            }
            if (bestPos < 0) {
                break;
            }
            line.replace(bestPos, bestLen, bestValue);
        }
        return line;
    }

    void WarnIfAmpersandRemains(const QString& line) {
        if (line.size() > 4 && line.contains('&') && !line.startsWith('#') &&
            Upper(TextWord(line, 1)).left(4) != "AUTO") {
            m_owner.Report({MsgDlgType::Warning,
                            "Note presence of && in this line which remains after symbol "
                            "substitution:" +
                                Stmt(line)});
        }
    }

    void ProcessLine(const QString& asRead, int lineNo) {
        QString line = RemoveTab(asRead);
        if (TextWords(line) == 0 || line.startsWith('#')) {
            return;
        }
        const bool topLevel = m_inserting.isEmpty();
        if (m_raw) {
            const QString trimmed = TrimBlanks(line);
            if (TextWords(trimmed) == 2 && Upper(TextWord(trimmed, 1)) == "PROCMAIL" &&
                Upper(TextWord(trimmed, 2)) == "END") {
                m_raw = false;
            } else {
                Emit(asRead);
            }
            if (topLevel) {
                m_lastWasUnresolved = false;
            }
            return;
        }
        if (Upper(TextWord(line, 1)) != "SYMBOL") {
            line = Substitute(line, m_context == Context::Domain);
            if (m_pass == 1) {
                WarnIfAmpersandRemains(line);
            }
        }
        line = TrimBlanks(line);
        if (TextWords(line) == 0) {
            return;
        }
        if (topLevel) {
            m_lastWasUnresolved = Upper(TextWord(line, 1)) == "UNRESOLVED";
        }
        switch (m_context) {
            case Context::Outside:
                OutsideStatement(line, lineNo);
                break;
            case Context::Domain:
                DomainStatement(line, lineNo);
                break;
            case Context::Autoresponder:
                AutoresponderStatement(line, lineNo);
                break;
            case Context::MailingList:
                MailingListStatement(line, lineNo);
                break;
            case Context::RecordList:
                RecordListStatement(line, lineNo);
                break;
        }
    }

    // ---- blocks ----

    bool IsEndOf(const QString& line, const char* keyword) const {
        return TextWords(line) == 2 && Upper(TextWord(line, 1)) == keyword &&
               Upper(TextWord(line, 2)) == "END";
    }

    void StoreBlockLine(BlockKind kind, const QString& text, int lineNo) {
        if (!Collecting()) {
            return;
        }
        if (m_blockLines.size() >= kMaxBlockLines) {
            Fail(
                "Too many AUTORESPONDER, MAILINGLIST and RECORDLIST lines (> 10,000), 1st "
                "excess Stmt:" +
                Stmt(text));
        }
        m_blockLines.append({kind, m_blockName, text, lineNo});
    }

    void RecordListStatement(const QString& line, int lineNo) {
        if (IsEndOf(line, "RECORDLIST")) {
            m_context = Context::Outside;
            return;
        }
        static const QStringList kForbidden = {
            "LOGFILE",    "UNRESOLVED",  "POP",           "SPAMDEST", "DOMAIN",
            "RECORDLIST", "MAILINGLIST", "AUTORESPONDER", "AUTODIR",  "AUTOFROM",
            "AUTOTO",     "AUTOSUBJECT", "AUTOPROGRAM"};
        const QString keyword = TextWord(line, 1);
        if (kForbidden.contains(Upper(keyword))) {
            Fail(keyword + "statement should not be placed in RECORDLIST " + m_blockName +
                 " on line " + OnLine(lineNo) + Stmt(line));
        }
        StoreBlockLine(BlockKind::RecordList, line, lineNo);
    }

    void MailingListStatement(const QString& line, int lineNo) {
        if (IsEndOf(line, "MAILINGLIST")) {
            m_context = Context::Outside;
            return;
        }
        if (Upper(TextWord(line, 1)) == "MEMBER" && TextWords(line) >= 2) {
            StoreBlockLine(BlockKind::MailingList, line, lineNo);
            return;
        }
        Fail("Invalid statement in Mailinglist " + m_blockName + " on line " + OnLine(lineNo) +
             Stmt(line));
    }

    void AutoresponderStatement(const QString& line, int lineNo) {
        if (IsEndOf(line, "AUTORESPONDER")) {
            m_context = Context::Outside;
            return;
        }
        static const QStringList kStored = {"AUTOFROM",     "AUTOTO",      "AUTOSUBJECT",
                                            "AUTOTEXTLINE", "AUTOPROGRAM", "AUTODIR"};
        const QString keyword = Upper(TextWord(line, 1));
        if (!kStored.contains(keyword)) {
            Fail("Invalid statement in autoresponder " + m_blockName + " on line " +
                 OnLine(lineNo) + Stmt(line));
        }
        if (keyword == "AUTOTO" && TextWords(line) == 2 && Upper(TextWord(line, 2)) == "POP") {
            if (m_popAddress.isEmpty()) {
                Fail("Invalid AUTOTO stmt on line " + QString::number(lineNo) +
                     " because POP stmt has no associated email address:" + Stmt(line));
            }
            StoreBlockLine(BlockKind::Autoresponder, TextWord(line, 1) + " " + m_popAddress,
                           lineNo);
            return;
        }
        StoreBlockLine(BlockKind::Autoresponder, line, lineNo);
    }

    // Opens a named block, refusing a name used before by a block of the same kind.
    void OpenBlock(Context context, const QString& name, QStringList& names, const QString& kind) {
        if (Collecting()) {
            if (IndexOfName(names, name) >= 0) {
                Fail("ERROR: More than one " + kind + " uses the name " + name);
            }
            names << name;
        }
        m_context = context;
        m_blockName = name;
    }

    // "AUTORESPONDER name [KEEPBODY]" and "MAILINGLIST name [UNFILTERED]".
    void OpenOptionBlock(const QString& line, Context context, const QString& option,
                         QStringList& names, QStringList& withOption, const QString& kind) {
        const QString keyword = TextWord(line, 1).toUpper();
        const int words = TextWords(line);
        if (words > 3) {
            Fail(keyword + " statement should have 3 words at most, instead have:" + Stmt(line));
        }
        if (words == 3 && Upper(TextWord(line, 3)) != option) {
            Fail(keyword + " statement 3rd word (if present) should be " + option +
                 ", instead have:" + Stmt(line));
        }
        if (context == Context::Autoresponder && words < 2) {
            Fail("AUTORESPONDER statement needs Autoresponder name as 2nd word, instead have:" +
                 Stmt(line));
        }
        const QString name = TextWord(line, 2);
        OpenBlock(context, name, names, kind);
        if (Collecting() && words == 3) {
            withOption << name;
        }
    }

    // ---- outside any block ----

    // Settings (FORMAIL, POP, SPAMDEST, LOGFILE) take their values in pass 1 and hold for the
    // whole recipe, wherever they stand.
    void OutsideStatement(const QString& line, int lineNo) {
        const QString keyword = Upper(TextWord(line, 1));
        const int words = TextWords(line);
        const QString w2 = TextWord(line, 2);
        if (keyword == "SYMBOL") {
            SymbolStatement(line);
        } else if (keyword == "FORMAIL") {
            const QString value = Upper(w2);
            const bool on = value == "ON" || value == "YES";
            if (!on && value != "OFF" && value != "NO") {
                Fail("FORMAIL statement 2nd word should be ON or OFF, instead have:" + Stmt(line));
            }
            if (Collecting()) {
                m_formail = on;
            }
        } else if (keyword == "POP") {
            if (words > 3) {
                Fail(
                    "POP statement should only be followed by Unix filename of POP mailbox "
                    "and/or normal email address associated with POP, instead have:" +
                    Stmt(line));
            }
            for (int i = 2; i <= words && Collecting(); ++i) {
                const QString word = TextWord(line, i);
                if (word.contains('/')) {
                    m_popPath = word;
                } else if (IsEmailAddress(word)) {
                    m_popAddress = word;
                }
            }
        } else if (keyword == "SPAMDEST") {
            if (words > 2) {
                Fail(
                    "SPAMDEST statement should only be followed by Unix filename of POP mailbox "
                    "or normal email address associated with SPAMDEST, instead have:" +
                    Stmt(line));
            }
            if (!Collecting()) {
                return;
            }
            if (Upper(w2) == "TRASHCAN") {
                m_spamDest = kTrashPath;
            } else if (IsEmailAddress(w2) || w2.contains('/')) {
                m_spamDest = w2;
            }
        } else if (keyword == "LOGFILE") {
            const QString mode = Upper(w2);
            if (mode != "ON" && mode != "OFF" && mode != "VERBOSE" && mode != "SELECTIVE") {
                Fail("LOGFILE keyword should be followed by ON OFF or VERBOSE, instead have:" +
                     Stmt(line));
            }
            if (Collecting()) {
                m_logfileMode = mode;
            }
        } else if (keyword == "AUTORESPONDER") {
            OpenOptionBlock(line, Context::Autoresponder, "KEEPBODY", m_autoresponders,
                            m_keepBodyResponders, "Autoresponder");
        } else if (keyword == "MAILINGLIST") {
            OpenOptionBlock(line, Context::MailingList, "UNFILTERED", m_mailingLists,
                            m_unfilteredLists, "Mailinglist");
        } else if (keyword == "RECORDLIST") {
            if (words > 2) {
                Fail("RECORDLIST statement should have 2 words at most, instead have:" +
                     Stmt(line));
            }
            OpenBlock(Context::RecordList, w2, m_recordLists, "RecordList");
        } else if (keyword == "DOMAIN") {
            DomainOpening(line, lineNo);
        } else if (IsFilterKeyword(keyword)) {
            FilterStatement(line, lineNo);
        } else if (keyword == "INSERT" && words == 3 && Upper(w2) == "RECORDLIST") {
            InsertStatement(line, lineNo);
        } else if (keyword == "UNRESOLVED") {
            if (words < 3 || w2 != "->") {
                Fail("UNRESOLVED statement needs 3 words with 2nd being -> , instead have:" +
                     Stmt(line));
            }
            const QString dest = TrimBlanks(line.mid(line.indexOf("->") + 2));
            if (!IsValidDestinationList(dest)) {
                Fail("Invalid UNRESOLVED statement on line " + OnLine(lineNo) + Stmt(line));
            }
            m_unresolved = dest;
        } else {
            Fail("Keyword " + TextWord(line, 1) + " is invalid as used in line " + OnLine(lineNo) +
                 Stmt(line));
        }
    }

    void SymbolStatement(const QString& line) {
        if (!Checking()) {
            return;
        }
        if (TextWords(line) != 4) {
            Fail("SYMBOL statement should contain 4 words, instead have:" + Stmt(line));
        }
        if (Upper(TextWord(line, 3)) != "IS") {
            Fail("SYMBOL statement 3rd word should be IS, instead have:" + Stmt(line));
        }
        const QString name = TextWord(line, 2);
        if (!name.startsWith('&')) {
            Fail("SYMBOL statement 2nd word should begin with &, instead have:" + Stmt(line));
        }
        // &DOMAIN is predefined; a user symbol of that name would silently lose to it.
        if (Upper(name) == "&DOMAIN") {
            Fail("SYMBOL statement should not redefine &&DOMAIN, instead have:" + Stmt(line));
        }
        if (m_symbols.size() >= kMaxSymbols) {
            Fail("Too many SYMBOL statements (> 10,000), 1st excess Stmt:" + Stmt(line));
        }
        if (Collecting()) {
            m_symbols.append({name, TextWord(line, 4)});
        }
    }

    // Splits "name[.suffix]" into the domain and its suffixed form; empty domain on error.
    bool ParseDomainName(const QString& word, QString* domain, QString* suffixed) const {
        const qsizetype open = word.indexOf('[');
        if (open < 0) {
            *domain = word;
            suffixed->clear();
            return !word.contains(']');
        }
        const QString bracketed = word.mid(open + 1);
        if (!bracketed.endsWith(']')) {
            return false;
        }
        const QString suffix = bracketed.chopped(1);
        if (!suffix.startsWith('.') || suffix.size() < 3 || suffix.contains('[') ||
            suffix.contains(']') || open == 0) {
            return false;
        }
        *domain = word.left(open);
        *suffixed = *domain + suffix;
        return true;
    }

    void DomainOpening(const QString& line, int lineNo) {
        const int words = TextWords(line);
        const QString w2 = TextWord(line, 2);
        if (words == 2 && Upper(w2) == "END") {
            Fail(
                "DOMAIN END statement present without a valid preceeding DOMAIN statement in "
                "effect");
        }
        if (words != 2 && words != 5) {
            Fail("DOMAIN statement should have 2 or 5 words, instead have:" + Stmt(line));
        }
        if (words == 5 && (Upper(TextWord(line, 3)) != "ALL" || TextWord(line, 4) != "->")) {
            Fail("DOMAIN statement 3rd and 4th words should be \"ALL ->\", instead have:" +
                 Stmt(line));
        }
        QString domain;
        QString suffixed;
        if (!ParseDomainName(w2, &domain, &suffixed)) {
            Fail("DOMAIN statement suffixing error:" + Stmt(line));
        }
        if (Collecting()) {
            if (IndexOfName(m_domains, domain) >= 0) {
                Fail("ERROR: More than one DOMAIN statement uses the name " + domain);
            }
            m_domains << domain;
        }
        if (words == 2) {
            m_context = Context::Domain;
            m_domain = domain;
            m_suffixedDomain = suffixed;
            m_handledNames.clear();
            m_catchAll = false;
            m_ifDepth = 0;
            m_raw = false;
            return;
        }
        const QString dest = TextWord(line, 5);
        if (Checking() && !IsValidDestinationList(dest)) {
            Fail("Invalid DOMAIN statement on line " + OnLine(lineNo) + Stmt(line));
        }
        if (Writing()) {
            CheckNoLoop(dest, domain, line, lineNo);
            const QString saved = m_domain;
            m_domain = domain;
            Expand(".*@" + domain, dest, DeliveryRequest{});
            m_domain = saved;
        }
    }

    // ---- destinations ----

    bool IsValidDestination(const QString& dest) const {
        QString name;
        QString address;
        if (SplitDisplayName(dest, &name, &address) || IsEmailAddress(dest) || dest.contains('/')) {
            return true;
        }
        const QString u = Upper(dest);
        return u == "POP" || u == "TRASHCAN" || u == "SPAMDEST" ||
               IndexOfName(m_autoresponders, dest) >= 0 || IndexOfName(m_mailingLists, dest) >= 0;
    }

    bool IsValidDestinationList(const QString& dest) const {
        const int count = CommaWords(dest);
        if (count == 0) {
            return false;
        }
        for (int i = 1; i <= count; ++i) {
            if (!IsValidDestination(CommaWord(dest, i))) {
                return false;
            }
        }
        return true;
    }

    bool IsDefinedAddress(const QString& dest) const {
        return m_definedAddresses.contains(AddressOf(dest).toLower());
    }

    void AddDefinedAddress(const QString& address) {
        const QString lower = address.toLower();
        if (m_definedAddresses.size() < kMaxDefinedAddresses) {
            m_definedAddresses.insert(lower);
        }
    }

    void CheckNoLoop(const QString& destList, const QString& domain, const QString& line,
                     int lineNo) {
        for (const QString& dest : CommaFields(destList)) {
            if (IsDefinedAddress(dest)) {
                Fail("Invalid stmt in domain " + domain +
                     " (destination is an address defined in this recipe and would cause "
                     "looping) on line " +
                     OnLine(lineNo) + Stmt(line));
            }
        }
    }

    QString ResolveKeyword(const QString& dest) const {
        const QString u = Upper(dest);
        if (u == "POP") {
            return m_popPath;
        }
        if (u == "SPAMDEST") {
            return m_spamDest;
        }
        if (u == "TRASHCAN") {
            return kTrashPath;
        }
        return dest;
    }

    // Every destination of a comma list becomes one or more deliveries of the pattern.
    void Expand(const QString& pattern, const QString& destList, const DeliveryRequest& base) {
        for (const QString& item : CommaFields(destList)) {
            DeliveryRequest request = base;
            const int responder = IndexOfName(m_autoresponders, item);
            const int list = IndexOfName(m_mailingLists, item);
            if (responder >= 0) {
                request.destination = m_autoresponders[responder];
                request.autoresponder = m_autoresponders[responder];
            } else if (list >= 0) {
                ExpandMailingList(pattern, m_mailingLists[list], base);
                continue;
            } else {
                request.destination = ResolveKeyword(item);
            }
            WriteDelivery(pattern, request);
        }
    }

    void ExpandMailingList(const QString& pattern, const QString& list,
                           const DeliveryRequest& base) {
        const bool unfiltered = IndexOfName(m_unfilteredLists, list) >= 0;
        for (const BlockLine& member : m_blockLines) {
            if (member.kind != BlockKind::MailingList ||
                member.block.compare(list, Qt::CaseInsensitive) != 0) {
                continue;
            }
            const QString dest = TextWord(member.text, 2);
            if (IsDefinedAddress(dest)) {
                Fail(
                    "Invalid MEMBER stmt (destination is an address defined in this recipe and "
                    "would cause looping) on line " +
                    OnLine(member.lineNo) + Stmt(member.text));
            }
            DeliveryRequest request = base;
            request.destination = ResolveKeyword(dest);
            if (!unfiltered) {
                QString sender = TextWord(member.text, 3);
                if (sender.isEmpty()) {
                    sender = Upper(dest) == "POP" ? m_popAddress : AddressOf(dest);
                }
                if (!sender.isEmpty()) {
                    request.notFrom << sender;
                }
            }
            WriteDelivery(pattern, request);
        }
    }

    // ---- the delivery writer ----

    void WriteDelivery(const QString& pattern, const DeliveryRequest& request) {
        const bool responder = !request.autoresponder.isEmpty();
        // A program-driven autoresponder is a block: with "c" procmail would clone itself, and
        // the clone would run the rest of the recipe a second time.
        const bool block =
            responder && !TrimBlanks(ResponderText(request.autoresponder, "AUTOPROGRAM")).isEmpty();
        Emit((request.destination == kTrashPath && !responder) || block ? ":0 " : ":0 c ");
        if (!request.notSuffix.isEmpty()) {
            Emit("* ^X-Envelope-To.*\\<" + pattern + "\\> ");
            // "\>" also matches before the "." of a suffix, so the suffixed form is excluded
            // explicitly.
            Emit("* !^X-Envelope-To.*\\<" + request.notSuffix + " ");
        } else {
            Emit("* ^X-Envelope-To.*\\<" + pattern + " ");
        }
        for (const QString& address : request.notTo) {
            Emit("* !^X-Envelope-To.*\\<" + address + " ");
        }
        if (!request.notFrom.isEmpty()) {
            Emit("* !^From:.*(" + request.notFrom.join('|') + ") ");
        }
        if (request.onlyFrom.size() == 1) {
            Emit("* ^From:.*" + request.onlyFrom.first() + " ");
        } else if (request.onlyFrom.size() > 1) {
            Emit("* ^From:.*(" + request.onlyFrom.join('|') + ") ");
        }
        if (responder) {
            Emit("* !^FROM_DAEMON ");
        }
        if (!request.sizeOp.isEmpty()) {
            Emit("* " + request.sizeOp + " " + request.sizeN + " ");
        }
        if (responder) {
            Emit("* !^X-Loop: " + request.autoresponder + " ");
            if (Upper(TrimBlanks(ResponderText(request.autoresponder, "AUTOTO"))) ==
                "NOTTHISDOMAIN") {
                Emit("* !((^From:.*)(.*@" + m_domain + ")) ");
            }
            WriteResponderAction(pattern, request.autoresponder);
            return;
        }
        QString name;
        QString address;
        QString dest = request.destination;
        if (SplitDisplayName(dest, &name, &address)) {
            if (m_formail) {
                // The recipient is named on the command line: "-t" would also resend the
                // message to every Cc and Bcc of the original.
                Emit("   | (formail -i\"To: " + name + " <" + address + ">\") | $SENDMAIL -oi " +
                     address + " ");
                return;
            }
            dest = address;
        }
        if (dest.contains('/') && !IsEmailAddress(dest)) {
            Emit(dest + " ");
        } else {
            Emit("! " + dest + " ");
        }
    }

    // The text after the keyword of the autoresponder's last such statement, with its leading
    // blank; empty when there is none.
    QString ResponderText(const QString& responder, const QString& keyword) const {
        QString text;
        for (const BlockLine& line : m_blockLines) {
            if (line.kind == BlockKind::Autoresponder &&
                line.block.compare(responder, Qt::CaseInsensitive) == 0 &&
                Upper(TextWord(line.text, 1)) == keyword) {
                text = line.text.mid(TextWord(line.text, 1).size());
            }
        }
        return text;
    }

    void WriteResponderAction(const QString& pattern, const QString& responder) {
        const QString program = TrimBlanks(ResponderText(responder, "AUTOPROGRAM"));
        if (!program.isEmpty()) {
            const QString stem = FileVariableStem(pattern);
            const QString variable = "FILE" + stem;
            QString dir = TrimBlanks(ResponderText(responder, "AUTODIR"));
            if (dir.endsWith('/')) {
                dir.chop(1);
            }
            if (dir.isEmpty()) {
                dir = QStringLiteral("$HOME");
            }
            Emit("{ ");
            Emit("   " + variable + "=`date \"+" + dir + "/recvd" + stem + "_%Y%m%d%H%M%S\"` ");
            // A copy, so that the program still runs after the message is stored.
            Emit("   :0 c ");
            Emit("   ${" + variable + "} ");
            Emit("   RESULT=`" + program + " \"${" + variable + "}\"` ");
            Emit("} ");
            return;
        }
        const bool keepBody = IndexOfName(m_keepBodyResponders, responder) >= 0;
        Emit(keepBody ? "   | (formail -brkt \\" : "   | (formail -r -A\"Precedence: junk\" \\");
        const QString to = ResponderText(responder, "AUTOTO");
        if (!to.isEmpty() && Upper(TrimBlanks(to)) != "NOTTHISDOMAIN") {
            Emit("      -I\"To: " + ShellQuoted(to) + "\" \\");
        }
        const QString from = ResponderText(responder, "AUTOFROM");
        if (!from.isEmpty()) {
            Emit("      -I\"From: " + ShellQuoted(Substitute(from, !m_domain.isEmpty())) + "\" \\");
        }
        const QString subject = ResponderText(responder, "AUTOSUBJECT");
        if (!subject.isEmpty()) {
            Emit("      -I\"Subject: " + ShellQuoted(subject) + "\" \\");
        }
        Emit("      -A\"X-Loop: " + responder + "\" ; \\");
        for (const BlockLine& line : m_blockLines) {
            if (line.kind == BlockKind::Autoresponder &&
                line.block.compare(responder, Qt::CaseInsensitive) == 0 &&
                Upper(TextWord(line.text, 1)) == "AUTOTEXTLINE") {
                QString text = line.text.mid(TextWord(line.text, 1).size());
                if (text.isEmpty()) {
                    text = QStringLiteral(" ");
                }
                Emit("      echo \"" + ShellQuoted(Substitute(text, !m_domain.isEmpty())) +
                     "\" ;\\");
            }
        }
        Emit(keepBody ? "      ) | $SENDMAIL -oi -t " : "      ) | $SENDMAIL -t ");
    }

    // ---- filters ----

    static bool IsFilterKeyword(const QString& keyword) {
        return keyword == "SPAMMER" || keyword == "SPAMTEXT" || keyword == "SUBJECT-FILTER" ||
               keyword == "TO-FILTER";
    }

    void FilterStatement(const QString& line, int lineNo) {
        if (!Writing()) {
            return;
        }
        const QString keywordAsWritten = TextWord(line, 1);
        const QString keyword = Upper(keywordAsWritten);
        const QString text = TrimBlanks(line.mid(keywordAsWritten.size()));
        // An empty pattern would match every message and send all mail to the spam destination.
        if (text.isEmpty()) {
            Fail("Keyword " + keywordAsWritten + " is Invalid as used in line " + OnLine(lineNo) +
                 Stmt(line));
        }
        if (keyword == "SPAMTEXT") {
            if (text.startsWith('!')) {
                Fail("SPAMTEXT data begins with exclamation mark (invalid) in line " +
                     OnLine(lineNo) + Stmt(line));
            }
            if (text.contains('<') || text.contains('>')) {
                Fail("SPAMTEXT data contains > or < (invalid) in line " + OnLine(lineNo) +
                     Stmt(line));
            }
        }
        const bool inDomain = m_context == Context::Domain;
        const QString spamAction =
            IsEmailAddress(m_spamDest) ? "! " + m_spamDest + " " : m_spamDest + " ";
        const QString domainCondition = "* ^X-Envelope-To.*\\<.*@" + m_domain + " ";
        auto recipe = [&](const QString& flags, const QString& condition) {
            Emit(flags);
            if (inDomain) {
                Emit(domainCondition);
            }
            Emit(condition);
            Emit(spamAction);
        };
        if (keyword == "SUBJECT-FILTER") {
            recipe(":0 ", "* ^Subject:.*" + text + (inDomain ? " " : ".* "));
        } else if (keyword == "TO-FILTER") {
            const QString end = inDomain ? ".* " : " ";
            recipe(":0 ", "* ^To:.*" + text + end);
            recipe(":0 ", "* ^Cc:.*" + text + end);
            recipe(":0 ", "* ^X-Envelope-To:.*" + text + end);
        } else if (keyword == "SPAMMER") {
            const QString address = TextWord(line, 2);
            recipe(":0 ", "* ^From:.*" + address + " ");
            recipe(":0 ", "* ^Return-Path:.*" + address + " ");
            if (!inDomain && address != "<>") {
                recipe(":0 ", "* ^Reply-To:.*" + address + ".* ");
            }
        } else {
            recipe(inDomain ? ":0BH " : ":0B ", "* " + text + " ");
        }
    }

    // ---- INSERT RECORDLIST ----

    void InsertStatement(const QString& line, int lineNo) {
        if (!Writing()) {
            return;
        }
        const QString name = TextWord(line, 3);
        const int index = IndexOfName(m_recordLists, name);
        if (index < 0) {
            Fail("INSERT stmt nominates non-existent RECORDLIST in line " + OnLine(lineNo) +
                 Stmt(line));
        }
        // A list inserting itself, directly or through another, would never end.
        if (IndexOfName(m_inserting, name) >= 0) {
            Fail("INSERT stmt nominates RECORDLIST " + name +
                 " which is already being inserted "
                 "in line " +
                 OnLine(lineNo) + Stmt(line));
        }
        m_inserting << m_recordLists[index];
        for (const BlockLine& stored : m_blockLines) {
            if (stored.kind == BlockKind::RecordList &&
                stored.block.compare(name, Qt::CaseInsensitive) == 0) {
                ProcessLine(stored.text, stored.lineNo);
            }
        }
        m_inserting.removeLast();
    }

    // ---- inside a domain ----

    [[noreturn]] void FailInDomain(const QString& line, int lineNo) {
        Fail("Invalid statement in domain " + m_domain + " on line " + OnLine(lineNo) + Stmt(line));
    }

    void DomainStatement(const QString& line, int lineNo) {
        const QString keyword = Upper(TextWord(line, 1));
        const QString w2 = TextWord(line, 2);
        const int words = TextWords(line);
        if (keyword == "DOMAIN" && Upper(w2) == "END") {
            if (words != 2) {
                Fail("DOMAIN END statement found when not at end of defined domain");
            }
            if (m_ifDepth != 0) {
                Fail("DOMAIN " + m_domain + " has an unequal number of IF and END statements");
            }
            if (!m_catchAll) {
                Expand(".*@" + m_domain, "TRASHCAN", DeliveryRequest{});
            }
            m_context = Context::Outside;
            return;
        }
        if (keyword == "PROCMAIL" && Upper(w2) == "START" && words == 2) {
            m_raw = true;
            return;
        }
        if (keyword == "IF") {
            IfStatement(line, lineNo);
            return;
        }
        if (keyword == "END" && words == 1) {
            if (--m_ifDepth < 0) {
                Fail("DOMAIN " + m_domain +
                     " has an END statement which does not correspond to a preceding IF "
                     "statement");
            }
            Emit("} ");
            return;
        }
        if (IsFilterKeyword(keyword)) {
            FilterStatement(line, lineNo);
            return;
        }
        if (keyword == "INSERT") {
            if (words != 3 || Upper(w2) != "RECORDLIST") {
                FailInDomain(line, lineNo);
            }
            InsertStatement(line, lineNo);
            return;
        }
        if (words == 2 && (Upper(w2) == "EXTERNAL" || Upper(w2).startsWith("POP("))) {
            NamedAddress(line, lineNo, nullptr);
            return;
        }
        if (w2 == "->" && words >= 3) {
            ForwardStatement(line, lineNo);
            return;
        }
        FailInDomain(line, lineNo);
    }

    void IfStatement(const QString& line, int lineNo) {
        const int words = TextWords(line);
        const QString kind = Upper(TextWord(line, 2));
        bool valid = words >= 5 && Upper(TextWord(line, words)) == "BEGIN" &&
                     Upper(TextWord(line, words - 1)) == "THEN";
        if (kind == "SIZE") {
            const QString op = TextWord(line, 3);
            valid = valid && words == 6 && (op == ">" || op == "<") && IsInteger(TextWord(line, 4));
        } else if (kind != "FROM" && kind != "NOTFROM") {
            valid = false;
        }
        if (!valid) {
            FailInDomain(line, lineNo);
        }
        ++m_ifDepth;
        // Not "c": on a block that makes procmail clone itself, and the clone would go on to
        // deliver every later recipe a second time. The recipes inside are copies anyway.
        Emit(":0 ");
        if (kind == "SIZE") {
            Emit("* " + TextWord(line, 3) + " " + TextWord(line, 4) + " ");
        } else {
            const int last = words - 2;
            for (int i = 3; i <= last; ++i) {
                const QString address = TextWord(line, i);
                if (kind == "FROM") {
                    Emit(QString(i == 3 ? "* " : "  ") + kSenderHeaders + address + ")" +
                         (i < last ? "|\\" : " "));
                } else {
                    Emit("* !" + kSenderHeaders + address + ") ");
                }
            }
        }
        Emit("{ ");
    }

    // Name part of a forwarding or EXTERNAL line: the address pattern it stands for, recorded
    // as a defined address and as a handled name of the domain. Suffix gets -1 for "/-s" and
    // +1 for "/+s".
    QString NamedAddress(const QString& line, int lineNo, int* suffixOut) {
        QString name = TextWord(line, 1);
        int suffix = 0;
        const QString tail = Upper(name.right(3));
        if (tail == "/-S" || tail == "/+S") {
            suffix = tail == "/-S" ? -1 : 1;
            name.chop(3);
        }
        if (name.isEmpty() || (suffix == 1 && m_suffixedDomain.isEmpty())) {
            FailInDomain(line, lineNo);
        }
        if (suffixOut != nullptr) {
            *suffixOut = suffix;
        }
        const bool catchAll = name == "?";
        const QString local = catchAll ? QStringLiteral(".*") : name;
        const QString pattern = local + "@" + (suffix == 1 ? m_suffixedDomain : m_domain);
        if (catchAll) {
            return pattern;
        }
        if (Checking()) {
            if (suffix != 1) {
                AddDefinedAddress(name + "@" + m_domain);
            }
            if (suffix != -1 && !m_suffixedDomain.isEmpty()) {
                AddDefinedAddress(name + "@" + m_suffixedDomain);
            }
        }
        // A name for the unsuffixed domain only must not keep the suffixed one from the
        // catch-all, so its pattern ends where the address ends.
        const QString handled =
            suffix == -1 && !m_suffixedDomain.isEmpty() ? pattern + "($|[^-.a-z0-9_])" : pattern;
        if (Writing() && !m_handledNames.contains(handled, Qt::CaseInsensitive)) {
            m_handledNames << handled;
        }
        return pattern;
    }

    void ForwardStatement(const QString& line, int lineNo) {
        const int words = TextWords(line);
        const QString dest = TextWord(line, 3);
        DeliveryRequest request;
        int i = 4;
        if (i <= words && Upper(TextWord(line, i)) == "IF") {
            ++i;
        }
        while (i <= words) {
            const QString clause = Upper(TextWord(line, i));
            if (clause == "SIZE") {
                const QString op = TextWord(line, i + 1);
                if ((op != ">" && op != "<") || !IsInteger(TextWord(line, i + 2))) {
                    FailInDomain(line, lineNo);
                }
                request.sizeOp = op;
                request.sizeN = TextWord(line, i + 2);
                i += 3;
            } else if (clause == "NOT-FROM") {
                const qsizetype before = request.notFrom.size();
                for (++i; i <= words && !IsForwardClause(TextWord(line, i)); ++i) {
                    request.notFrom << CommaFields(TextWord(line, i));
                }
                if (request.notFrom.size() == before) {
                    FailInDomain(line, lineNo);
                }
            } else if (clause == "ONLY-FROM") {
                ++i;
                if (i > words || IsForwardClause(TextWord(line, i))) {
                    FailInDomain(line, lineNo);
                }
                if (!request.onlyFrom.isEmpty() ||
                    (i + 1 <= words && !IsForwardClause(TextWord(line, i + 1)))) {
                    Fail(DoubleAmpersand(line) + kCrLf +
                         " - attempt to specify more than one ONLY-FROM address");
                }
                request.onlyFrom = CommaFields(TextWord(line, i));
                ++i;
            } else {
                FailInDomain(line, lineNo);
            }
        }
        if (Checking() && !IsValidDestinationList(dest)) {
            FailInDomain(line, lineNo);
        }
        int suffix = 0;
        const QString pattern = NamedAddress(line, lineNo, &suffix);
        if (!Writing()) {
            return;
        }
        CheckNoLoop(dest, m_domain, line, lineNo);
        if (pattern.startsWith(".*@")) {
            request.notTo = m_handledNames;
            m_catchAll = true;
        }
        if (suffix == -1 && !m_suffixedDomain.isEmpty()) {
            request.notSuffix = pattern.left(pattern.indexOf('@') + 1) + m_suffixedDomain;
        }
        Expand(pattern, dest, request);
    }

    // ---- the run ----

    void Pass(const QStringList& lines) {
        ResetContext();
        for (int i = 0; i < lines.size(); ++i) {
            ProcessLine(lines[i], i + 1);
        }
    }

    void Run(const QStringList& lines, const QString& revisionLine) {
        m_pass = 1;
        ResetContext();
        for (int i = 0; i < lines.size(); ++i) {
            if (i == 0) {
                m_out << "#.." + revisionLine;
                if (lines[0] != revisionLine) {
                    m_out << "#.." + lines[0];
                }
            } else {
                m_out << "#.." + lines[i];
            }
            ProcessLine(lines[i], i + 1);
        }
        if (!m_lastWasUnresolved) {
            Fail("ERROR: Last (non-comment) statement is not UNRESOLVED -> (address)");
        }

        m_out << (m_logfileMode == "OFF" ? "LOGFILE=" + kTrashPath + " "
                                         : QStringLiteral("LOGFILE=$HOME/.procmail.log "));
        m_out << (m_logfileMode == "VERBOSE" ? QStringLiteral("VERBOSE=on ")
                                             : QStringLiteral("VERBOSE=off "));
        m_out << QStringLiteral("LINEBUF=2048 ");

        m_pass = 2;
        Pass(lines);
        for (const QString& domain : m_domains) {
            Emit("# Destroy any messages examined for domain " + domain);
            Emit(":0 ");
            Emit("* ^X-Envelope-To.*\\<.*@" + domain + " ");
            Emit(kTrashPath + " ");
        }
        m_domain.clear();
        if (Upper(m_unresolved) != "POP" && m_unresolved != m_popPath) {
            Expand(".*@", m_unresolved, DeliveryRequest{});
        }
    }
};

RecipeGenerator::RecipeGenerator(MessageSink sink) : m_sink(std::move(sink)) {}

void RecipeGenerator::Report(const RecipeMessage& message) {
    m_messages.append(message);
    if (m_sink) {
        m_sink(message);
    }
}

QString RecipeGenerator::RevisionLine(const QStringList& mdlLines, const QDateTime& now) {
    if (!mdlLines.isEmpty() && mdlLines[0].startsWith('#') && mdlLines[0].contains("generated")) {
        return mdlLines[0];
    }
    return "# Last revision 001 generated " + now.toString("yyyy-MM-dd") + " " +
           now.toString("hh:mm:ss") + " by Vorlen FTP";
}

QStringList RecipeGenerator::Generate(const QStringList& mdlLines, const QDateTime& now) {
    m_completed = true;
    m_messages.clear();
    Impl impl(*this);
    try {
        impl.Run(mdlLines, RevisionLine(mdlLines, now));
    } catch (const StopRun&) {
        m_completed = false;
    }
    QStringList output = impl.m_out;
    if (!m_completed) {
        output.prepend(kRecipeErrorMarker);
    }
    return output;
}
