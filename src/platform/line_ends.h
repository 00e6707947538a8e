#pragma once

#include <QByteArray>
#include <QtGlobal>

// This platform's line end in local text files.
#ifdef Q_OS_WIN
inline const QByteArray kLocalNewline = QByteArrayLiteral("\r\n");
#else
inline const QByteArray kLocalNewline = QByteArrayLiteral("\n");
#endif

// Line ends in text mode, as a stream: pieces may split a CR LF pair. ToCrLf never doubles a
// CR LF that is already there; ToLf turns CR LF into LF and leaves a lone CR alone.
class LineEndConverter {
public:
    enum class Direction { ToCrLf, ToLf };
    explicit LineEndConverter(Direction direction) : m_direction(direction) {}
    QByteArray Convert(const QByteArray& piece);
    QByteArray Finish();  // what a trailing CR held back still owes

private:
    Direction m_direction;
    bool m_lastWasCr = false;
    bool m_heldCr = false;
};
