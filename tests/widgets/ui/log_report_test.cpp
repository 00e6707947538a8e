// The web traffic report window: its charts and table over a small month, the saved picture, an
// unreadable file, and how the main window opens and lets go of it.
#include <gtest/gtest.h>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPieSeries>
#include <QPieSlice>
#include <QPointer>
#include <QSet>

#include "logs/log_run.h"
#include "logs/widgets/frm_log_report.h"
#include "panes/local_pane.h"
#include "widget_test_support.h"

namespace {

QByteArray Row(const QByteArray& date, const QByteArray& page, const QByteArray& size) {
    return date + ",10:20:30,http://example.com/" + page + "," + size +
           ",-,\"Mozilla/5.0 (X11, Linux)\",192.0.2.1\r\n";
}

// Three days (the third after a gap), four pages, a "-" size and a summary row.
QByteArray SmallMonth() {
    return QByteArray(kLogCsvHeader) + "\r\n" + Row("01/Oct/2026", "index.html", "2048") +
           Row("01/Oct/2026", "about.html", "1024") + Row("01/Oct/2026", "a.gif", "-") +
           Row("02/Oct/2026", "index.html", "512") + Row("04/Oct/2026", "index.html", "1024") +
           Row("04/Oct/2026", "x.pdf", "10240") +
           "01/Oct/2026,00:00:00,*.jpg (5 hits),5000, , ,\r\n";
}

std::vector<double> Values(const QBarSeries* series) {
    std::vector<double> values;
    if (series->count() == 1) {
        const QBarSet* set = series->barSets().first();
        for (int i = 0; i < set->count(); ++i) {
            values.push_back(set->at(i));
        }
    }
    return values;
}

QStringList DayCategories(QBarSeries* series) {
    for (QAbstractAxis* axis : series->attachedAxes()) {
        if (auto* days = qobject_cast<QBarCategoryAxis*>(axis)) {
            return days->categories();
        }
    }
    return {};
}

QStringList TableRows(const QTableWidget* table) {
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        rows.append(table->item(r, 0)->text() + " " + table->item(r, 1)->text());
    }
    return rows;
}

}  // namespace

TEST(LogReportWindow, ChartsAndTableShowTheMonth) {
    App();
    TestFolder folder;
    const QString csv = folder.Write("stats202610.csv", SmallMonth());
    TfrmLogReport dialog(csv);
    dialog.show();
    QApplication::processEvents();

    EXPECT_EQ(dialog.windowTitle(), "Web traffic report - stats202610.csv");
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(dialog.ErrorText().isEmpty());
    EXPECT_EQ(dialog.findChild<QChartView*>("chartRequests"), dialog.chartRequests);
    EXPECT_EQ(dialog.seriesRequests->objectName(), "seriesRequests");

    // Days in order, a quiet one included; the summary row's hits belong to no day.
    EXPECT_EQ(DayCategories(dialog.seriesRequests), QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(Values(dialog.seriesRequests), (std::vector<double>{3, 1, 0, 2}));
    // The busiest day has 11 KB, so the bytes are in KB.
    EXPECT_EQ(DayCategories(dialog.seriesBytes), QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(Values(dialog.seriesBytes), (std::vector<double>{3, 0.5, 0, 11}));
    EXPECT_EQ(dialog.seriesBytes->barSets().first()->label(), "KB");

    // The summarised jpg hits count for their type.
    QStringList slices;
    for (const QPieSlice* slice : dialog.seriesTypes->slices()) {
        slices.append(QString("%1=%2").arg(slice->label()).arg(slice->value()));
    }
    EXPECT_EQ(slices,
              QStringList({"jpg (45.5%)=5", "html (36.4%)=4", "gif (9.1%)=1", "pdf (9.1%)=1"}));

    EXPECT_EQ(TableRows(dialog.tblTopPages),
              QStringList({"3 http://example.com/index.html", "1 http://example.com/a.gif",
                           "1 http://example.com/about.html", "1 http://example.com/x.pdf"}));
    EXPECT_EQ(dialog.lblSummary->text(),
              "stats202610.csv: 11 requests (5 of them summarised by type), 19.4 KB, 4 days");

    // The picture goes beside the CSV and shows something.
    dialog.btnSavePng->click();
    const QString png = folder.File("stats202610.png");
    EXPECT_EQ(dialog.lblStatus->text(), "Saved as " + png);
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 400);
    EXPECT_GE(image.height(), 300);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            colours.insert(image.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 4);

    EXPECT_TRUE(dialog.grab().save(ScreenshotFolder() + "/log-report.png"));
}

TEST(LogReportWindow, UnreadableFileIsSaidAndNothingIsSaved) {
    App();
    TestFolder folder;
    TfrmLogReport missing(folder.File("stats202610.csv"));
    missing.show();
    QApplication::processEvents();
    EXPECT_TRUE(
        missing.lblSummary->text().startsWith("Cannot read " + folder.File("stats202610.csv")));
    EXPECT_FALSE(missing.btnSavePng->isEnabled());
    EXPECT_TRUE(Values(missing.seriesRequests).empty());
    EXPECT_EQ(missing.seriesTypes->count(), 0);
    EXPECT_EQ(missing.tblTopPages->rowCount(), 0);

    // Any file that is no log CSV: read, found empty, said so.
    TfrmLogReport other(folder.Write("notes.csv", "just,some\r\nwords\r\n"));
    EXPECT_EQ(other.lblSummary->text(),
              "No requests found in notes.csv (2 lines not understood); it does not begin with "
              "the log CSV's header line");
    EXPECT_TRUE(other.btnSavePng->isEnabled());
}

TEST(LogReportWindow, MainWindowOpensReportsAndLetsThemGo) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TestFolder folder;
    const QString csv = folder.Write("stats202610.csv", SmallMonth());

    m.ShowLogReport(csv);
    QList<TfrmLogReport*> reports = m.findChildren<TfrmLogReport*>();
    ASSERT_EQ(reports.size(), 1);
    QPointer<TfrmLogReport> report = reports.first();
    EXPECT_TRUE(report->isVisible());
    EXPECT_FALSE(report->isModal());
    EXPECT_EQ(report->Report().rows, 6);
    report->btnClose->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(report.isNull());

    // Tools > Web Traffic Report, after Log File Processing, asks for a CSV in the local folder.
    const QList<QAction*> tools = m.mnuTools->actions();
    ASSERT_EQ(tools.indexOf(m.mnuLogReport), tools.indexOf(m.mnuLogProcessing) + 1);
    EXPECT_EQ(m.mnuLogReport->text(), "Web Traffic Report");
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(folder.Path()));
    QString shownFolder;
    WhenModal([&](QWidget* w) {
        auto* ask = qobject_cast<QFileDialog*>(w);
        if (ask == nullptr) {
            ADD_FAILURE() << "no file dialog";
            w->close();
            return;
        }
        shownFolder = ask->directory().absolutePath();
        ask->selectFile(csv);
        static_cast<QDialog*>(ask)->accept();  // QFileDialog's own checks the name
    });
    m.mnuLogReport->trigger();
    EXPECT_EQ(QFileInfo(shownFolder).canonicalFilePath(),
              QFileInfo(folder.Path()).canonicalFilePath());
    reports = m.findChildren<TfrmLogReport*>();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first()->windowTitle(), "Web traffic report - stats202610.csv");
    // Esc (the dialog's reject) lets it go too.
    report = reports.first();
    report->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(report.isNull());
}
