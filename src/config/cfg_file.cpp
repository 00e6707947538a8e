#include "config/cfg_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "config/scrambling.h"
#include "config/words.h"

namespace {

bool IsCommonKind(const QString& kind) {
    const QString lower = kind.toLower();
    return lower == "..settings" || lower == "common";
}

// "Site" followed by a whole number: that number, else -1.
int SiteNumberOf(const QString& section) {
    if (!section.startsWith("Site") || section.size() == 4) {
        return -1;
    }
    bool ok = false;
    const int n = section.mid(4).toInt(&ok);
    for (qsizetype i = 4; i < section.size(); ++i) {
        if (!section[i].isDigit()) {
            return -1;
        }
    }
    return ok ? n : -1;
}

// A field as the program writes it: between double quotes, with no quote inside.
bool IsQuotedField(QStringView word, bool allowEmpty) {
    if (word.size() < 2 || !word.startsWith(u'"') || !word.endsWith(u'"')) {
        return false;
    }
    const QStringView inner = word.mid(1, word.size() - 2);
    return (allowEmpty || !inner.isEmpty()) && !inner.contains(u'"');
}

bool IsBase64VariantText(QStringView text) {
    if (text.size() % 4 != 0) {
        return false;
    }
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                        (u >= '0' && u <= '9') || u == '@' || u == '.' || u == '=';
        if (!ok) {
            return false;
        }
    }
    return true;
}

QStringList UnreadableLines(const QStringList& lines) {
    QStringList bad;
    for (const QString& line : lines) {
        if (!CfgFile::IsReadableLine(line)) {
            bad.append(line);
        }
    }
    return bad;
}

}  // namespace

bool CfgFile::IsReadableLine(const QString& line) {
    if (line.isEmpty()) {
        return true;
    }
    const QList<QStringView> words = QStringView(line).split(u',');
    return words.size() == 3 && IsQuotedField(words[0], false) && IsQuotedField(words[1], false) &&
           IsQuotedField(words[2], true) &&
           IsBase64VariantText(words[2].mid(1, words[2].size() - 2));
}

QString CfgFile::DamagedCopyName(const QString& fileName, const QDateTime& stamp) {
    return fileName + ".damaged-" + stamp.toString("yyyyMMdd-HHmmss");
}

bool CfgFile::KeepDamagedCopy() {
    if (m_damageKept || !Exists()) {
        return true;
    }
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return true;  // the write reports the file's trouble itself
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QStringList lines;
    QString ignored;
    if (!ReadLines(m_fileName, lines, ignored)) {
        return true;
    }
    const QStringList bad = UnreadableLines(lines);
    if (bad.isEmpty()) {
        return true;
    }
    // A copy from an earlier run that holds every unreadable line already keeps the damage;
    // a new one at every start would only pile up.
    const QFileInfo info(m_fileName);
    const QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({info.fileName() + ".damaged-*"}, QDir::Files, QDir::Name)) {
        QStringList kept;
        if (ReadLines(folder.filePath(name), kept, ignored)) {
            const auto held = [&kept](const QString& line) { return kept.contains(line); };
            if (std::all_of(bad.begin(), bad.end(), held)) {
                m_damageKept = true;
                return true;
            }
        }
    }
    const QString base = DamagedCopyName(m_fileName, QDateTime::currentDateTime());
    QString copyName = base;
    for (int n = 2; QFileInfo::exists(copyName); ++n) {
        copyName = base + "-" + QString::number(n);
    }
    QFile copy(copyName);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        m_error = "Unable to keep a copy of the damaged configuration file " + m_fileName + " as " +
                  copyName + ": " + copy.errorString() + "; the file was not saved";
        return false;
    }
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (copy.write(bytes) != bytes.size() || !copy.flush()) {
        m_error = "Unable to keep a copy of the damaged configuration file " + m_fileName + " as " +
                  copyName + ": " + copy.errorString() + "; the file was not saved";
        copy.close();
        copy.remove();
        return false;
    }
    copy.close();
    m_damageKept = true;
    if (onNotice) {
        onNotice("Configuration file " + m_fileName + " has lines that could not be read; " +
                 "a copy of it was kept as " + copyName);
    }
    return true;
}

CfgFile::CfgFile(QString fileName) : m_fileName(std::move(fileName)) {}

bool CfgFile::Exists() const {
    return !m_fileName.isEmpty() && QFileInfo::exists(m_fileName);
}

bool CfgFile::Load() {
    if (!Exists()) {
        m_dirty = true;
        return true;
    }
    QStringList lines;
    if (!ReadLines(m_fileName, lines, m_error)) {
        return false;
    }
    m_lines = std::move(lines);
    m_dirty = false;
    return true;
}

QString CfgFile::MakeLine(const QString& section, const QString& key, const QString& value) {
    const QString encoded = QString::fromLatin1(scrambling::Base64Encode(value.toUtf8()));
    return '"' + section + "\",\"" + key + "\",\"" + encoded + '"';
}

QString CfgFile::LineField(const QString& line, int n) {
    return RemoveDoubleQuotes(CommaWord(line, n));
}

QString CfgFile::DecodeValue(const QString& field) {
    return QString::fromUtf8(scrambling::Base64Decode(field.toLatin1()));
}

