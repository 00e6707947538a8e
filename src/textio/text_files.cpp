#include "textio/text_files.h"

#include <QFileInfo>

#include "platform/line_ends.h"
#include "platform/platform.h"
#include "runtime/user_interface.h"

namespace {

// Names are compared as the file system does: without regard to case only where it does so.
QString Key(const QString& fileName) {
#ifdef Q_OS_WIN
    return fileName.toUpper();
#else
    return fileName;
#endif
}

// How many leading bytes of Bytes end on a whole UTF-8 character: a split of a long record
// never cuts one in two.
qsizetype WholeUtf8Length(const QByteArray& bytes) {
    qsizetype i = bytes.size();
    int continuation = 0;
    while (i > 0 && continuation < 3 && (uchar(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0) {
        return bytes.size();
    }
    const uchar lead = uchar(bytes[i - 1]);
    const int needed = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (needed == 0 || continuation >= needed) {
        return bytes.size();
    }
    return i - 1;  // the lead byte and its continuation bytes go to the next record
}

// The slot holding Key and the first free one, each null when there is none.
template <typename Slot, std::size_t N>
std::pair<Slot*, Slot*> FindSlots(std::array<Slot, N>& pool, const QString& key) {
    Slot* found = nullptr;
    Slot* unused = nullptr;
    for (Slot& slot : pool) {
        if (!found && slot.key == key) {
            found = &slot;
        }
        if (!unused && slot.key.isEmpty()) {
            unused = &slot;
        }
    }
    return {found, unused};
}

}  // namespace

TextFiles::TextFiles(UserInterface& ui) : m_ui(ui) {}

TextFiles::~TextFiles() = default;

bool TextFiles::Report(const QString& message, const QString& fileName, const QString& function) {
    m_ui.ColorMsgDlg(message + fileName + ", Function=" + function, MsgDlgType::Warning,
                     MsgDlgBtn::OK);
    return false;
}

bool TextFiles::TextFileOut(const QString& fileName, const QString& function) {
    // Only a full path names the file (a drive-letter path on Windows, a rooted one here).
    if (!platform::IsRootedLocalPath(fileName) || fileName.size() < 2) {
        return Report(
            "Call to TextFileOut with invalid filename (\":\" not 2nd character):\r\n"
            "Filename=",
            fileName, function);
    }
    const QString key = Key(fileName);
    auto [found, free] = FindSlots(m_out, key);
    const QString f = function.toUpper();
    if (f == "OPEN") {
        if (found) {
            return Report("Call to TextFileOut to open file which is already open:\r\nFilename=",
                          fileName, function);
        }
        if (!free) {
            return Report("Call to TextFileOut but all FileStreams already in use:\r\nFilename=",
                          fileName, function);
        }
        auto file = std::make_unique<QFile>(fileName);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return Report("Call to TextFileOut could not create the file (" + file->errorString() +
                              "):\r\nFilename=",
                          fileName, function);
        }
        free->file = std::move(file);
        free->key = key;
        return true;
    }
    if (f == "PUT") {
        if (!found) {
            return Report("Call to TextFileOut to write to a file which is not open:\r\nFilename=",
                          fileName, function);
        }
        qsizetype length = OutRecord.size();
        const qsizetype cr = OutRecord.indexOf('\r');
        const qsizetype lf = OutRecord.indexOf('\n');
        if (length >= 2 && cr == length - 2) {
            length -= 2;
        } else if (length >= 2 && lf == length - 2) {
            length -= 2;
        }
        if (length > kMaxWriteRecord) {
            m_ui.ColorMsgDlg(QStringLiteral("Attempt to write record longer than%1to %2")
                                 .arg(kMaxWriteRecord)
                                 .arg(fileName),
                             MsgDlgType::Warning, MsgDlgBtn::OK);
            return false;
        }
        const QByteArray line = OutRecord.left(length).toUtf8() + kLocalNewline;
        if (found->file->write(line) != line.size()) {
            return Report("Call to TextFileOut could not write (" + found->file->errorString() +
                              "):\r\nFilename=",
                          fileName, function);
        }
        return true;
    }
    if (f == "CLOSE") {
        if (!found) {
            return Report("Call to TextFileOut to close a file which is not open:\r\nFilename=",
                          fileName, function);
        }
        const bool flushed = found->file->flush();
        found->file.reset();
        found->key.clear();
        return flushed;
    }
    return Report("Call to TextFileOut with invalid function:\r\nFilename=", fileName, function);
}

bool TextFiles::TextFileIn(const QString& fileName, const QString& function) {
    const QString key = Key(fileName);
    auto [found, free] = FindSlots(m_in, key);
    if (fileName.size() > 1 && !platform::IsRootedLocalPath(fileName)) {
        return Report(
            "Call to TextFileIn with invalid filename (\":\" not 2nd character):\r\n"
            "Filename=",
            fileName, function);
    }
    const QString f = function.toUpper();
    if (f == "OPEN") {
        if (found) {
            return Report("Call to TextFileIn to open file which is already open:\r\nFilename=",
                          fileName, function);
        }
        if (!QFileInfo(fileName).isFile()) {
            return Report("Call to TextFileIn to open file that does not exist:\r\nFilename=",
                          fileName, function);
        }
        if (!free) {
            return Report("Call to TextFileIn but all FileStreams already in use:\r\nFilename=",
                          fileName, function);
        }
        auto file = std::make_unique<QFile>(fileName);
        if (!file->open(QIODevice::ReadOnly)) {
            return Report("Call to TextFileIn could not open the file (" + file->errorString() +
                              "):\r\nFilename=",
                          fileName, function);
        }
        free->file = std::move(file);
        free->key = key;
        free->count = kChunk;
        free->position = kChunk + 1;  // the first GET reads a chunk
        free->eof = false;
        free->pendingLf = false;
        free->carry.clear();
        return true;
    }
    if (f == "GET") {
        if (!found) {
            return Report("Call to TextFileIn to read a file which is not open:\r\nFilename=",
                          fileName, function);
        }
        return Get(*found);
    }
    if (f == "EOF") {
        // The end only once no byte is left unread (a last one-character line is not lost).
        return !found || (found->eof && found->position > found->count && found->carry.isEmpty());
    }
    if (f == "CLOSE") {
        if (!found) {
            return Report("Call to TextFileIn to close a file which is not open:\r\nFilename=",
                          fileName, function);
        }
        found->file.reset();
        found->key.clear();
        return true;
    }
    return Report("Call to TextFileIn with invalid function:\r\nFilename=", fileName, function);
}

bool TextFiles::Get(InSlot& s) {
    QByteArray record = s.carry;
    s.carry.clear();
    for (;;) {
        if (s.position > s.count) {
            const qint64 got = s.file->read(s.buffer.data(), kChunk);
            s.count = int(std::max<qint64>(got, 0));
            s.position = s.pendingLf && s.count > 0 && s.buffer[0] == '\n' ? 2 : 1;
            // A chunk that ends exactly at the end of the file is the last one too.
            s.eof = s.count < kChunk || s.file->atEnd();
            s.pendingLf = false;
        }
        bool ended = false;
        while (s.position <= s.count) {
            char c = s.buffer[s.position - 1];
            ++s.position;
            if (c == '\r') {
                if (s.position <= s.count) {
                    if (s.buffer[s.position - 1] == '\n') {
                        ++s.position;
                    }
                } else {
                    s.pendingLf = true;
                }
                ended = true;
                break;
            }
            if (c == '\n') {
                ended = true;
                break;
            }
            record.append(c == '\0' ? ' ' : c);
            if (record.size() >= kMaxReadRecord) {
                const qsizetype whole = WholeUtf8Length(record);
                s.carry = record.mid(whole);
                record.truncate(whole);
                ended = true;
                break;
            }
        }
        if (ended || s.eof) {
            break;
        }
    }
    InRecord = QString::fromUtf8(record);
    return true;
}

void TextFiles::FileCopy(const QString& source, const QString& target) {
    if (!TextFileIn(source, "OPEN")) {
        m_ui.ShowColorMsg("Error opening input file" + source);
    } else if (!TextFileOut(target, "OPEN")) {
        m_ui.ShowColorMsg("Error opening output file" + target);
    } else {
        do {
            if (!TextFileIn(source, "GET")) {
                m_ui.ShowColorMsg("Error reading input file" + source);
                break;
            }
            OutRecord = InRecord;
            if (!TextFileOut(target, "PUT")) {
                m_ui.ShowColorMsg("Error writing output file" + target);
                break;
            }
        } while (!TextFileIn(source, "EOF"));
    }
    if (!TextFileIn(source, "CLOSE")) {
        m_ui.ShowColorMsg("Error closing input file" + source);
    }
    if (!TextFileOut(target, "CLOSE")) {
        m_ui.ShowColorMsg("Error closing output file" + target);
    }
}
