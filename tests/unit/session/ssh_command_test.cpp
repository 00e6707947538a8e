// What the transport says to ssh and how it reads ssh's prompts and last words.
#include <gtest/gtest.h>

#include "session/ssh_command.h"
#include "session/ssh_helper.h"

namespace {

struct PromptCase {
    const char* text;
    SshPrompt::Kind kind;
    const char* fingerprint;
    const char* keyFile;
};

}  // namespace

TEST(SshCommand, PromptsAreToldApart) {
    // The forms OpenSSH 9 hands to askpass.
    const PromptCase cases[] = {
        {"The authenticity of host '[127.0.0.1]:2222 ([127.0.0.1]:2222)' can't be established.\n"
         "ED25519 key fingerprint is SHA256:5SimIvHA2q/oihZ1t00qahpUC7eYLVIjGNcZbZqIWlU.\n"
         "This key is not known by any other names.\n"
         "Are you sure you want to continue connecting (yes/no/[fingerprint])? ",
         SshPrompt::Kind::HostKey, "SHA256:5SimIvHA2q/oihZ1t00qahpUC7eYLVIjGNcZbZqIWlU", ""},
        {"vorlensftp@127.0.0.1's password: ", SshPrompt::Kind::Password, "", ""},
        {"(vorlensftp@127.0.0.1) Password: ", SshPrompt::Kind::Password, "", ""},
        {"Password for anna@example.org: ", SshPrompt::Kind::Password, "", ""},
        {"Enter passphrase for key '/home/anna/.ssh/id_ed25519': ", SshPrompt::Kind::Passphrase, "",
         "/home/anna/.ssh/id_ed25519"},
        {"Enter passphrase for key '/tmp/a b/key': ", SshPrompt::Kind::Passphrase, "",
         "/tmp/a b/key"},
        {"(anna@example.org) Verification code: ", SshPrompt::Kind::Other, "", ""},
        {"Allow use of key /home/anna/.ssh/id_rsa?", SshPrompt::Kind::Other, "", ""},
        // A password prompt inside another question is not a password prompt.
        {"The password: field is below. Continue?", SshPrompt::Kind::Other, "", ""},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.text);
        const SshPrompt p = ClassifySshPrompt(c.text);
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_EQ(p.fingerprint, c.fingerprint);
        EXPECT_EQ(p.keyFile, c.keyFile);
        EXPECT_EQ(p.text, c.text);
    }
}

TEST(SshCommand, FailuresMapToTheConnectionsCodes) {
    struct Case {
        int status;
        QStringList lines;
        bool started;
        int code;
    };
    const Case cases[] = {
        {255,
         {"debug1: Next authentication method: password",
          "vorlensftp@127.0.0.1: Permission denied (publickey,password)."},
         false,
         SftpConnection::kPasswordRefused},
        {255,
         {"ssh: Could not resolve hostname nowhere.invalid: Name or service not known"},
         false,
         SftpConnection::kConnectFailed},
        {255,
         {"ssh: connect to host 127.0.0.1 port 1: Connection refused"},
         false,
         SftpConnection::kConnectFailed},
        {255,
         {"ssh: connect to host 10.0.0.1 port 22: Connection timed out"},
         false,
         SftpConnection::kTimedOut},
        {255, {"Host key verification failed."}, false, SftpConnection::kHostKeyRefused},
        {255,
         {"Unable to negotiate with 127.0.0.1 port 22: no matching cipher found."},
         false,
         SftpConnection::kHandshakeFailed},
        {255, {"subsystem request failed on channel 0"}, false, SftpConnection::kHandshakeFailed},
        {255,
         {"vorlen proxy: The proxy refused the connection"},
         false,
         SftpConnection::kConnectFailed},
        {255,
         {"Connection to 127.0.0.1 closed by remote host."},
         true,
         SftpConnection::kConnectionLost},
        {0, {}, true, SftpConnection::kConnectionLost},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join(" | ").toStdString());
        const SshFailure f = SshFailureFrom(c.status, c.lines, c.started);
        EXPECT_EQ(f.code, c.code);
        // ssh's own last line is in the text; its debug chatter is not.
        if (!c.lines.isEmpty()) {
            EXPECT_TRUE(f.text.contains(c.lines.last())) << f.text.toStdString();
        }
        EXPECT_FALSE(f.text.contains("debug1"));
    }

    // A changed key: the new fingerprint, from the line after the warning's.
    const QStringList changed = {
        "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@",
        "@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @",
        "The fingerprint for the ED25519 key sent by the remote host is",
        "SHA256:NEWnewNEWnewNEWnewNEWnewNEWnewNEWnewNEWnewN.",
        "Offending ED25519 key in /home/anna/.local/share/VorlenFTP/known_hosts/Site:1",
        "Host key verification failed."};
    const SshFailure f = SshFailureFrom(255, changed, false);
    EXPECT_EQ(f.code, SftpConnection::kHostKeyChanged);
    EXPECT_TRUE(f.text.endsWith(": SHA256:NEWnewNEWnewNEWnewNEWnewNEWnewNEWnewNEWnewN"))
        << f.text.toStdString();
}

