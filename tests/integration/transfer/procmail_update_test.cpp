// The recipe's edit cycle on the server against vsftpd and sshd: a stand-in editor changes the
// description as a person would, and the recipe left on the server is run by the real procmail.
#include <QStandardPaths>

#include "platform/platform.h"
#include "procmail/procmail_lock.h"
#include "procmail/procmail_update.h"
#include "procmail/recipe_file.h"
#include "script/script_runner.h"
#include "transfer_program.h"

namespace {

const QString kUploadQuestion = "Upload new procmail recipe?";

class ProcmailCycle : public Transfer {
protected:
    void SetUp() override {
        Transfer::SetUp();
        if (IsSkipped()) {
            return;
        }
        p = std::make_unique<Program>(GetParam().sftp);
        // The procmail files of this test live in its own folder, the session's home here.
        WriteFile(p->local.File("mail/.keep"), "");
        GenerateOnServer("bob -> " + p->local.File("mail/bob"));
        m_original = ReadFile(p->remote + "/.procmailrc");
        p->core.settings.site.localProcmailDir = m_procmailDir.Path();
        p->core.scripts->editorQuickReturnMs = 0;
        ASSERT_TRUE(p->LogIn());
        p->session.homeDir = p->session.currentRemoteDir;
    }

    // A recipe generated from a description with one rule for Rule, as an earlier cycle left it.
    void GenerateOnServer(const QString& rule) {
        TestFolder scratch;
        const QString mdl = scratch.File("procmail1.txt");
        WriteFile(mdl, ("DOMAIN example.com\n" + rule + "\n? -> " + p->local.File("mail/rest") +
                        "\nDOMAIN END\nUNRESOLVED -> " + p->local.File("mail/pop") + "\n")
                           .toUtf8());
        bool completed = false;
        ASSERT_TRUE(GenerateRecipeAsFile(mdl, {}, &completed));
        ASSERT_TRUE(completed);
        WriteFile(p->remote + "/.procmailrc", ReadFile(scratch.File(".procmailrc")));
        p->Chown();
    }

