#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

#include "support/test_support.h"
#include "ui/frm_main.h"

// The one application object of a widget test program.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "vorlen_widget_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs Act on the next modal dialog as soon as it is shown (modal dialogs block the test).
inline void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
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
