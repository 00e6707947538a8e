#pragma once

#include <QObject>

class QAction;
class LogProcessing;
class LogRetrieval;

// The window side of the web logs: the two Tools menu entries.
class LogsView : public QObject {
    Q_OBJECT
public:
    LogsView(QObject* parent, QAction* retrieval, QAction* processing, LogRetrieval& logs,
             LogProcessing& processor);
};
