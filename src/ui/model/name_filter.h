#pragma once

#include <QRegularExpression>
#include <QString>

// What a file list shows: names matching the filter box (wildcards as in scripts, "*" and "?",
// or else any part of the name; letter case never counts) and, unless asked for, no names
// beginning with ".". The ".." row is always shown.
class NameFilter {
public:
    void Set(const QString& text, bool showHidden);
    // True when some name may be left out.
    bool Active() const { return !m_text.isEmpty() || !m_showHidden; }
    bool Accepts(const QString& name) const;
    const QString& Text() const { return m_text; }

private:
    QString m_text;
    bool m_showHidden = true;
    QRegularExpression m_wildcard;  // valid only when the text has a wildcard
};
