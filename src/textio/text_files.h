#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <memory>

class UserInterface;

// A record-oriented layer over local text files, addressed by name and a function code
// ("OPEN", "PUT", "GET", "EOF", "CLOSE"), with five files open for writing and five for reading.
// Reading splits at CR, LF or CR LF, also across its 1514-byte chunks; writing appends a record
// and this platform's line end. Every misuse is reported in a warning naming file and function.
class TextFiles {
public:
    static constexpr int kSlots = 5;
    static constexpr int kChunk = 1514;
    static constexpr int kMaxReadRecord = 1000;
    static constexpr int kMaxWriteRecord = 2046;

    explicit TextFiles(UserInterface& ui);
    ~TextFiles();

    // The record "PUT" writes and the record "GET" delivered.
    QString OutRecord;
    QString InRecord;

    bool TextFileOut(const QString& fileName, const QString& function);
    // "GET" and "EOF" answer with their own values; every other call true unless reported.
    bool TextFileIn(const QString& fileName, const QString& function);
    // Copies a text file record by record through this layer.
    void FileCopy(const QString& source, const QString& target);

private:
    struct OutSlot {
        QString key;  // empty: free
        std::unique_ptr<QFile> file;
    };
    struct InSlot {
        QString key;
        std::unique_ptr<QFile> file;
        std::array<char, 2048> buffer{};
        int count = 0;
        int position = 0;  // 1-based: the next byte to take
        bool eof = false;
        bool pendingLf = false;
        QByteArray carry;  // the start of a character a 1000-byte split would have cut
    };

    bool Report(const QString& message, const QString& fileName, const QString& function);
    bool Get(InSlot& slot);

    UserInterface& m_ui;
    std::array<OutSlot, kSlots> m_out;
    std::array<InSlot, kSlots> m_in;
};
