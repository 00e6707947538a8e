#pragma once

#include <QMap>
#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

class TfrmMain;

// The help topics window and one text window per topic. The texts are resources
// (":/help/<file>.md").
class TfrmHelp : public QWidget {
    Q_OBJECT
public:
    explicit TfrmHelp(TfrmMain& main);

    static QStringList Topics();
    // The resource holding a topic's text.
    static QString TopicResource(const QString& topic);
    // "Help for Vorlen FTP version <version>", or without the version when none is known.
    static QString TitleFor(const QString& version);

    void ShowTopics();
    // Opens (or raises) the text window of Topic; returns it.
    QWidget* ShowTopic(const QString& topic);

private:
    TfrmMain& m_main;
    QMap<QString, QPointer<QWidget>> m_windows;
};
