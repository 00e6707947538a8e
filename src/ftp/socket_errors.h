#pragma once

#include <QAbstractSocket>
#include <QString>

// A socket failure as the engine reports it: a short text and the Windows Sockets error number
// that the displayed texts carry ("... (Winsock error #10061)").
struct SocketErrorInfo {
    QString text;
    int number = 0;
};

// The one mapping from Qt's socket errors to the engine's error texts and numbers.
SocketErrorInfo DescribeSocketError(QAbstractSocket::SocketError error);
