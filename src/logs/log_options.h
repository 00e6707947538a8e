#pragma once

#include <QString>
#include <QStringList>

// What the "Set Log Processing Options" dialog edits for one run: the domain of the prefix,
// the "/"-separated summary extensions and the URL filters. Each rule returns the message to
// show, empty when the change was made.
struct LogOptions {
    QString prefix;
    QString domain;
    QString summaryText;
    QStringList urlFilters;
    // The configured values the Default buttons go back to.
    QString configuredSummary;
    QStringList configuredFilters;

    // The summary extensions, sorted, as the dialog lists them.
    QStringList SortedExtensions() const;
    QStringList SortedFilters() const;

    QString AddExtension(const QString& typed);
    QString DeleteExtension(const QString& selected);
    void DefaultExtensions() { summaryText = configuredSummary; }
    QString AddFilter(const QString& typed);
    QString DeleteFilter(const QString& selected);
    void DefaultFilters() { urlFilters = configuredFilters; }
};

// The settings key of the domain for a log prefix; "www" logs are told apart by the site's user.
QString DomainKeyForPrefix(const QString& prefix, const QString& userid);