    // The editor: a shell script run with the file to edit.
    void Editor(const QString& body) {
        const QString path = p->work.File("editor.sh");
        WriteFile(path, ("#!/bin/sh\n" + body + "\n").toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        p->core.settings.common.favoredEditor = path;
    }
    void RenameBobsFolder() { Editor("sed -i 's#/mail/bob#/mail/robert#' \"$1\""); }

    void WriteLock(const QString& name, const LockOwner& owner) {
        WriteFile(p->remote + "/" + name, (LockContent(owner) + "\n").toUtf8());
        p->Chown();
    }
    static LockOwner Me() { return {platform::UserName(), platform::MachineIdentity()}; }

    QStringList ServerFiles() const {
        return QDir(p->remote).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList Messages() const {
        QStringList texts;
        for (const auto& m : p->ui.messages) {
            texts << m.text;
        }
        return texts;
    }
    bool Said(const QString& part) const {
        return std::any_of(p->ui.messages.begin(), p->ui.messages.end(),
                           [&](const auto& m) { return m.text.contains(part); });
    }
    void Run() {
        p->ui.procmailAnswers.enqueue({ProcmailChoice::Yes, m_procmailDir.Path()});
        p->core.procmail->ProcmailClickActions();
    }
    void ExpectServerUnchanged() {
        EXPECT_EQ(ReadFile(p->remote + "/.procmailrc"), m_original);
        EXPECT_FALSE(QFileInfo::exists(p->remote + "/.procmailrcNew"));
    }
    void ExpectNoLock() {
        for (const QString& name : ServerFiles()) {
            EXPECT_FALSE(name.startsWith("zprocmail.")) << name.toStdString();
        }
    }

    std::unique_ptr<Program> p;
    TestFolder m_procmailDir;
    QByteArray m_original;
};

// Delivers one message to Address through Recipe with the real procmail; the mailbox it went to.
QString DeliveredTo(const QString& recipe, const QString& address, const QString& mailDir) {
    const QString procmail = QStandardPaths::findExecutable("procmail");
    if (procmail.isEmpty()) {
        return "procmail missing";
    }
    TestFolder home;
    const QString rc = home.File("rc");
    QFile::copy(recipe, rc);  // owned by the tester, as procmail requires
    QProcess run;
    run.start(procmail, {"-p", "HOME=" + home.Path(), "MAILDIR=" + home.Path(),
                         "DEFAULT=" + mailDir + "/default", rc});
    run.waitForStarted();
    run.write(("From a@b.org Tue Dec  8 20:00:00 2026\nFrom: a@b.org\nTo: " + address +
               "\nX-Envelope-To: " + address + "\nSubject: hi\n\nHello.\n")
                  .toUtf8());
    run.closeWriteChannel();
    run.waitForFinished(30000);
    for (const QString& name : QDir(mailDir).entryList(QDir::Files)) {
        if (name != ".keep") {
            return name;
        }
    }
    return QString();
}

}  // namespace

TEST_P(ProcmailCycle, EditedDescriptionGoesLiveAndPreviousRecipeIsKept) {
    RenameBobsFolder();
    WriteFile(p->remote + "/.procmailrcPrev", "an older recipe");
    p->Chown();
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    Run();
    EXPECT_EQ(ReadFile(p->remote + "/.procmailrcPrev"), m_original);
    const QByteArray live = ReadFile(p->remote + "/.procmailrc");
    EXPECT_TRUE(live.contains("/mail/robert")) << Messages().join("\n").toStdString();
    EXPECT_FALSE(live.contains('\r'));
    // The earlier recipe carried revision 1.
    EXPECT_TRUE(live.startsWith("#..# Last revision 2 generated "));
    EXPECT_EQ(ServerFiles(), QStringList({".procmailrc", ".procmailrcPrev"}));
    EXPECT_TRUE(QFileInfo::exists(m_procmailDir.File("procmail2.txt")));
    EXPECT_TRUE(QDir(m_procmailDir.Path()).entryList({"~procmail*"}, QDir::Files).isEmpty());
    EXPECT_EQ(p->ui.StatusBarGeneralText(), " End of procmail processing.");
    EXPECT_EQ(p->ui.enableCount, p->ui.disableCount);
    if (!QStandardPaths::findExecutable("procmail").isEmpty()) {
        EXPECT_EQ(DeliveredTo(p->remote + "/.procmailrc", "bob@example.com", p->local.File("mail")),
                  "robert");
    }

    // The next cycle makes revision 3 and keeps the earlier extract.
    p->ui.procmailAnswers.enqueue({ProcmailChoice::Yes, m_procmailDir.Path()});
    p->core.procmail->ProcmailClickActions();
    EXPECT_TRUE(QFileInfo::exists(m_procmailDir.File("procmail2.txt")));
    EXPECT_TRUE(
        ReadFile(m_procmailDir.File("procmail3.txt")).startsWith("# Last revision 3 generated "));
    EXPECT_EQ(ReadFile(p->remote + "/.procmailrcPrev"), live);
}

TEST_P(ProcmailCycle, ErrorsReopenTheEditorAndEvenAttemptsOfferToAbandon) {
    // The first edit leaves an error, the second repairs it.
    Editor(
        "if [ -e \"$0.once\" ]; then sed -i '/^nonsense/d' \"$1\"; else touch \"$0.once\";"
        " echo 'nonsense here' >> \"$1\"; fi");
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    Run();
    EXPECT_FALSE(Said("Abandon procmail update now?"));
    EXPECT_NE(ReadFile(p->remote + "/.procmailrc"), m_original);
    ExpectNoLock();

    // An editor that never repairs: abandoning at the second attempt leaves the server alone.
    Editor("echo 'nonsense here' >> \"$1\"");
    const QByteArray live = ReadFile(p->remote + "/.procmailrc");
    p->ui.answersByText["Abandon procmail update now?"] = ModalResult::Yes;
    p->ui.messages.clear();
    Run();
    EXPECT_TRUE(Said("Abandon procmail update now?"));
    EXPECT_EQ(ReadFile(p->remote + "/.procmailrc"), live);
    ExpectNoLock();
    EXPECT_TRUE(QDir(m_procmailDir.Path()).entryList({"~procmail*"}, QDir::Files).isEmpty());
}

TEST_P(ProcmailCycle, NoToTheUploadAndFailuresReleaseTheLock) {
    RenameBobsFolder();
    Run();  // "Upload new procmail recipe?" answered No
    EXPECT_TRUE(Said(kUploadQuestion));
    ExpectServerUnchanged();
    ExpectNoLock();

    // An editor that cannot start.
    p->core.settings.common.favoredEditor = "/nonexistent/editor";
    Run();
    EXPECT_TRUE(Said("Unable to start the editor /nonexistent/editor"));
    ExpectServerUnchanged();
    ExpectNoLock();

    // An upload that fails (a folder holds its name): the live recipe stays.
    RenameBobsFolder();
    QDir().mkpath(p->remote + "/.procmailrcNew");
    p->Chown();
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    Run();
    EXPECT_EQ(ReadFile(p->remote + "/.procmailrc"), m_original);
    EXPECT_FALSE(QFileInfo::exists(p->remote + "/.procmailrcPrev"));
    ExpectNoLock();

    // No recipe on the server.
    QDir(p->remote + "/.procmailrcNew").removeRecursively();
    QFile::remove(p->remote + "/.procmailrc");
    p->ui.messages.clear();
    Run();
    EXPECT_TRUE(Said("Retrieval of procmail recipe from host failed, possibly does not exist"));
    ExpectNoLock();
}

TEST_P(ProcmailCycle, ConnectionLostBeforeTheUploadKeepsTheLiveRecipe) {
    RenameBobsFolder();
    p->core.settings.site.autoReconnect = false;
    const auto generate = p->core.procmail->generate;
    p->core.procmail->generate = [&](const QString& mdl, bool* completed) {
        const bool written = generate(mdl, completed);
        p->session.RequestDisconnect();
        return written;
    };
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    Run();
    EXPECT_TRUE(Said("You seem to have lost your connection to the host"));
    ExpectServerUnchanged();
    // The lock could not be released; the log names it.
    const QStringList locks = ServerFiles().filter("zprocmail.");
    ASSERT_EQ(locks.size(), 1);
    EXPECT_TRUE(p->ui.logLines.contains("The procmail lock " + locks.first() +
                                        " is still in the remote home directory"));
}

TEST_P(ProcmailCycle, ForeignLocksStopTheCycleAndOwnLocksAreOffered) {
    RenameBobsFolder();
    const QString foreign = "zprocmail.20261201093015123";
    WriteLock(foreign, {"someone else", "their-pc"});
    WriteLock("zprocmail.2026120109301", {"someone else", "their-pc"});  // wrong length: no lock
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    Run();
    ASSERT_TRUE(Said("Procmail recipe has been locked since 09:30 on  2026-12-01"))
        << Messages().join("\n").toStdString();
    EXPECT_TRUE(Said("\r\n\r\n" + foreign + "\r\n"));
    EXPECT_TRUE(Said("Locked by user someone else (their-pc)"));
    EXPECT_TRUE(QFileInfo::exists(p->remote + "/" + foreign));
    ExpectServerUnchanged();
    EXPECT_EQ(ServerFiles().filter("zprocmail.").size(), 2);  // no lock of ours left

    // One's own stale lock: No abandons and leaves it; Yes takes it over and releases it.
    QFile::remove(p->remote + "/" + foreign);
    const QString stale = "zprocmail.20261130230000000";
    WriteLock(stale, Me());
    p->ui.answersByText["which matches your user name?"] = ModalResult::No;
    Run();
    EXPECT_TRUE(
        Said("Do you want to use the existing lock from 23:00 on  2026-11-30 which "
             "matches your user name?"))
        << p->ui.logLines.join("\n").toStdString();
    EXPECT_TRUE(Said("Abandoning procmail update"));
    EXPECT_TRUE(QFileInfo::exists(p->remote + "/" + stale));
    ExpectServerUnchanged();

    p->ui.answersByText["which matches your user name?"] = ModalResult::Yes;
    Run();
    EXPECT_FALSE(QFileInfo::exists(p->remote + "/" + stale));
    EXPECT_TRUE(ReadFile(p->remote + "/.procmailrc").contains("/mail/robert"));
    EXPECT_EQ(ServerFiles().filter("zprocmail.").size(), 1);  // only the wrong-length name
}

TEST_P(ProcmailCycle, OfTwoPeopleLockingAtOnceOnlyTheEarlierGoesOn) {
    RenameBobsFolder();
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    // Someone else's lock, older than ours, lands between our look and our upload.
    const QString earlier = "zprocmail.20000101120000000";
    p->core.procmail->beforeLockWrite = [&] { WriteLock(earlier, {"rival", "rival-pc"}); };
    Run();
    EXPECT_TRUE(Said("Locked by user rival (rival-pc)"));
    ExpectServerUnchanged();
    EXPECT_EQ(ServerFiles().filter("zprocmail."), QStringList{earlier});

    // A younger one withdraws by the same rule on its side, so ours goes on.
    QFile::remove(p->remote + "/" + earlier);
    const QString later = "zprocmail.20991231235959999";
    p->core.procmail->beforeLockWrite = [&] { WriteLock(later, {"rival", "rival-pc"}); };
    Run();
    EXPECT_TRUE(ReadFile(p->remote + "/.procmailrc").contains("/mail/robert"));
    EXPECT_EQ(ServerFiles().filter("zprocmail."), QStringList{later});
}

TEST_P(ProcmailCycle, RegeneratesFromALocalDescription) {
    RenameBobsFolder();
    const QString mdl = m_procmailDir.File("procmail5.txt");
    WriteFile(mdl, ("# Last revision 5 generated 2026-12-01 10:00:00 by Vorlen FTP version 1\n"
                    "DOMAIN example.com\nbob -> " +
                    p->local.File("mail/bob") + "\nDOMAIN END\nUNRESOLVED -> " +
                    p->local.File("mail/pop") + "\n")
                       .toUtf8());
    p->localPane.SelectDirectory(m_procmailDir.Path());
    p->ui.selectedLocal = {"procmail5.txt"};
    p->ui.answersByText[kUploadQuestion] = ModalResult::Yes;
    p->ui.procmailAnswers.enqueue({ProcmailChoice::Regenerate, m_procmailDir.Path()});
    p->core.procmail->ProcmailClickActions();
    ASSERT_FALSE(p->ui.procmailQueries.isEmpty());
    EXPECT_EQ(p->ui.procmailQueries.last().regenerateCaption, "Regenerate from procmail5.txt");
    EXPECT_TRUE(ReadFile(mdl).contains("/mail/robert"));  // the file itself was edited
    EXPECT_FALSE(QFileInfo::exists(m_procmailDir.File("procmail6.txt")));
    EXPECT_TRUE(ReadFile(p->remote + "/.procmailrc").contains("/mail/robert"));
    EXPECT_EQ(ReadFile(p->remote + "/.procmailrcPrev"), m_original);
    ExpectNoLock();
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProcmailCycle,
                         ::testing::Values(Kind{"Ftp", false}, Kind{"Sftp", true}),
                         [](const auto& info) { return std::string(info.param.name); });