QString CfgFile::GetCfgFileSetting(const QString& section, const QString& key,
                                   const QString& defaultValue) const {
    for (const QString& line : m_lines) {
        if (LineField(line, 1) == section && LineField(line, 2) == key) {
            return DecodeValue(LineField(line, 3));
        }
    }
    return defaultValue;
}

void CfgFile::PutCfgFileSetting(const QString& section, const QString& key, const QString& value) {
    bool exists = false;
    for (QString& line : m_lines) {
        if (LineField(line, 1) == section && LineField(line, 2) == key) {
            exists = true;
            if (DecodeValue(LineField(line, 3)).toUtf8() != value.toUtf8()) {
                line = MakeLine(section, key, value);
                m_dirty = true;
            }
        }
    }
    if (exists) {
        return;
    }
    // Insertion into sorted order; byte-wise comparison of the unquoted texts.
    const QByteArray sec = section.toUtf8();
    const QByteArray k = key.toUtf8();
    qsizetype j = m_lines.size() - 1;
    for (; j >= 0; --j) {
        const QByteArray s = LineField(m_lines[j], 1).toUtf8();
        if (sec > s || (sec == s && k > LineField(m_lines[j], 2).toUtf8())) {
            break;
        }
    }
    m_lines.insert(j + 1, MakeLine(section, key, value));
    m_dirty = true;
}

QString CfgFile::SettingGet(const QString& kind, const QString& key,
                            const QString& defaultValue) const {
    return GetCfgFileSetting(IsCommonKind(kind) ? QStringLiteral("Common") : CurrentSiteSection(),
                             key, defaultValue);
}

void CfgFile::SettingPut(const QString& kind, const QString& key, const QString& value) {
    PutCfgFileSetting(IsCommonKind(kind) ? QStringLiteral("Common") : CurrentSiteSection(), key,
                      value);
}

bool CfgFile::SaveCfgFile() {
    m_dirty = false;
    if (!KeepDamagedCopy()) {
        m_dirty = true;
        return false;
    }
    if (!Exists()) {
        if (!WriteLines(m_fileName, m_lines, m_error)) {
            m_dirty = true;
            return false;
        }
        return true;
    }
    QStringList disk;
    if (!ReadLines(m_fileName, disk, m_error)) {
        m_dirty = true;
        return false;
    }
    const QString current = CurrentSiteSection();
    auto ours = [&](const QString& section) { return section == "Common" || section == current; };

    QStringList merged;
    qsizetype numSitesAt = -1;
    int highestSite = 0;
    auto seeSection = [&](const QString& section) {
        highestSite = std::max(highestSite, SiteNumberOf(section));
    };
    bool memoryMode = true;
    qsizetype i = 0;
    qsizetype j = 0;
    // Walk both lists together: our own sections from memory, every other section from disk.
    while (i < m_lines.size() || j < disk.size()) {
        if (memoryMode) {
            if (i < m_lines.size()) {
                const QString section = LineField(m_lines[i], 1);
                seeSection(section);
                if (ours(section)) {
                    if (section == "Common" && LineField(m_lines[i], 2) == "NumSites") {
                        numSitesAt = merged.size();
                    }
                    merged.append(m_lines[i]);
                } else {
                    memoryMode = false;
                }
            } else {
                memoryMode = false;
            }
            ++i;
        }
        if (!memoryMode) {
            if (j < disk.size()) {
                const QString section = LineField(disk[j], 1);
                seeSection(section);
                if (!ours(section)) {
                    merged.append(disk[j]);
                } else {
                    memoryMode = true;
                }
            } else {
                memoryMode = true;
            }
            ++j;
        }
    }
    if (numSitesAt >= 0) {
        merged[numSitesAt] = MakeLine("Common", "NumSites", QString::number(highestSite + 1));
    }
    if (!WriteLines(m_fileName, merged, m_error)) {
        m_dirty = true;
        return false;
    }
    return true;
}

bool CfgFile::WriteLinesDirect() {
    if (!KeepDamagedCopy() || !WriteLines(m_fileName, m_lines, m_error)) {
        return false;
    }
    m_dirty = false;
    return true;
}

bool CfgFile::ReadLines(const QString& fileName, QStringList& lines, QString& error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "Unable to read configuration file " + fileName + ": " + file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    lines.clear();
    qsizetype start = 0;
    for (qsizetype k = 0; k < data.size(); ++k) {
        const char c = data[k];
        if (c == '\r' || c == '\n') {
            lines.append(QString::fromLatin1(data.constData() + start, k - start));
            if (c == '\r' && k + 1 < data.size() && data[k + 1] == '\n') {
                ++k;
            }
            start = k + 1;
        }
    }
    if (start < data.size()) {
        lines.append(QString::fromLatin1(data.constData() + start, data.size() - start));
    }
    return true;
}

bool CfgFile::WriteLines(const QString& fileName, const QStringList& lines, QString& error) {
    // Written to a temporary file beside the old one and renamed over it, so a failed write
    // never leaves a truncated configuration; owner-only because it holds scrambled passwords.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        error = "Unable to write configuration file " + fileName + ": " + file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray data;
    for (const QString& line : lines) {
        data += line.toLatin1();
        data += "\r\n";
    }
    if (file.write(data) != data.size() || !file.commit()) {
        error = "Unable to write configuration file " + fileName + ": " + file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