TEST(SshCommand, ArgumentsKeepHostsAndPathsFromBeingReadAsOptions) {
    SftpConnectOptions o;
    o.host = "-oProxyCommand=touch /tmp/owned";
    o.user = "anna";
    o.port = 2222;
    o.keyFile = "/home/anna/keys/site key";
    o.socks = SocksSettings{};
    const QStringList a = SshArguments(o, "/home/anna/100% \"sites\"/known", "/opt/it's/vorlen");
    // The host comes after "--", then the subsystem.
    ASSERT_GE(a.size(), 3);
    EXPECT_EQ(a.mid(a.size() - 4), QStringList({"-s", "--", o.host, "sftp"}));
    EXPECT_EQ(a.indexOf("-p") + 1, a.indexOf("2222"));
    EXPECT_EQ(a[a.indexOf("-l") + 1], "anna");
    EXPECT_EQ(a[a.indexOf("-i") + 1], o.keyFile);
    EXPECT_TRUE(a.contains("-oIdentitiesOnly=yes"));
    // ssh expands % in these values and the shell runs the proxy command.
    EXPECT_TRUE(a.contains("-oProxyCommand='/opt/it'\\''s/vorlen' --ssh-tunnel %h %p"));
    bool knownHosts = false;
    for (const QString& arg : a) {
        knownHosts = knownHosts || arg.startsWith("-oUserKnownHostsFile=\"/home/anna/100%% ");
    }
    EXPECT_TRUE(knownHosts);
    // Without a port, user, key or proxy, ssh and the user's configuration choose.
    SftpConnectOptions alias;
    alias.host = "alias";
    const QStringList plain = SshArguments(alias, "/k", "/v");
    for (const char* absent : {"-p", "-l", "-i"}) {
        EXPECT_FALSE(plain.contains(absent)) << absent;
    }
    for (const QString& arg : plain) {
        EXPECT_FALSE(arg.startsWith("-oProxyCommand"));
    }
}

TEST(SshCommand, HelperFramesArriveWholeOrNotAtAll) {
    QByteArray stream = SshHelperFrame("P question") + SshHelperFrame(QByteArray());
    QByteArray buffer;
    for (char c : stream.left(6)) {
        buffer += c;
        EXPECT_FALSE(TakeSshHelperFrame(buffer).has_value());
    }
    buffer += stream.mid(6);
    EXPECT_EQ(TakeSshHelperFrame(buffer), QByteArray("P question"));
    EXPECT_EQ(TakeSshHelperFrame(buffer), QByteArray());
    EXPECT_FALSE(TakeSshHelperFrame(buffer).has_value());
    EXPECT_TRUE(buffer.isEmpty());
}
