#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTreeView>

#include "panes/local_pane.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"

namespace {

// Every visible button, check box and label gets at least the width its text needs and lies
// inside the window.
void ExpectNothingClipped(QWidget* window) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->window() != window) {
            continue;
        }
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)) {
            continue;
        }
        const QString name =
            w->objectName().isEmpty() ? w->property("text").toString() : w->objectName();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name.toStdString();
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        EXPECT_TRUE(window->rect().contains(inWindow)) << name.toStdString();
    }
}

// The Modified column of List shows a whole date and time, and lies inside the visible part of
// the list (no column cuts it, no scrolling needed).
void ExpectWholeDates(QTreeView* list, int column, const QString& sample) {
    const std::string name = list->objectName().toStdString();
    const int text = list->fontMetrics().horizontalAdvance(sample);
    const int margin =
        2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    QHeaderView* header = list->header();
    EXPECT_GE(header->sectionSize(column), text + margin) << name;
    EXPECT_LE(header->sectionViewportPosition(column) + text + margin, list->viewport()->width())
        << name;
    EXPECT_GE(header->sectionViewportPosition(0), 0) << name;
    // The name column takes what the others leave: a name of 24 characters shows whole.
    const int name24 = list->fontMetrics().horizontalAdvance("opening-hours-winter.txt");
    EXPECT_GE(header->sectionSize(0), name24 + margin + list->iconSize().width()) << name;
    // The default widths together fit the list: nothing starts scrolled off.
    int total = 0;
    for (int c = 0; c < header->count(); ++c) {
        total += header->sectionSize(c);
    }
    EXPECT_LE(total, list->viewport()->width()) << name;
}

}  // namespace

TEST(Screenshots, MainWindowAndLoginDialogAtTwoSizes) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // the login dialog is rendered on its own below
    m.show();
    TestFolder files;
    QDir(files.Path()).mkdir("folder");
    files.Write("a file with a rather long name.txt", QByteArray(123456, 'x'));
    files.Write("short.txt", "x");
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(files.Path()));
    QString shownDate;
    for (int r = 0; r < m.lvLocalFiles->model()->rowCount(); ++r) {
        const QString text = m.lvLocalFiles->model()->index(r, 2).data().toString();
        shownDate = text.isEmpty() ? shownDate : text;
    }
    ASSERT_EQ(shownDate.size(), QString("YYYY-MM-DD   HH:MM:SS").size());
    m.SetFormColour();
    m.LogText("Startup script: none");
    m.SetStatusPanel(StatusPanel::General, "Finished");
    const QString folder = ScreenshotFolder();
    for (const QSize size : {QSize(1024, 700), QSize(1600, 1000)}) {
        m.resize(size);
        QApplication::processEvents();
        EXPECT_EQ(m.size(), size);
        ExpectNothingClipped(&m);
        ExpectWholeDates(m.lvLocalFiles, 2, shownDate);
        ExpectWholeDates(m.lvRemote, 3, shownDate);
        const QString suffix = QString("%1x%2").arg(size.width()).arg(size.height());
        EXPECT_TRUE(m.grab().save(folder + "/main_" + suffix + ".png"));

        TfrmLogin* login = m.LoginDialog();
        login->PlaceLogin();
        login->show();
        QApplication::processEvents();
        ExpectNothingClipped(login);
        EXPECT_TRUE(login->grab().save(folder + "/login_" + suffix + ".png"));
        // The dialog over the window, as the person sees it at start.
        QPixmap both = m.grab();
        {
            QPainter painter(&both);
            const QPoint at = login->frameGeometry().topLeft() - m.frameGeometry().topLeft();
            painter.drawPixmap(at, login->grab());
        }
        EXPECT_TRUE(both.save(folder + "/start_" + suffix + ".png"));
        login->hide();
    }
}
