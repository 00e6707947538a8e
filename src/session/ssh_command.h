#pragma once

#include <QString>
#include <QStringList>

#include "session/sftp_connection.h"

// What the SFTP transport says to the system's ssh and how it reads what ssh says back: pure
// functions, so every form is tested without a server.

// The arguments of "ssh ... -s HOST sftp" for a connection. Helper is the program that answers
// ssh's prompts and, with a proxy, carries the connection ("HELPER --ssh-tunnel HOST PORT").
QStringList SshArguments(const SftpConnectOptions& options, const QString& knownHostsFile,
                         const QString& helper);

// What kind of question an askpass prompt from ssh is, with its fingerprint or key file.
SshPrompt ClassifySshPrompt(const QString& text);

// The "SHA256:..." fingerprint of a "debug1: Server host key: TYPE SHA256:..." line, else empty.
QString SshHostKeyFromLine(const QString& line);

// How an ssh that ended (exit status, its last lines on standard error) is reported: one of the
// connection's codes and a text for the person that ends with ssh's own words. Started: the
// SFTP session had begun, so an end is a lost connection rather than a failed login.
struct SshFailure {
    int code = 0;
    QString text;
};
SshFailure SshFailureFrom(int exitStatus, const QStringList& errorLines, bool started);
