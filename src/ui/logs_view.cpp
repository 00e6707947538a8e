#include "ui/logs_view.h"

#include <QAction>

#include "logs/log_processing.h"
#include "logs/log_retrieval.h"

LogsView::LogsView(QObject* parent, QAction* retrieval, QAction* processing, LogRetrieval& logs,
                   LogProcessing& processor)
    : QObject(parent) {
    connect(retrieval, &QAction::triggered, this, [&logs] { logs.GetLogs(); });
    connect(processing, &QAction::triggered, this, [&processor] { processor.ProcLogs(); });
}
