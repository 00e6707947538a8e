#pragma once

#include <QDialog>
#include <QLabel>
#include <QTableWidget>

#include "logs/log_report.h"
#include "ui/base/color_button.h"

class QBarSeries;
class QChartView;
class QPieSeries;
class UserInterface;

// "Web traffic report": a month's log CSV as pictures. Requests and bytes per day as bars, each
// file type's share of the requests as a pie, the most requested pages as a table, the totals
// above them. The file is read once, when the dialog is made; the dialog is not modal, so it can
// stay open beside the main window. Save as PNG puts the picture beside the CSV.
class TfrmLogReport : public QDialog {
    Q_OBJECT
public:
    // Ui, when given, logs where a picture was saved.
    explicit TfrmLogReport(const QString& csvPath, UserInterface* ui = nullptr,
                           QWidget* parent = nullptr);

    // Saves the chart area as LogReportPngPath(csv path); false, with the reason shown, when
    // it cannot.
    bool SavePng();

    const LogReport& Report() const { return m_report; }
    // Why the file could not be read; empty when it was.
    QString ErrorText() const { return m_error; }

    // The pie's slices: the types with most requests, the rest as "other".
    static constexpr int kTypeSlices = 6;

    QWidget* pnlCharts = nullptr;  // what Save as PNG saves
    QLabel* lblSummary = nullptr;
    QChartView* chartRequests = nullptr;
    QBarSeries* seriesRequests = nullptr;
    QChartView* chartBytes = nullptr;
    QBarSeries* seriesBytes = nullptr;
    QChartView* chartTypes = nullptr;
    QPieSeries* seriesTypes = nullptr;
    QLabel* lblTopPages = nullptr;
    QTableWidget* tblTopPages = nullptr;
    QLabel* lblStatus = nullptr;
    TColorButton* btnSavePng = nullptr;
    TColorButton* btnClose = nullptr;

private:
    void BuildDayCharts();
    void BuildTypeChart();
    void FillTopPages();

    QString m_csvPath;
    UserInterface* m_ui;
    LogReport m_report;
    QString m_error;
};
