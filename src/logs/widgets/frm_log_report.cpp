#include "logs/widgets/frm_log_report.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QPieSeries>
#include <QPieSlice>
#include <QScreen>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "config/words.h"
#include "runtime/user_interface.h"

namespace {

// The wait cursor while a large month is read; back however the reading ends.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QChart* NewChart(const QString& title, bool legend) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);  // the saved picture is the final one
    chart->legend()->setVisible(legend);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

QChartView* NewChartView(QChart* chart, const QString& name, QWidget* parent) {
    auto* view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 220);
    return view;
}

// One bar per day over the day axis, the value axis from 0 with round steps.
QBarSeries* AddDayBars(QChart* chart, const QString& name, const QString& setName,
                       const std::vector<double>& values, const QStringList& days,
                       const QString& valueFormat, const QColor& colour) {
    auto* set = new QBarSet(setName);
    set->setColor(colour);
    double top = 0;
    for (const double value : values) {
        set->append(value);
        top = std::max(top, value);
    }
    auto* series = new QBarSeries;
    series->setObjectName(name);
    series->append(set);
    chart->addSeries(series);
    auto* dayAxis = new QBarCategoryAxis;
    dayAxis->append(days);
    chart->addAxis(dayAxis, Qt::AlignBottom);
    series->attachAxis(dayAxis);
    auto* valueAxis = new QValueAxis;
    valueAxis->setRange(0, top > 0 ? top : 1);
    valueAxis->applyNiceNumbers();
    valueAxis->setLabelFormat(valueFormat);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    series->attachAxis(valueAxis);
    return series;
}

}  // namespace

TfrmLogReport::TfrmLogReport(const QString& csvPath, UserInterface* ui, QWidget* parent)
    : QDialog(parent), m_csvPath(csvPath), m_ui(ui) {
    setObjectName("frmLogReport");
    setWindowTitle("Web traffic report - " + QFileInfo(csvPath).fileName());
    setModal(false);
    {
        WaitCursor wait;
        m_report = ReadLogReport(csvPath, &m_error);
    }

    auto* v = new QVBoxLayout(this);
    pnlCharts = new QWidget(this);
    pnlCharts->setObjectName("pnlCharts");
    // The saved picture has a plain background whatever the window's colours.
    pnlCharts->setAutoFillBackground(true);
    QPalette plain = pnlCharts->palette();
    plain.setColor(QPalette::Window, Qt::white);
    plain.setColor(QPalette::WindowText, Qt::black);
    pnlCharts->setPalette(plain);
    auto* grid = new QGridLayout(pnlCharts);
    lblSummary = new QLabel(pnlCharts);
    lblSummary->setObjectName("lblSummary");
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(lblSummary, 0, 0, 1, 2);
    v->addWidget(pnlCharts, 1);

    auto* row = new QHBoxLayout;
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnSavePng = new TColorButton("Save as PNG", this);
    btnSavePng->setObjectName("btnSavePng");
    btnClose = new TColorButton("Close", this);
    btnClose->setObjectName("btnClose");
    btnClose->setDefault(true);
    row->addWidget(lblStatus, 1);
    row->addWidget(btnSavePng);
    row->addWidget(btnClose);
    v->addLayout(row);
    connect(btnSavePng, &QPushButton::clicked, this, [this] { SavePng(); });
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    BuildDayCharts();
    BuildTypeChart();
    FillTopPages();
    grid->addWidget(chartRequests, 1, 0);
    grid->addWidget(chartBytes, 1, 1);
    grid->addWidget(chartTypes, 2, 0);
    auto* pages = new QVBoxLayout;
    pages->addWidget(lblTopPages);
    pages->addWidget(tblTopPages, 1);
    grid->addLayout(pages, 2, 1);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);

    const QString name = QFileInfo(csvPath).fileName();
    if (!m_error.isEmpty()) {
        lblSummary->setText(m_error);
        lblSummary->setStyleSheet("color: #b00000;");
        btnSavePng->setEnabled(false);
    } else if (m_report.TotalRequests() == 0) {
        QString text = "No requests found in " + name;
        if (m_report.badLines > 0) {
            text += " (" + GroupThousands(m_report.badLines) +
                    (m_report.badLines == 1 ? " line" : " lines") + " not understood)";
        }
        if (!m_report.hasHeader) {
            text += "; it does not begin with the log CSV's header line";
        }
        lblSummary->setText(text);
    } else {
        lblSummary->setText(name + ": " + LogReportSummaryText(m_report));
    }

    // Room for a month of bars, within the screen.
    const QRect area = screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(std::min(1000, area.width() - 40), std::min(720, area.height() - 60));
}

