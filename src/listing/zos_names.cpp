#include "listing/zos_names.h"

#include "runtime/user_interface.h"

namespace {

bool IsNameStart(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'@' || c == u'#' ||
           c == u'$';
}

bool IsNameChar(QChar c) {
    return IsNameStart(c) || (c >= u'0' && c <= u'9');
}

bool LegalMemberName(const QString& name) {
    return LegalMVSFormat(name) && name.size() <= 8 && !name.contains(u'.');
}

}  // namespace

QString NoMVSQuotes(bool zosMode, const QString& name) {
    if (!zosMode) {
        return name;
    }
    QString result = name;
    if (result.endsWith(u'\'')) {
        result.chop(1);
    }
    if (result.startsWith(u'\'')) {
        result.remove(0, 1);
    }
    return result;
}

QString QuotedNameIfMVS(bool zosMode, const QString& name) {
    if (!zosMode || name.contains(u'/')) {
        return name;
    }
    QString result = name;
    if (!result.endsWith(u'\'')) {
        result.append(u'\'');
    }
    if (!result.startsWith(u'\'')) {
        result.prepend(u'\'');
    }
    return result;
}

QString JoinRemotePath(bool zosMode, const QString& dir, const QString& name) {
    QString result = dir;
    bool leadingQuote = false;
    bool trailingQuote = false;
    const QChar separator = zosMode ? u'.' : u'/';
    if (zosMode) {
        if (result.startsWith(u'\'')) {
            result.remove(0, 1);
            leadingQuote = true;
        }
        if (result.endsWith(u'\'')) {
            result.chop(1);
            trailingQuote = true;
        }
    }
    if (!result.isEmpty() && !result.endsWith(separator)) {
        result.append(separator);
    }
    result.append(name);
    if (leadingQuote) {
        result.prepend(u'\'');
    }
    if (trailingQuote) {
        result.append(u'\'');
    }
    return result;
}

bool LegalMVSFormat(const QString& name) {
    int qualifierLength = 0;
    for (const QChar c : name) {
        if (c == u'.') {
            if (qualifierLength == 0) {
                return false;
            }
            qualifierLength = 0;
            continue;
        }
        ++qualifierLength;
        if (qualifierLength > 8 || !(qualifierLength == 1 ? IsNameStart(c) : IsNameChar(c))) {
            return false;
        }
    }
    return true;
}

QString GetLegalMVSName(UserInterface& ui, bool inPds, const QString& name) {
    const QString title = inPds ? QStringLiteral("Get Legal z/OS PDS member name")
                                : QStringLiteral("Get Legal z/OS Name");
    const QString prompt =
        inPds ? QStringLiteral(
                    "Please supply new z/OS legal PDS member name "
                    "for transfer of ")
              : QStringLiteral("Please supply new z/OS legal name for transfer of ");
    // An empty answer would name no dataset at all, so it is asked again like an illegal one.
    auto acceptable = [inPds](const QString& candidate) {
        return !candidate.isEmpty() &&
               (inPds ? LegalMemberName(candidate) : LegalMVSFormat(candidate));
    };
    QString current = name;
    while (!acceptable(current)) {
        QString answer = current;
        if (!ui.InputQuery(title, prompt + current + QStringLiteral(" :"), answer)) {
            return QStringLiteral("?");
        }
        current = answer;
    }
    return current.toUpper();
}
