#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// A fresh temporary folder for one test, removed afterwards.
class TestFolder {
public:
    TestFolder();
    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }
    bool IsValid() const { return m_dir.isValid(); }

    // Writes Bytes to the named file; returns its full path.
    QString Write(const QString& name, const QByteArray& bytes) const;
    QByteArray Read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// The whole content of a file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
// Writes Bytes as the whole file, making its folder first; a failure is a test failure (and
// false).
bool WriteFile(const QString& path, const QByteArray& bytes);
// Size bytes that look random; the same Variant always gives the same bytes.
QByteArray RandomBytes(qsizetype size, quint32 variant = 42);
// Lets the event loop run until Done holds or Ms pass; true when Done holds.
bool WaitFor(const std::function<bool()>& done, int ms = 15000);
// Processor time (user and system) this process has used so far, in seconds.
double CpuSeconds();

// The NAME=VALUE lines a server fixture wrote: the environment variable StateVariable names a
// file holding the fixture's folder, whose servers.env has the lines. Empty when absent.
QMap<QString, QString> LoadServerEnv(const char* stateVariable);

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value);
    ~ScopedEnv();

private:
    QByteArray m_name;
    QByteArray m_old;
    bool m_had;
};

#include <QStringList>
#include <ostream>

// Readable QString and QStringList values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *os << (i ? ", " : "") << '"' << list[i].toStdString() << '"';
    }
    *os << '}';
}