void TfrmLogReport::BuildDayCharts() {
    const QStringList days = DayAxisLabels(m_report.days);
    std::vector<double> requests;
    qint64 mostBytes = 0;
    for (const LogReportDay& day : m_report.days) {
        requests.push_back(double(day.requests));
        mostBytes = std::max(mostBytes, day.bytes);
    }
    QChart* chart = NewChart("Requests per day", false);
    seriesRequests = AddDayBars(chart, "seriesRequests", "Requests", requests, days, "%.0f",
                                QColor(0x20, 0x6a, 0xb0));
    chartRequests = NewChartView(chart, "chartRequests", pnlCharts);

    // Bytes in the unit that suits the busiest day, so the axis reads "12.5", not "13107200".
    const ByteUnit unit = ChooseByteUnit(mostBytes);
    std::vector<double> bytes;
    for (const LogReportDay& day : m_report.days) {
        bytes.push_back(double(day.bytes) / double(unit.divisor));
    }
    chart = NewChart("Bytes per day (" + unit.name + ")", false);
    seriesBytes = AddDayBars(chart, "seriesBytes", unit.name, bytes, days,
                             unit.divisor == 1 ? "%.0f" : "%.1f", QColor(0x2e, 0x8b, 0x57));
    chartBytes = NewChartView(chart, "chartBytes", pnlCharts);
}

void TfrmLogReport::BuildTypeChart() {
    const std::vector<LogReportType> shares = TypeShares(m_report.types, kTypeSlices);
    qint64 total = 0;
    for (const LogReportType& share : shares) {
        total += share.hits;
    }
    seriesTypes = new QPieSeries;
    seriesTypes->setObjectName("seriesTypes");
    for (const LogReportType& share : shares) {
        const double percent = total > 0 ? 100.0 * double(share.hits) / double(total) : 0;
        seriesTypes->append(QString("%1 (%2%)").arg(share.type).arg(percent, 0, 'f', 1),
                            double(share.hits));
    }
    QChart* chart = NewChart("Requests by file type", true);
    chart->addSeries(seriesTypes);
    chartTypes = NewChartView(chart, "chartTypes", pnlCharts);
}

void TfrmLogReport::FillTopPages() {
    lblTopPages = new QLabel(
        QString("Most requested pages (of %1)").arg(GroupThousands(m_report.distinctPages)),
        pnlCharts);
    lblTopPages->setObjectName("lblTopPages");
    tblTopPages = new QTableWidget(int(m_report.topPages.size()), 2, pnlCharts);
    tblTopPages->setObjectName("tblTopPages");
    tblTopPages->setHorizontalHeaderLabels({"Hits", "Page"});
    tblTopPages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblTopPages->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblTopPages->horizontalHeader()->setStretchLastSection(true);
    tblTopPages->verticalHeader()->setDefaultSectionSize(tblTopPages->fontMetrics().height() + 4);
    for (int r = 0; r < int(m_report.topPages.size()); ++r) {
        const LogReportPage& page = m_report.topPages[size_t(r)];
        auto* hits = new QTableWidgetItem(GroupThousands(page.hits));
        hits->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tblTopPages->setItem(r, 0, hits);
        auto* url = new QTableWidgetItem(page.url);
        url->setToolTip(page.url);
        tblTopPages->setItem(r, 1, url);
    }
    tblTopPages->resizeColumnToContents(0);
}

bool TfrmLogReport::SavePng() {
    const QString path = LogReportPngPath(m_csvPath);
    QImageWriter writer(path, "png");
    if (!writer.write(pnlCharts->grab().toImage())) {
        lblStatus->setText("Cannot save the report as " + path + " (" + writer.errorString() + ")");
        return false;
    }
    lblStatus->setText("Saved as " + path);
    if (m_ui != nullptr) {
        m_ui->LogText("Web traffic report saved as " + path);
    }
    return true;
}
