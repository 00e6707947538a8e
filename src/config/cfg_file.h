#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QDateTime;

// The configuration file held in memory: one line per setting, three quoted comma-separated
// fields (section, key, value in the Base64 variant). Lines are kept as Latin-1 text so that every
// byte of a line the program does not understand is written back unchanged.
class CfgFile {
public:
    explicit CfgFile(QString fileName = {});

    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }

    QStringList& CfgLines() { return m_lines; }
    const QStringList& CfgLines() const { return m_lines; }
    bool CfgDirty() const { return m_dirty; }
    void SetDirty(bool dirty) { m_dirty = dirty; }

    int CurrentSiteNum() const { return m_currentSiteNum; }
    void SetCurrentSiteNum(int n) { m_currentSiteNum = n; }
    QString CurrentSiteSection() const { return SiteSection(m_currentSiteNum); }
    static QString SiteSection(int siteNum) { return "Site" + QString::number(siteNum); }

    // Loads the file when it exists and marks the lines clean; a missing file leaves an empty,
    // dirty configuration so that the first save writes it. False (with ErrorText) when the file
    // exists but cannot be read; the lines are then left as they were.
    bool Load();
    bool Exists() const;

    QString GetCfgFileSetting(const QString& section, const QString& key,
                              const QString& defaultValue) const;
    void PutCfgFileSetting(const QString& section, const QString& key, const QString& value);

    // Kind "common" or "..settings" (any case) addresses "Common"; anything else the current site.
    QString SettingGet(const QString& kind, const QString& key, const QString& defaultValue) const;
    void SettingPut(const QString& kind, const QString& key, const QString& value);

    // Saves, merging in the sections that other running copies wrote to the file meanwhile.
    bool SaveCfgFile();
    // Writes the lines as they are, without the merge (site creation and deletion).
    bool WriteLinesDirect();

    // The reason of the last failed Load or save, naming the path.
    const QString& ErrorText() const { return m_error; }

    // Told once per run when a copy of a damaged file was kept before saving over it.
    std::function<void(const QString& text)> onNotice;

    // A line of the form "section","key","value" with a value in the Base64 variant; empty
    // lines count as readable (they carry nothing).
    static bool IsReadableLine(const QString& line);
    // Where the copy of a damaged file goes when it is kept at Stamp.
    static QString DamagedCopyName(const QString& fileName, const QDateTime& stamp);

    // Line format helpers.
    static QString MakeLine(const QString& section, const QString& key, const QString& value);
    static QString LineField(const QString& line, int n);
    static QString DecodeValue(const QString& field);

    static bool ReadLines(const QString& fileName, QStringList& lines, QString& error);
    static bool WriteLines(const QString& fileName, const QStringList& lines, QString& error);

private:
    // Before the first write over a file with unreadable lines: keeps its bytes in a copy
    // beside it (owner-only), unless an earlier copy already holds every unreadable line.
    // False (with ErrorText) when the copy could not be made; the file must then stay.
    bool KeepDamagedCopy();

    QString m_fileName;
    bool m_damageKept = false;
    QStringList m_lines;
    bool m_dirty = true;
    int m_currentSiteNum = 0;
    QString m_error;
};
