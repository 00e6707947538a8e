#include "ui/model/name_filter.h"

void NameFilter::Set(const QString& text, bool showHidden) {
    m_text = text.trimmed();
    m_showHidden = showHidden;
    m_wildcard = QRegularExpression();
    if (m_text.contains('*') || m_text.contains('?')) {
        // Only * and ? are wildcards here: brackets are ordinary characters of a name.
        QString pattern;
        for (const QChar c : m_text) {
            pattern += c == '*'   ? QStringLiteral(".*")
                       : c == '?' ? QStringLiteral(".")
                                  : QRegularExpression::escape(QString(c));
        }
        m_wildcard = QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                        QRegularExpression::CaseInsensitiveOption);
    }
}

bool NameFilter::Accepts(const QString& name) const {
    if (name == "..") {
        return true;
    }
    if (!m_showHidden && name.startsWith('.')) {
        return false;
    }
    if (m_text.isEmpty()) {
        return true;
    }
    if (m_wildcard.pattern().isEmpty()) {
        return name.contains(m_text, Qt::CaseInsensitive);
    }
    return m_wildcard.match(name).hasMatch();
}
