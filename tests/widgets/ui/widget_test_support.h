#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "support/test_support.h"
#include "ui/frm_main.h"

// The one application object of a widget test program.
inline QApplication& App() {
    // Offscreen unless told otherwise (CTest passes only one environment entry per test).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "vorlen_widget_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Where screenshots go: "screenshots" in the build folder (the nearest folder above the test
// program that holds CMakeCache.txt), or VORLEN_SCREENSHOT_DIR.
inline QString ScreenshotFolder() {
    QString folder = qEnvironmentVariable("VORLEN_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        QDir build(QCoreApplication::applicationDirPath());
        while (!build.exists("CMakeCache.txt") && build.cdUp()) {
        }
        folder = build.filePath("screenshots");
    }
    QDir().mkpath(folder);
    return folder;
}

// Runs Act on the next modal dialog as soon as it is shown (modal dialogs block the test). A
// dialog that does not come within LimitMs is a failure, and whatever modal dialog stands then
// is closed, so a missed dialog cannot hang the run.
inline void WhenModal(std::function<void(QWidget*)> act, int limitMs = 20000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act, limitMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && clock->elapsed() < limitMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        const bool expired = modal == nullptr || clock->elapsed() >= limitMs;
        delete clock;
        if (modal != nullptr && !expired) {
            act(modal);
            return;
        }
        ADD_FAILURE() << "no modal dialog within " << limitMs << " ms";
        if (modal != nullptr) {
            modal->close();
        }
    });
    timer->start();
}

// A main window over its own work folder (a first start unless a configuration is written
// there before Create).
struct MainWindowFixture {
    TestFolder dir;
    ScopedEnv home{"VORLENFTP_HOME", dir.Path()};
    std::unique_ptr<TfrmMain> main;

    TfrmMain& Create(const QStringList& arguments = {}) {
        App();
        main = std::make_unique<TfrmMain>(arguments);
        return *main;
    }
};

// The names the remote list shows, in order.
inline QStringList RemoteShownNames(const TfrmMain& m) {
    QStringList names;
    QAbstractItemModel* model = m.lvRemote->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        names.append(model->index(r, 0).data().toString());
    }
    return names;
}
