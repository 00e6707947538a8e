#include "ui/frm_help.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/base/color_button.h"
#include "ui/base/message_box.h"
#include "ui/frm_main.h"

// The help texts live in a static library; their resources must be registered explicitly.
static void InitHelpResources() {
    Q_INIT_RESOURCE(help);
}

TfrmHelp::TfrmHelp(TfrmMain& main) : QWidget(&main, Qt::Window), m_main(main) {
    InitHelpResources();
    setObjectName("frmHelp");
    setWindowTitle(TitleFor(main.Core().store.versionText));
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel("Choose a help topic:", this));
    for (const QString& topic : Topics()) {
        auto* button = new TColorButton(topic, this);
        connect(button, &QPushButton::clicked, this, [this, topic] { ShowTopic(topic); });
        v->addWidget(button);
    }
    v->addStretch(1);
    resize(280, 320);
    FitWidthToTitle(this);
}

QStringList TfrmHelp::Topics() {
    return {"Login", "Advanced", "Main", "Procmail", "Log Download", "Log Processing", "Script"};
}

QString TfrmHelp::TopicResource(const QString& topic) {
    return ":/help/" + topic.toLower().replace(' ', '_') + ".md";
}

QString TfrmHelp::TitleFor(const QString& version) {
    if (version.trimmed().isEmpty()) {
        return "Help for Vorlen FTP";
    }
    return "Help for Vorlen FTP version " + version.trimmed();
}

void TfrmHelp::ShowTopics() {
    m_main.ApplyColoursTo(this);
    show();
    raise();
    activateWindow();
}

QWidget* TfrmHelp::ShowTopic(const QString& topic) {
    QPointer<QWidget>& window = m_windows[topic];
    if (window.isNull()) {
        // A window owned by an open modal dialog (the login dialog's Help) stays usable.
        QWidget* owner = QApplication::activeModalWidget();
        window = new QWidget(owner != nullptr ? owner : &m_main, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName("frmHelpText");
        window->setWindowTitle(TitleFor(m_main.Core().store.versionText) + " - " + topic);
        auto* v = new QVBoxLayout(window);
        auto* text = new QTextBrowser(window);
        text->setObjectName("memHelp");
        text->setOpenExternalLinks(false);
        QFile file(TopicResource(topic));
        if (file.open(QIODevice::ReadOnly)) {
            text->setMarkdown(QString::fromUtf8(file.readAll()));
        }
        v->addWidget(text);
        window->resize(720, 560);
        FitWidthToTitle(window);
    }
    window->show();
    window->raise();
    return window;
}
