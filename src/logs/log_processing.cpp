#include "logs/log_processing.h"

#include <QDir>
#include <QFileInfo>

#include "logs/log_names.h"
#include "logs/log_options.h"
#include "logs/log_run.h"
#include "panes/local_pane.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"

LogProcessing::LogProcessing(SettingsStore& store, RunState& run, UserInterface& ui,
                             Session& session, LocalPane& local)
    : m_store(store), m_run(run), m_ui(ui), m_session(session), m_local(local) {}

QStringList LogProcessing::InitThisRunLogFilterArray() const {
    QStringList filters;
    for (const QString& filter : m_store.settings.common.logFileURLFilter) {
        if (!filter.isEmpty()) {
            filters << filter;
        }
    }
    return filters;
}

void LogProcessing::End() {
    m_session.HideAbortButton();
    m_local.RefreshLocal();
    m_ui.RefreshLocalList();
    m_run.batchTransferRunning = false;
    m_ui.EnableGridsEtc();
}

void LogProcessing::ProcLogs() {
    const QString logRoot = m_store.settings.site.localLogdir;
    if (logRoot.size() < 3 || !platform::IsRootedLocalPath(logRoot)) {
        m_ui.Warning(
            "No valid local log directory has been defined for this site, please correct using "
            "Options -> Settings.");
        return;
    }
    m_ui.DisableGridsEtc();
    m_run.batchTransferRunning = true;
    m_store.UpdateSettings();
    m_ui.StatusBarGeneral(" Processing logs");

    const QStringList selected = m_ui.SelectedLocalNames();
    if (selected.size() != 1) {
        m_ui.ShowColorMsg("Please select a single representative local file and try again.");
        End();
        return;
    }
    const QString name = selected.first();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) {
        m_ui.ShowColorMsg(name + " is not supported as a log filename (has no \".\")");
        End();
        return;
    }
    if (dot == 0) {
        m_ui.ShowColorMsg(name + " is not supported as a log filename (starts with \".\")");
        End();
        return;
    }
    const QString prefix = LogfilePrefix(name);
    if (!IsDatedLogName(name)) {
        m_ui.ShowColorMsg("Selected file (" + name +
                          ") does not have a valid logfile name ending with a period then 8 "
                          "numerics.");
        m_ui.StatusBarGeneral(QString());
        End();
        return;
    }
    const QString month = LogfileSuffix(name).left(6);

    Settings& settings = m_store.settings;
    const QString userid = settings.site.userid;
    const QString key = DomainKeyForPrefix(prefix, userid);
    QString domain = settings.Cfg().GetCfgFileSetting("Common", key, "");
    while (domain.isEmpty()) {
        const bool www = prefix.compare("www", Qt::CaseInsensitive) == 0;
        QString answer =
            www ? userid + ".com" : (prefix.contains(".com") ? prefix : prefix + ".com");
        const QString prompt = www ? "Please supply " + prefix + "(" + userid + ") domain name:"
                                   : "Please supply " + prefix + " domain name:";
        if (!m_ui.InputQuery("Supply Domain Name for " + prefix, prompt, answer) ||
            answer.trimmed().isEmpty()) {
            m_ui.StatusBarGeneral(QString());
            End();
            return;
        }
        domain = answer.trimmed();
        settings.Cfg().PutCfgFileSetting("Common", key, domain);
        m_store.UpdateSettings();
    }

    const QString folder = m_local.CurrentDir();
    const QString csvName = prefix + month + ".csv";
    const QString output = QDir(folder).filePath(csvName);
    if (QFileInfo::exists(output) &&
        !m_ui.ConfirmYesNo("Overwrite existing file " + output + "?")) {
        End();
        return;
    }

    LogOptions options;
    options.prefix = prefix;
    options.domain = domain;
    options.configuredSummary = settings.common.logFileSumm;
    options.summaryText = options.configuredSummary;
    options.configuredFilters = InitThisRunLogFilterArray();
    options.urlFilters = options.configuredFilters;
    if (!m_ui.AskAboutLogs(options)) {
        End();
        return;
    }

    LogRun run(options.summaryText, options.urlFilters);
    run.onLogText = [this](const QString& text) { m_ui.LogText(text); };
    run.onKeepAlive = [this] {
        m_ui.ProcessMessages();
        return !m_run.cancel.Requested();
    };
    m_session.ShowAbortButton("Cancel");
    m_ui.StatusBarGeneral(" Extracting log data to " + csvName);
    LogRunStatus status = run.Begin(output);
    bool cautioned = false;
    auto processFolder = [&](const QString& dir, const QString& remoteDir) {
        for (const QString& file : QDir(dir).entryList(QDir::Files, QDir::Name)) {
            if (status != LogRunStatus::Ok && status != LogRunStatus::InputError) {
                return;
            }
            if (LogfileSuffix(file).toLower() == "gz" && !cautioned) {
                cautioned = true;
                m_ui.Warning(
                    "Caution, folder being processed contains unzipped data for this user (" +
                    file + ")");
            }
            if (IsDatedLogName(file) &&
                LogfilePrefix(file).compare(prefix, Qt::CaseInsensitive) == 0) {
                status =
                    run.ProcessCurrentLogFile(QDir(dir).filePath(file), options.domain, remoteDir);
                if (status == LogRunStatus::InputError) {
                    m_ui.LogText(run.ErrorText());
                }
            }
        }
    };
    processFolder(folder, settings.site.remLogdir);
    const QString alt = QDir(folder).filePath("Alt");
    if (QFileInfo(alt).isDir()) {
        processFolder(alt, settings.site.remLogdirAlt);
    }
    if (status == LogRunStatus::Ok || status == LogRunStatus::InputError) {
        status = run.Finish();
    }
    QString outcome = " Finished extracting log data to file " + csvName;
    if (status == LogRunStatus::Cancelled) {
        m_ui.LogText("Log processing cancelled; " + csvName + " was not written");
        outcome = " Log processing cancelled";
    } else if (status != LogRunStatus::Ok) {
        m_ui.Warning(run.ErrorText());
        outcome = " Log processing failed";
    }
    End();
    m_ui.StatusBarGeneral(outcome);
    // Only once the file is in place, and after End, so the window is usable beside the report.
    if (status == LogRunStatus::Ok) {
        m_ui.ShowLogReport(output);
    }
}
