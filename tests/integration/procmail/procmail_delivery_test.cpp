// Generated recipes are run by the real procmail: every test writes an MDL text, generates
// .procmailrc from it, delivers messages through it and checks where each one ended up.
// SENDMAIL is a script that records its arguments and the message; nothing is sent.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "procmail/recipe_file.h"
#include "support/test_support.h"

namespace {

struct SentMail {
    QString args;
    QString message;
};

class ProcmailDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        m_procmail = QStandardPaths::findExecutable("procmail");
        if (m_procmail.isEmpty() || QStandardPaths::findExecutable("formail").isEmpty()) {
            if (qEnvironmentVariable("CI") == "true") {
                FAIL() << "procmail and formail must be installed (scripts/packages/procmail.txt)";
            }
            GTEST_SKIP() << "procmail is not installed";
        }
        ASSERT_TRUE(m_home.IsValid());
        for (const char* dir : {"bin", "mail", "sent", "work", "store"}) {
            QDir(m_home.Path()).mkpath(dir);
        }
        // procmail does not wait for the forwarding program, so a mail counts as sent only
        // once its files are complete: they are written aside and moved in, arguments last.
        QDir(m_home.Path()).mkpath("sent/partial");
        const QString sendmail = m_home.Write(
            "bin/sendmail", ("#!/bin/sh\n"
                             "cd '" +
                             m_home.File("sent") +
                             "' || exit 1\n"
                             "f=$(mktemp -p partial mail.XXXXXX) || exit 1\n"
                             "printf '%s\\n' \"$@\" > \"$f.args\"\n"
                             "cat > \"$f.msg\"\n"
                             "n=$(basename \"$f\")\n"
                             "mv \"$f.msg\" \"$n.msg\" && mv \"$f.args\" \"$n.args\"\n")
                                .toUtf8());
        QFile::setPermissions(sendmail, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // {home} in the text stands for the temporary home folder.
    void Generate(QString mdl) {
        mdl.replace("{home}", m_home.Path());
        const QString path = m_home.Write("work/procmail1.txt", mdl.toUtf8());
        bool completed = false;
        QStringList messages;
        ASSERT_TRUE(GenerateRecipeAsFile(
            path, [&](const RecipeMessage& m) { messages << m.text; }, &completed));
        ASSERT_TRUE(completed) << messages.join("\n").toStdString();
        m_recipe = m_home.File("work/.procmailrc");
    }

    // Delivers one message; Headers without the From_ line, which is added.
    void Deliver(const QString& headers, const QString& body = "Hello there.\n") {
        QProcess procmail;
        QProcessEnvironment env;
        env.insert("PATH", "/usr/bin:/bin");
        env.insert("HOME", m_home.Path());
        procmail.setProcessEnvironment(env);
        procmail.start(m_procmail, {"-p", "HOME=" + m_home.Path(), "MAILDIR=" + m_home.Path(),
                                    "DEFAULT=" + m_home.File("mail/pop"),
                                    "SENDMAIL=" + m_home.File("bin/sendmail"), m_recipe});
        ASSERT_TRUE(procmail.waitForStarted());
        // The envelope sender (the From_ line) is the From: address, as a mail server sets it.
        const QString sender =
            QRegularExpression("^From: (\\S+)", QRegularExpression::MultilineOption)
                .match(headers)
                .captured(1);
        procmail.write(
            ("From " + sender + " Tue Dec  8 20:00:00 2026\n" + headers + "\n" + body).toUtf8());
        procmail.closeWriteChannel();
        ASSERT_TRUE(procmail.waitForFinished(30000));
        ASSERT_EQ(procmail.exitCode(), 0) << procmail.readAllStandardError().toStdString();
    }

    static QString Headers(const QString& to, const QString& from = "alice@outside.org",
                           const QString& subject = "Greetings") {
        return "From: " + from + "\nTo: " + to + "\nX-Envelope-To: " + to +
               "\nSubject: " + subject + "\n";
    }

    // The messages stored in a mailbox file under the home folder.
    QStringList Mailbox(const QString& name) const {
        const QString text = QString::fromUtf8(m_home.Read(name));
        QStringList messages;
        for (const QString& part : ("\n" + text).split("\nFrom ", Qt::SkipEmptyParts)) {
            if (!part.trimmed().isEmpty()) {
                messages << part;
            }
        }
        return messages;
    }

    // The mails recorded so far; waits (idle, up to 10 s) until at least Expected are complete.
    QList<SentMail> Sent(int expected = 0) const {
        const QDir dir(m_home.File("sent"));
        QStringList names;
        for (int waited = 0; waited < 10000; waited += 20) {
            names = dir.entryList({"mail.*.args"}, QDir::Files, QDir::Name);
            if (names.size() >= expected) {
                break;
            }
            QThread::msleep(20);
        }
        QList<SentMail> sent;
        for (QString name : names) {
            name.chop(5);
            sent.append({QString::fromUtf8(m_home.Read("sent/" + name + ".args")),
                         QString::fromUtf8(m_home.Read("sent/" + name + ".msg"))});
        }
        return sent;
    }

    QStringList SentTo(int expected) const {
        QStringList recipients;
        for (const SentMail& mail : Sent(expected)) {
            recipients << mail.args.trimmed().split('\n').last();
        }
        recipients.sort();
        return recipients;
    }

    void ClearSent() {
        QDir dir(m_home.File("sent"));
        for (const QString& name : dir.entryList({"mail.*"}, QDir::Files)) {
            dir.remove(name);
        }
    }

    TestFolder m_home;
    QString m_procmail;
    QString m_recipe;
};

TEST_F(ProcmailDelivery, ForwardingMailboxFolderTrashAndCatchAll) {
    Generate(
        "POP {home}/mail/pop me@example.com\n"
        "DOMAIN example.com\n"
        "joe -> joe@elsewhere.net\n"
        "ann -> POP\n"
        "bob -> {home}/mail/bob\n"
        "spam -> TRASHCAN\n"
        "ext EXTERNAL\n"
        "? -> {home}/mail/catchall\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("joe@example.com"));
    EXPECT_EQ(SentTo(1), QStringList{"joe@elsewhere.net"});
    Deliver(Headers("ann@example.com", "alice@outside.org", "for ann"));
    Deliver(Headers("bob@example.com", "alice@outside.org", "for bob"));
    Deliver(Headers("spam@example.com"));
    Deliver(Headers("ext@example.com"));
    Deliver(Headers("zed@example.com", "alice@outside.org", "for zed"));
    Deliver(Headers("someone@other.org", "alice@outside.org", "stranger"));

    const QStringList pop = Mailbox("mail/pop");
    ASSERT_EQ(pop.size(), 2);
    EXPECT_TRUE(pop[0].contains("Subject: for ann"));
    EXPECT_TRUE(pop[1].contains("Subject: stranger"));
    ASSERT_EQ(Mailbox("mail/bob").size(), 1);
    const QStringList catchAll = Mailbox("mail/catchall");
    ASSERT_EQ(catchAll.size(), 1);
    EXPECT_TRUE(catchAll[0].contains("Subject: for zed"));
    EXPECT_EQ(Sent(1).size(), 1);
}

TEST_F(ProcmailDelivery, SuffixedDomainVariants) {
    Generate(
        "DOMAIN example.com[.au]\n"
        "joe -> {home}/mail/joe\n"
        "kim/-s -> {home}/mail/kim\n"
        "lee/+S -> {home}/mail/lee\n"
        "? -> {home}/mail/rest\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("joe@example.com"));
    Deliver(Headers("joe@example.com.au"));
    Deliver(Headers("kim@example.com", "a@b.org", "kim plain"));
    Deliver(Headers("kim@example.com.au", "a@b.org", "kim suffixed"));
    Deliver(Headers("lee@example.com.au", "a@b.org", "lee suffixed"));
    Deliver(Headers("lee@example.com", "a@b.org", "lee plain"));

    EXPECT_EQ(Mailbox("mail/joe").size(), 2);
    ASSERT_EQ(Mailbox("mail/kim").size(), 1);
    EXPECT_TRUE(Mailbox("mail/kim")[0].contains("kim plain"));
    ASSERT_EQ(Mailbox("mail/lee").size(), 1);
    EXPECT_TRUE(Mailbox("mail/lee")[0].contains("lee suffixed"));
    const QStringList rest = Mailbox("mail/rest");
    ASSERT_EQ(rest.size(), 2);
    EXPECT_TRUE(rest[0].contains("kim suffixed"));
    EXPECT_TRUE(rest[1].contains("lee plain"));
    EXPECT_TRUE(Mailbox("mail/pop").isEmpty());
}

TEST_F(ProcmailDelivery, SizeAndSenderConditionsAndGroups) {
    Generate(
        "DOMAIN example.com\n"
        "big -> {home}/mail/big SIZE > 2000\n"
        "big -> {home}/mail/small IF SIZE < 2000\n"
        "pal -> {home}/mail/pal NOT-FROM foe@bad.org\n"
        "vip -> {home}/mail/vip ONLY-FROM boss@corp.com,deputy@corp.com\n"
        "IF SIZE > 5000 THEN BEGIN\n"
        "huge -> {home}/mail/huge\n"
        "END\n"
        "IF FROM friend@a.org pal@b.org THEN BEGIN\n"
        "sel -> {home}/mail/friends\n"
        "END\n"
        "after -> {home}/mail/after\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    const QString longBody = QString("x").repeated(70).append('\n').repeated(90);
    Deliver(Headers("big@example.com"), longBody);
    Deliver(Headers("big@example.com"));
    Deliver(Headers("pal@example.com", "foe@bad.org"));
    Deliver(Headers("pal@example.com", "mate@good.org"));
    Deliver(Headers("vip@example.com", "deputy@corp.com"));
    Deliver(Headers("vip@example.com", "nobody@corp.com"));
    Deliver(Headers("huge@example.com"));
    Deliver(Headers("huge@example.com"), longBody);
    Deliver(Headers("sel@example.com", "pal@b.org"));
    Deliver(Headers("sel@example.com", "stranger@c.org"));
    Deliver(Headers("after@example.com"), longBody);

    EXPECT_EQ(Mailbox("mail/big").size(), 1);
    EXPECT_EQ(Mailbox("mail/small").size(), 1);
    ASSERT_EQ(Mailbox("mail/pal").size(), 1);
    EXPECT_TRUE(Mailbox("mail/pal")[0].contains("mate@good.org"));
    ASSERT_EQ(Mailbox("mail/vip").size(), 1);
    EXPECT_TRUE(Mailbox("mail/vip")[0].contains("deputy@corp.com"));
    EXPECT_EQ(Mailbox("mail/huge").size(), 1);
    ASSERT_EQ(Mailbox("mail/friends").size(), 1);
    EXPECT_TRUE(Mailbox("mail/friends")[0].contains("pal@b.org"));
    // A group must not make procmail run the recipes after it twice.
    EXPECT_EQ(Mailbox("mail/after").size(), 1);
    EXPECT_TRUE(Mailbox("mail/pop").isEmpty());
}

TEST_F(ProcmailDelivery, FiltersSendToSpamDestination) {
    Generate(
        "SPAMDEST {home}/mail/spam\n"
        "SPAMMER junk@spam.biz\n"
        "SPAMTEXT casino\n"
        "SUBJECT-FILTER Cheap pills\n"
        "TO-FILTER undisclosed\n"
        "DOMAIN example.com\n"
        "SPAMMER pest@noise.org\n"
        "joe -> {home}/mail/joe\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("joe@example.com", "junk@spam.biz"));
    Deliver(Headers("joe@example.com"), "Visit our casino today.\n");
    Deliver(Headers("joe@example.com", "a@b.org", "Cheap pills here"));
    Deliver(
        "From: a@b.org\nTo: undisclosed-recipients:;\nX-Envelope-To: joe@example.com\n"
        "Subject: hidden\n");
    Deliver(Headers("joe@example.com", "pest@noise.org"));
    Deliver(Headers("joe@example.com", "friend@good.org", "real mail"));

    EXPECT_EQ(Mailbox("mail/spam").size(), 5);
    ASSERT_EQ(Mailbox("mail/joe").size(), 1);
    EXPECT_TRUE(Mailbox("mail/joe")[0].contains("real mail"));
    EXPECT_TRUE(Mailbox("mail/pop").isEmpty());
}

TEST_F(ProcmailDelivery, MailingListDoesNotEchoMembersOwnMail) {
    Generate(
        "POP {home}/mail/pop me@example.com\n"
        "MAILINGLIST club\n"
        "MEMBER ann@one.net\n"
        "MEMBER bob@two.net bob@home.net\n"
        "MEMBER POP\n"
        "MAILINGLIST END\n"
        "MAILINGLIST open UNFILTERED\n"
        "MEMBER ann@one.net\n"
        "MEMBER cy@three.net\n"
        "MAILINGLIST END\n"
        "DOMAIN example.com\n"
        "club -> club\n"
        "open -> open\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("club@example.com", "ann@one.net"));
    EXPECT_EQ(SentTo(1), QStringList{"bob@two.net"});
    EXPECT_EQ(Mailbox("mail/pop").size(), 1);
    ClearSent();
    Deliver(Headers("club@example.com", "bob@home.net"));
    EXPECT_EQ(SentTo(1), QStringList{"ann@one.net"});
    ClearSent();
    Deliver(Headers("club@example.com", "me@example.com"));
    EXPECT_EQ(SentTo(2), (QStringList{"ann@one.net", "bob@two.net"}));
    EXPECT_EQ(Mailbox("mail/pop").size(), 2);
    ClearSent();
    Deliver(Headers("open@example.com", "ann@one.net"));
    EXPECT_EQ(SentTo(2), (QStringList{"ann@one.net", "cy@three.net"}));
}

TEST_F(ProcmailDelivery, AutoresponderReplyBuiltByFormail) {
    Generate(
        "AUTORESPONDER away\n"
        "AUTOSUBJECT Out of office\n"
        "AUTOFROM Joe Bloggs <joe@&DOMAIN>\n"
        "AUTOTEXTLINE I am away until Monday.\n"
        "AUTOTEXTLINE\n"
        "AUTOTEXTLINE Regards from &domain\n"
        "AUTOTEXTLINE Say \"cheese\" for $5 or $HOME \\ `id`\n"
        "AUTORESPONDER END\n"
        "DOMAIN example.com\n"
        "joe -> {home}/mail/joe,away\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    // No reply to a daemon or to a message that already carries this X-Loop line.
    Deliver(Headers("joe@example.com", "MAILER-DAEMON@outside.org", "Undeliverable"));
    Deliver(Headers("joe@example.com") + "X-Loop: away\n");
    Deliver(Headers("joe@example.com", "alice@outside.org", "Meeting"));
    const QList<SentMail> sent = Sent(1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].args.contains("-t"));
    const QString reply = sent[0].message;
    EXPECT_TRUE(reply.contains(
        QRegularExpression("^To: +alice@outside.org$", QRegularExpression::MultilineOption)))
        << reply.toStdString();
    EXPECT_TRUE(reply.contains(QRegularExpression("^From: +Joe Bloggs <joe@example.com>$",
                                                  QRegularExpression::MultilineOption)));
    EXPECT_TRUE(reply.contains(
        QRegularExpression("^Subject: +Out of office$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(reply.contains("\nX-Loop: away\n"));
    EXPECT_TRUE(reply.contains("\nPrecedence: junk\n"));
    EXPECT_TRUE(
        reply.contains(" I am away until Monday.\n \n Regards from example.com\n"
                       " Say \"cheese\" for $5 or $HOME \\ `id`\n"))
        << reply.toStdString();
    EXPECT_FALSE(reply.contains("Hello there."));
    EXPECT_EQ(Mailbox("mail/joe").size(), 3);
    EXPECT_TRUE(Mailbox("mail/pop").isEmpty());
}

TEST_F(ProcmailDelivery, AutoresponderToPopAddressAndNotThisDomain) {
    Generate(
        "POP {home}/mail/pop me@example.com\n"
        "AUTORESPONDER notify KEEPBODY\n"
        "AUTOTO POP\n"
        "AUTOSUBJECT New order\n"
        "AUTORESPONDER END\n"
        "AUTORESPONDER outside\n"
        "AUTOTO notthisdomain\n"
        "AUTOTEXTLINE Thanks\n"
        "AUTORESPONDER END\n"
        "DOMAIN example.com\n"
        "orders -> notify\n"
        "help -> outside\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("orders@example.com", "buyer@shop.org"), "Two apples.\n");
    QList<SentMail> sent = Sent(1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].message.contains(
        QRegularExpression("^To: +me@example.com$", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(sent[0].message.contains("Two apples."));

    ClearSent();
    Deliver(Headers("help@example.com", "colleague@example.com"));
    Deliver(Headers("help@example.com", "client@far.org"));
    sent = Sent(1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].message.contains(
        QRegularExpression("^To: +client@far.org$", QRegularExpression::MultilineOption)));
}

TEST_F(ProcmailDelivery, ProgramDrivenAutoresponderStoresAndRunsOnce) {
    const QString program = m_home.Write(
        "bin/handle.sh", ("#!/bin/sh\necho \"$1\" >> '" + m_home.File("ran") + "'\n").toUtf8());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Generate(
        "AUTORESPONDER robot\n"
        "AUTOPROGRAM {home}/bin/handle.sh\n"
        "AUTODIR {home}/store/\n"
        "AUTORESPONDER END\n"
        "DOMAIN example.com\n"
        "bot -> robot\n"
        "? -> {home}/mail/rest\n"
        "DOMAIN END\n"
        "UNRESOLVED -> POP\n");
    Deliver(Headers("bot@example.com"));
    const QStringList stored = QDir(m_home.File("store")).entryList({"recvdBOT_*"}, QDir::Files);
    ASSERT_EQ(stored.size(), 1);
    const QString ran = QString::fromUtf8(m_home.Read("ran")).trimmed();
    EXPECT_EQ(ran, m_home.File("store/" + stored[0]));
    EXPECT_TRUE(Mailbox("mail/rest").isEmpty());
    EXPECT_TRUE(Mailbox("mail/pop").isEmpty());
}

TEST_F(ProcmailDelivery, UnresolvedToAddressAndSimpleDomainWithDisplayName) {
    Generate(
        "DOMAIN shop.org ALL -> <ShopDesk>desk@corp.net\n"
        "DOMAIN example.com\n"
        "joe -> {home}/mail/joe\n"
        "DOMAIN END\n"
        "UNRESOLVED -> fallback@corp.net\n");
    Deliver(Headers("sales@shop.org") + "Cc: carol@cc.org\n");
    QList<SentMail> sent = Sent(1);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].args.trimmed().split('\n').last(), "desk@corp.net");
    EXPECT_FALSE(sent[0].args.contains("carol"));
    EXPECT_TRUE(sent[0].message.contains("\nTo: ShopDesk <desk@corp.net>\n"));

    ClearSent();
    // Mail of an examined domain is destroyed at the end, not left to the unresolved recipe.
    Deliver(Headers("nobody@example.com"));
    Deliver(Headers("someone@other.org"));
    EXPECT_EQ(SentTo(1), QStringList{"fallback@corp.net"});
    EXPECT_TRUE(Mailbox("mail/joe").isEmpty());
}

}  // namespace
