#include "session/ssh_command.h"

#include <QRegularExpression>

#include "session/sftp_packet.h"

namespace {

// ssh expands %-sequences and reads quotes in option values.
QString ConfigQuoted(QString path) {
    path.replace('%', "%%");
    return '"' + path + '"';
}

// ProxyCommand runs through the shell.
QString ShellQuoted(QString text) {
    text.replace('%', "%%");
    text.replace('\'', "'\\''");
    return '\'' + text + '\'';
}

// The lines of ssh's standard error worth showing: its debug chatter left out.
QStringList SshMessageLines(const QStringList& errorLines) {
    QStringList out;
    for (const QString& line : errorLines) {
        if (!line.startsWith("debug") && !line.trimmed().isEmpty()) {
            out << line.trimmed();
        }
    }
    return out;
}

}  // namespace

QStringList SshArguments(const SftpConnectOptions& options, const QString& knownHostsFile,
                         const QString& helper) {
    QStringList a;
    // -v: the host key's fingerprint is reported before any login, even when it is trusted.
    a << "-v";
    // What a file-transfer session never wants, whatever the user's configuration says.
    a << "-oForwardX11=no"
      << "-oForwardAgent=no"
      << "-oPermitLocalCommand=no"
      << "-oClearAllForwardings=yes"
      << "-oRemoteCommand=none"
      << "-oRequestTTY=no";
    // Every prompt goes to the askpass helper; one password try per method, since the program
    // asks the person itself when a password is refused.
    a << "-oBatchMode=no"
      << "-oNumberOfPasswordPrompts=1";
    a << "-oStrictHostKeyChecking=ask"
      << "-oUpdateHostKeys=no";
    a << "-oUserKnownHostsFile=" + ConfigQuoted(knownHostsFile) + " ~/.ssh/known_hosts";
    a << QString("-oConnectTimeout=%1").arg(qMax(1, options.timeoutSeconds));
    a << "-oServerAliveInterval=15"
      << "-oServerAliveCountMax=3";
    a << (options.compression ? "-oCompression=yes" : "-oCompression=no");
    if (!options.configFile.isEmpty()) {
        a << "-F" << options.configFile;
    }
    if (!options.keyFile.isEmpty()) {
        a << "-i" << options.keyFile << "-oIdentitiesOnly=yes";
    }
    if (options.socks) {
        a << "-oProxyCommand=" + ShellQuoted(helper) + " --ssh-tunnel %h %p";
    }
    if (options.port != 0) {
        a << "-p" << QString::number(options.port);
    }
    if (!options.user.isEmpty()) {
        a << "-l" << options.user;
    }
    // "--" ends the options: a host name can never be read as one.
    a << "-s"
      << "--" << options.host << "sftp";
    return a;
}

SshPrompt ClassifySshPrompt(const QString& text) {
    SshPrompt p;
    p.text = text;
    static const QRegularExpression fingerprint("(SHA256:[A-Za-z0-9+/=]+)");
    static const QRegularExpression passphrase("^Enter passphrase for (?:key )?'?(.*?)'?: ?$");
    static const QRegularExpression password("password(?: for [^:]*)?:$",
                                             QRegularExpression::CaseInsensitiveOption);
    const QString last = text.trimmed().split('\n').last();
    if (text.contains("Are you sure you want to continue connecting") ||
        text.contains("authenticity of host")) {
        p.kind = SshPrompt::Kind::HostKey;
        p.fingerprint = fingerprint.match(text).captured(1);
    } else if (const auto m = passphrase.match(last); m.hasMatch()) {
        p.kind = SshPrompt::Kind::Passphrase;
        p.keyFile = m.captured(1);
    } else if (password.match(last).hasMatch()) {
        p.kind = SshPrompt::Kind::Password;
    }
    return p;
}

QString SshHostKeyFromLine(const QString& line) {
    static const QRegularExpression re("^debug1: Server host key: \\S+ (SHA256:[A-Za-z0-9+/=]+)");
    return re.match(line).captured(1);
}

SshFailure SshFailureFrom(int exitStatus, const QStringList& errorLines, bool started) {
    const QStringList messages = SshMessageLines(errorLines);
    const QString all = messages.join('\n');
    const auto has = [&](const char* text) { return all.contains(text, Qt::CaseInsensitive); };
    SshFailure f;
    if (has("REMOTE HOST IDENTIFICATION HAS CHANGED")) {
        // The new key's fingerprint follows "sent by the remote host is".
        static const QRegularExpression key("(SHA256:[A-Za-z0-9+/=]+)");
        const qsizetype at = all.indexOf("sent by the remote host is");
        f.code = SftpConnection::kHostKeyChanged;
        f.text = SftpCodeText(f.code) + ": " + key.match(all, at < 0 ? 0 : at).captured(1);
        return f;
    }
    if (has("Host key verification failed")) {
        f.code = SftpConnection::kHostKeyRefused;
    } else if (has("Permission denied") || has("Too many authentication failures")) {
        f.code = SftpConnection::kPasswordRefused;
    } else if (has("Could not resolve hostname") || has("Connection refused") ||
               has("No route to host") || has("Network is unreachable") || has("proxy: ") ||
               has("kex_exchange_identification: Connection closed")) {
        f.code = SftpConnection::kConnectFailed;
    } else if (has("timed out")) {
        f.code = SftpConnection::kTimedOut;
    } else if (has("Unable to negotiate") || has("subsystem request failed") ||
               has("no matching") || has("Load key") || has("invalid format")) {
        f.code = SftpConnection::kHandshakeFailed;
    } else if (started) {
        f.code = SftpConnection::kConnectionLost;
    } else {
        f.code =
            exitStatus == 255 ? SftpConnection::kHandshakeFailed : SftpConnection::kConnectionLost;
    }
    // ssh's own last word says what happened; the code's text says what it means.
    const QString said = messages.isEmpty() ? QString() : messages.last();
    f.text = said.isEmpty() ? SftpCodeText(f.code) : SftpCodeText(f.code) + " (ssh: " + said + ")";
    return f;
}
