#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <sys/resource.h>

namespace {
QString TempRoot() {
    const QString root = qEnvironmentVariable("VORLEN_TEST_TMP");
    if (root.isEmpty()) {
        return QDir::tempPath() + "/vorlen-test-XXXXXX";
    }
    QDir().mkpath(root);
    return root + "/vorlen-test-XXXXXX";
}
}  // namespace

TestFolder::TestFolder() : m_dir(TempRoot()) {}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(bytes) == bytes.size() && file.flush();
    if (!written) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
    }
    return written;
}

QByteArray RandomBytes(qsizetype size, quint32 variant) {
    QRandomGenerator generator(variant);
    QByteArray bytes(size, Qt::Uninitialized);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i) {
        bytes[i] = static_cast<char>(generator.generate());
    }
    return bytes;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString TestFolder::Write(const QString& name, const QByteArray& bytes) const {
    const QString path = File(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

QByteArray TestFolder::Read(const QString& name) const {
    QFile file(File(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ScopedEnv::ScopedEnv(const char* name, const QString& value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value.toUtf8());
}

ScopedEnv::~ScopedEnv() {
    if (m_had) {
        qputenv(m_name.constData(), m_old);
    } else {
        qunsetenv(m_name.constData());
    }
}

QMap<QString, QString> LoadServerEnv(const char* stateVariable) {
    QMap<QString, QString> values;
    QFile state(qEnvironmentVariable(stateVariable));
    if (!state.open(QIODevice::ReadOnly)) {
        return values;
    }
    QFile file(QString::fromUtf8(state.readAll()).trimmed() + "/servers.env");
    if (!file.open(QIODevice::ReadOnly)) {
        return values;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            values.insert(QString::fromUtf8(line.left(eq)),
                          QString::fromUtf8(line.mid(eq + 1)).trimmed());
        }
    }
    return values;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}
