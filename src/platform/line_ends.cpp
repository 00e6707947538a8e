#include "platform/line_ends.h"

QByteArray LineEndConverter::Convert(const QByteArray& piece) {
    QByteArray out;
    out.reserve(piece.size() + piece.size() / 16 + 2);
    if (m_direction == Direction::ToCrLf) {
        for (const char c : piece) {
            if (c == '\n' && !m_lastWasCr) {
                out.append('\r');
            }
            out.append(c);
            m_lastWasCr = c == '\r';
        }
        return out;
    }
    for (const char c : piece) {
        if (m_heldCr) {
            m_heldCr = false;
            if (c != '\n') {
                out.append('\r');
            }
        }
        if (c == '\r') {
            m_heldCr = true;
            continue;
        }
        out.append(c);
    }
    return out;
}

QByteArray LineEndConverter::Finish() {
    if (m_heldCr) {
        m_heldCr = false;
        return QByteArrayLiteral("\r");
    }
    return {};
}
