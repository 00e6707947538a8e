// Editing remote files in place against vsftpd and OpenSSH: the editor is a stand-in that records
// what it was given and stays open until the test ends it; the test saves as an editor would.
#include <csignal>

#include "app/remote_edits.h"
#include "transfer_program.h"

namespace {

QByteArray Lf(QByteArray text) {
    return text.replace("\r\n", "\n");
}

// A stand-in editor: logs "PID FILE" and waits until it is ended.
struct Editor {
    TestFolder folder;
    QString log = folder.File("editor.log");
    QString program = folder.File("editor.sh");

    Editor() {
        WriteFile(program, "#!/bin/sh\necho \"$$ $1\" >> '" + log.toUtf8() + "'\nexec sleep 120\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~Editor() {
        for (const QString& line : Lines()) {
            kill(line.section(' ', 0, 0).toInt(), SIGTERM);
        }
    }
    QStringList Lines() const {
        return QString::fromUtf8(ReadFile(log)).split('\n', Qt::SkipEmptyParts);
    }
    // Ends the editor that opened a file named Name, as a person closing its window.
    void Close(const QString& name) const {
        for (const QString& line : Lines()) {
            if (line.endsWith("/" + name)) {
                kill(line.section(' ', 0, 0).toInt(), SIGTERM);
            }
        }
    }
};

}  // namespace

TEST_P(Transfer, EditedFilesGoBackAfterTheQuestionAndNeverOverAnotherPersonsChange) {
    Editor editor;
    QString privateFolder;
    {
        Program p(GetParam());
        WriteFile(p.remote + "/page.html", "<p>first</p>\n");
        WriteFile(p.remote + "/notes.txt", "notes\n");
        p.Chown();
        ASSERT_TRUE(p.LogIn());
        p.Refresh();
        p.core.settings.common.favoredEditor = editor.program;
        RemoteEdits& edits = *p.core.remoteEdits;
        edits.settleMs = 50;
        edits.editorQuickReturnMs = 0;

        // Two files at once: each fetched into the private folder and opened.
        edits.Edit(p.RemoteRows({"page.html", "notes.txt"}));
        const QString page = edits.LocalCopy(p.remote, "page.html");
        const QString notes = edits.LocalCopy(p.remote, "notes.txt");
        ASSERT_FALSE(page.isEmpty() || notes.isEmpty());
        EXPECT_EQ(Lf(ReadFile(page)), "<p>first</p>\n");
        ASSERT_TRUE(WaitFor([&] { return editor.Lines().size() == 2; }));
        privateFolder = QFileInfo(QFileInfo(page).absolutePath()).absolutePath();
        EXPECT_EQ(QFileInfo(privateFolder).permissions() & 0x0077, 0);  // nobody else's

        // A save asks once; "always" sends the next save without asking.
        p.ui.editedAnswers.enqueue(EditedUpload::Always);
        WriteFile(page, "<p>second</p>\n");
        ASSERT_TRUE(
            WaitFor([&] { return Lf(ReadFile(p.remote + "/page.html")) == "<p>second</p>\n"; }));
        WriteFile(page, "<p>third, longer</p>\n");
        ASSERT_TRUE(WaitFor(
            [&] { return Lf(ReadFile(p.remote + "/page.html")) == "<p>third, longer</p>\n"; }));
        EXPECT_EQ(p.ui.editedQuestions, QStringList{"page.html"});

        // Someone else changed the server's copy: asked before it is overwritten; No keeps both.
        WriteFile(p.remote + "/notes.txt", "their notes, much longer\n");
        p.ui.editedAnswers.enqueue(EditedUpload::Upload);
        p.ui.answersByText["has changed on the server"] = ModalResult::No;
        WriteFile(notes, "my notes\n");
        ASSERT_TRUE(
            WaitFor([&] { return p.ui.logLines.filter("the server's copy changed").size() == 1; }));
        EXPECT_EQ(Lf(ReadFile(p.remote + "/notes.txt")), "their notes, much longer\n");
        EXPECT_EQ(edits.UnsentChanges(), QStringList{"notes.txt"});

        // Closing with the change unsent asks; Yes and Yes again send it.
        p.ui.answersByText["Upload them before closing"] = ModalResult::Yes;
        p.ui.answersByText["has changed on the server"] = ModalResult::Yes;
        EXPECT_TRUE(edits.ConfirmClose());
        EXPECT_EQ(Lf(ReadFile(p.remote + "/notes.txt")), "my notes\n");
        EXPECT_TRUE(edits.UnsentChanges().isEmpty());

        // An editor closed with nothing unsent: its copy goes.
        editor.Close("page.html");
        ASSERT_TRUE(WaitFor([&] { return edits.OpenCount() == 1; }));
        EXPECT_FALSE(QFileInfo::exists(page));
        EXPECT_TRUE(
            p.ui.logLines.contains("Finished editing page.html: its temporary copy is removed"));
        EXPECT_EQ(p.session.currentRemoteDir, p.remote);
    }
    EXPECT_FALSE(QFileInfo::exists(privateFolder));  // the rest goes with the program
}
