#include "app/log_file.h"

#include <QFileDevice>

void LogFile::Open(const QString& path) {
    m_file.close();
    m_path = path;
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

void LogFile::Append(const QString& line) {
    if (!m_file.isOpen()) {
        return;
    }
    if (m_file.size() >= kMaxBytes) {
        Rotate();
        if (!m_file.isOpen()) {
            return;
        }
    }
    m_file.write(line.toUtf8() + '\n');
    m_file.flush();
}

void LogFile::Rotate() {
    m_file.close();
    const QString older = m_path + ".1";
    QFile::remove(older);
    QFile::rename(m_path, older);
    Open(m_path);
}
