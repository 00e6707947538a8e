#pragma once

#include <QFile>
#include <QString>

// Every line of the displayed log also goes to a file in the work folder, so a scheduled script
// that runs for days keeps its early lines although the window keeps only the latest 20,000.
// When the file passes kMaxBytes it becomes Name + ".1" (replacing an older one) and a new file
// is started.
class LogFile {
public:
    static constexpr qint64 kMaxBytes = 8 * 1024 * 1024;

    void Open(const QString& path);
    // Appends one line (a line feed is added). Failures are silent: the log must never stop the
    // program.
    void Append(const QString& line);
    QString Path() const { return m_path; }

private:
    void Rotate();

    QString m_path;
    QFile m_file;
};
