#include "listing/remote_listing.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <numeric>

#include "config/words.h"
#include "listing/listing_parser.h"
#include "listing/zos_names.h"

namespace {

// The value of a whole number (IsWholeNumber), or 0 for any other text and for a number too large
// for 64 bits. Read in place: this runs once per listed entry.
qint64 SizeValue(const QString& text) {
    const qsizetype n = text.size();
    if (n == 0) {
        return 0;
    }
    const bool negative = text[0] == u'-';
    quint64 value = 0;
    for (qsizetype i = negative ? 1 : 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return 0;
        }
        value = value * 10 + (c - u'0');
        if (value > quint64(std::numeric_limits<qint64>::max())) {
            return 0;
        }
    }
    return negative ? -qint64(value) : qint64(value);
}

// Listings repeat the same few permission words and dates thousands of times; sharing one copy
// keeps a big listing small and saves an allocation per entry.
class TextPool {
public:
    explicit TextPool(qsizetype expected) { m_pool.reserve(std::min<qsizetype>(expected, 4096)); }
    QString Shared(QString&& text) {
        if (text == m_last) {
            return m_last;
        }
        auto it = m_pool.constFind(text);
        if (it == m_pool.cend()) {
            if (m_pool.size() >= kMaxPooled) {
                m_last = text;
                return std::move(text);
            }
            it = m_pool.insert(text, text);
        }
        m_last = it.value();
        return m_last;
    }

private:
    static constexpr qsizetype kMaxPooled = 20000;
    QHash<QString, QString> m_pool;
    QString m_last;
};

// The modified text of each distinct raw date, worked out once per listing.
class ModifiedTexts {
public:
    explicit ModifiedTexts(const ListingState& state) : m_state(state) {}
    QString Of(const QString& rawDate) {
        if (rawDate == m_lastRaw) {
            return m_lastText;
        }
        auto it = m_texts.constFind(rawDate);
        if (it == m_texts.cend()) {
            QString text = RemoteModifiedText(m_state, rawDate);
            if (m_texts.size() >= kMaxKept) {
                return text;
            }
            it = m_texts.insert(rawDate, std::move(text));
        }
        m_lastRaw = it.key();
        m_lastText = it.value();
        return m_lastText;
    }

private:
    static constexpr qsizetype kMaxKept = 20000;
    const ListingState& m_state;
    QHash<QString, QString> m_texts;
    QString m_lastRaw;
    QString m_lastText;
};

// The extensions seen so far: a listing holds few distinct ones, so most names find theirs here
// without building a new text.
class Extensions {
public:
    QString Of(const QString& name) {
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0) {
            const QStringView tail = QStringView(name).sliced(dot + 1);
            for (const QString& known : m_known) {
                if (SameUpperAscii(tail, known)) {
                    return known;
                }
            }
        }
        QString extension = RemoteExtension(name);
        if (dot >= 0 && m_known.size() < kMaxKnown) {
            m_known.push_back(extension);
        }
        return extension;
    }

private:
    static constexpr size_t kMaxKnown = 32;
    // True when Upper is Text upper-cased, looking at ASCII only (anything else does not match).
    static bool SameUpperAscii(QStringView text, const QString& upper) {
        if (text.size() != upper.size()) {
            return false;
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            char16_t c = text[i].unicode();
            if (c >= 0x80) {
                return false;
            }
            if (c >= u'a' && c <= u'z') {
                c = char16_t(c - 32);
            }
            if (c != upper[i].unicode()) {
                return false;
            }
        }
        return true;
    }
    std::vector<QString> m_known;
};

// The remembered permissions of one directory, by name, looked up once per entry.
class PermissionLookup {
public:
    PermissionLookup(const PermissionMemory* memory, const QString& directory) {
        if (memory == nullptr) {
            return;
        }
        const QString dir = directory.trimmed();
        for (const RememberedPermission& row : memory->Rows()) {
            if (row.directory == dir) {
                m_rows.insert(row.name, &row);
            }
        }
    }
    QString Apply(const QString& name, QChar kind, QString&& listed) const {
        if (m_rows.isEmpty()) {
            return std::move(listed);
        }
        const auto it = m_rows.constFind(name);
        if (it == m_rows.cend() || !it.value()->permissions.startsWith(kind)) {
            return std::move(listed);
        }
        return listed.left(1) + it.value()->permissions.mid(1, 9);
    }

private:
    QHash<QString, const RememberedPermission*> m_rows;
};

bool SameDir(bool zosMode, const QString& a, const QString& b) {
    return DirWithTrailingSeparator(zosMode, a.trimmed()) ==
           DirWithTrailingSeparator(zosMode, b.trimmed());
}

// Puts entry Order[k] at place k, in place: no second copy of a big listing.
void Reorder(std::vector<RemoteEntry>& entries, std::vector<quint32>& order) {
    constexpr quint32 kDone = std::numeric_limits<quint32>::max();
    for (quint32 start = 0; start < order.size(); ++start) {
        if (order[start] == kDone || order[start] == start) {
            continue;
        }
        RemoteEntry held = std::move(entries[start]);
        quint32 at = start;
        while (order[at] != start) {
            const quint32 from = order[at];
            entries[at] = std::move(entries[from]);
            order[at] = kDone;
            at = from;
        }
        entries[at] = std::move(held);
        order[at] = kDone;
    }
}

// One text key of the sort with its first 16 characters packed into two numbers, so that most
// comparisons of a big listing never touch the texts themselves.
struct TextKey {
    quint64 head[2];
    const QChar* text;
    qint32 size;
    quint32 index : 30;
    quint32 exact : 1;  // the whole text is in Head: equal heads decide by length alone
    quint32 fold : 1;   // an ASCII text compared as if lower-cased
};

inline char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

bool IsAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

TextKey MakeTextKey(const QString& text, quint32 index, bool fold) {
    TextKey key{{0, 0}, text.constData(), qint32(text.size()), index, text.size() <= 16, fold};
    const qsizetype n = std::min<qsizetype>(text.size(), 16);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = fold ? FoldAscii(text[i].unicode()) : text[i].unicode();
        // Beyond Latin-1 only "greater than all of Latin-1" is packed; the texts decide the rest.
        const quint64 packed = c < 0xFF ? c : 0xFF;
        key.head[i / 8] |= packed << (56 - 8 * (i % 8));
        if (c >= 0xFF) {
            key.exact = false;
            break;
        }
    }
    return key;
}

// Ordinal order of UTF-16 code units, as QString's operator< compares.
bool TextKeyLess(const TextKey& a, const TextKey& b) {
    if (a.head[0] != b.head[0]) {
        return a.head[0] < b.head[0];
    }
    if (a.head[1] != b.head[1]) {
        return a.head[1] < b.head[1];
    }
    if (a.exact && b.exact) {
        return a.size < b.size;
    }
    if (a.text == b.text && a.size == b.size && a.fold == b.fold) {
        return false;  // the same shared text
    }
    if (!a.fold && !b.fold) {
        return QStringView(a.text, a.size) < QStringView(b.text, b.size);
    }
    const qint32 n = std::min(a.size, b.size);
    for (qint32 i = 0; i < n; ++i) {
        const char16_t ca = a.fold ? FoldAscii(a.text[i].unicode()) : a.text[i].unicode();
        const char16_t cb = b.fold ? FoldAscii(b.text[i].unicode()) : b.text[i].unicode();
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size < b.size;
}

// A stable sort by one text of each entry; equal texts keep their order.
template <typename KeyOf>
void StableSortByText(std::vector<RemoteEntry>& entries, KeyOf keyOf) {
    std::vector<TextKey> keys;
    keys.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        keys.push_back(keyOf(i));
    }
    std::stable_sort(keys.begin(), keys.end(), TextKeyLess);
    std::vector<quint32> order;
    order.reserve(keys.size());
    for (const TextKey& key : keys) {
        order.push_back(key.index);
    }
    Reorder(entries, order);
}

void SortEntries(std::vector<RemoteEntry>& entries, RemoteSortKey key) {
    if (entries.size() < 2) {
        return;
    }
    switch (key) {
        case RemoteSortKey::Name: {
            // ASCII names are lower-cased as they are compared; only the others get a copy.
            std::vector<QString> lower(entries.size());
            StableSortByText(entries, [&](size_t i) {
                const QString& name = entries[i].name;
                if (IsAscii(name)) {
                    return MakeTextKey(name, quint32(i), true);
                }
                lower[i] = name.toLower();
                return MakeTextKey(lower[i], quint32(i), false);
            });
            break;
        }
        case RemoteSortKey::Extension:
            StableSortByText(entries, [&](size_t i) {
                return MakeTextKey(entries[i].extension, quint32(i), false);
            });
            break;
        case RemoteSortKey::Permissions:
            StableSortByText(entries, [&](size_t i) {
                return MakeTextKey(entries[i].permissions, quint32(i), false);
            });
            break;
        case RemoteSortKey::Modified:
            StableSortByText(entries, [&](size_t i) {
                return MakeTextKey(entries[i].modified, quint32(i), false);
            });
            break;
        case RemoteSortKey::Size: {
            std::vector<quint32> order(entries.size());
            std::iota(order.begin(), order.end(), 0u);
            std::stable_sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
                return entries[a].size < entries[b].size;
            });
            Reorder(entries, order);
            break;
        }
    }
}

}  // namespace

QString RemoteExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot < 0 ? name : name.mid(dot + 1)).toUpper();
}

RemoteImage FileImage(const QString& permissions) {
    if (permissions.contains(u"- PO")) {
        return RemoteImage::PartitionedDataset;
    }
    if (permissions.startsWith(u'l')) {
        return RemoteImage::FileLink;
    }
    return RemoteImage::File;
}

RemoteImage DirectoryImage(const QString& permissions) {
    return permissions.startsWith(u'l') ? RemoteImage::DirectoryLink : RemoteImage::Directory;
}

void PermissionMemory::Remember(const QString& name, const QString& directory,
                                const QString& permissions) {
    const QString dir = directory.trimmed();
    for (RememberedPermission& row : m_rows) {
        if (row.name == name && row.directory == dir) {
            row.permissions = permissions;
            return;
        }
    }
    if (int(m_rows.size()) < kMaxRows) {
        m_rows.push_back({name, dir, permissions});
    }
}

QString PermissionMemory::Apply(const QString& name, const QString& directory, QChar kind,
                                const QString& listed) const {
    const QString dir = directory.trimmed();
    for (const RememberedPermission& row : m_rows) {
        if (row.name == name && row.directory == dir && row.permissions.startsWith(kind)) {
            return listed.left(1) + row.permissions.mid(1, 9);
        }
    }
    return listed;
}

void RemoteListing::Clear() {
    files.clear();
    dirs.clear();
    fileCount = 0;
    totalBytes = 0;
}

ParseExtras PopulateRemArraysFromRemDirStringlist(ListingState& state, const QStringList& lines,
                                                  const ParseContext& context,
                                                  RemoteListing& listing) {
    ParseExtras extras;
    listing.Clear();
    listing.files.reserve(lines.size());
    listing.dirs.reserve(std::min<qsizetype>(lines.size(), 1050));

    const PermissionLookup remembered(context.permissions, context.currentDir);
    const QString homeKey = DirWithTrailingSeparator(state.zosMode, context.homeDir.trimmed());
    const bool inHome =
        !homeKey.isEmpty() &&
        DirWithTrailingSeparator(state.zosMode, context.currentDir.trimmed()) == homeKey;
    const bool watching = context.resumeTicked && !context.watchedName.isEmpty();
    Extensions extensions;
    TextPool permissionPool(lines.size());
    ModifiedTexts modifiedTexts(state);

    ParsedEntry parsed;
    for (qsizetype i = state.zosMode ? 1 : 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.size() < state.minLineLength || !Parse_Dir_Entry(state, line, parsed)) {
            continue;
        }
        if (parsed.isDirectory && (parsed.name == u"." || parsed.name == u"..")) {
            continue;
        }
        const bool big = parsed.sizeText.size() > 9;
        RemoteEntry entry;
        entry.extension = extensions.Of(parsed.name);
        entry.permissions = permissionPool.Shared(remembered.Apply(
            parsed.name, parsed.isDirectory ? u'D' : u'F', std::move(parsed.permissions)));
        entry.size = SizeValue(parsed.sizeText);
        entry.modified = modifiedTexts.Of(parsed.rawDate);
        if (parsed.isDirectory) {
            if (big) {
                extras.logLines << QStringLiteral("Big dir:") + line;
            }
            entry.name = std::move(parsed.name);
            listing.dirs.push_back(std::move(entry));
            continue;
        }
        if (big) {
            extras.logLines << QStringLiteral("Big file:") + line;
        }
        if (inHome && parsed.name == u".procmailrc") {
            extras.procmailrcModified = entry.modified;
            extras.procmailrcSeen = true;
        }
        if (watching && parsed.name == context.watchedName) {
            extras.watchedSizeText = parsed.sizeText;
            extras.watchedSeen = true;
        }
        entry.name = std::move(parsed.name);
        listing.totalBytes += entry.size;
        ++listing.fileCount;
        listing.files.push_back(std::move(entry));
    }

    if (state.zosMode) {
        for (const QString& prefix : state.zosDirs) {
            listing.dirs.push_back(
                {prefix, QString(), QStringLiteral(" "), 0, QStringLiteral(" ")});
        }
    }
    return extras;
}

void SortRemoteArrays(RemoteListing& listing, RemoteSortKey key) {
    SortEntries(listing.files, key);
    if (key != RemoteSortKey::Size) {
        SortEntries(listing.dirs, key);
    }
}

int RemoteRowCount(const RemoteListing& listing) {
    return 1 + int(listing.dirs.size()) + int(listing.files.size());
}

RemoteRow RemoteRowAt(const RemoteListing& listing, bool descending, int row) {
    RemoteRow result;
    result.kind = RemoteRow::Kind::Parent;
    const int dirCount = int(listing.dirs.size());
    const int fileCount = int(listing.files.size());
    if (row <= 0 || row >= RemoteRowCount(listing)) {
        return result;
    }
    int k = row - 1;
    if (k < dirCount) {
        const RemoteEntry& e = listing.dirs[descending ? dirCount - 1 - k : k];
        result.kind = RemoteRow::Kind::Directory;
        result.entry = &e;
        result.image = DirectoryImage(e.permissions);
        return result;
    }
    k -= dirCount;
    const RemoteEntry& e = listing.files[descending ? fileCount - 1 - k : k];
    result.kind = RemoteRow::Kind::File;
    result.entry = &e;
    result.image = FileImage(e.permissions);
    return result;
}

QString RemoteSummaryText(const RemoteListing& listing) {
    qint64 bytes = 0;
    for (const RemoteEntry& e : listing.files) {
        bytes += e.size;
    }
    return GroupThousands(qint64(listing.files.size())) + QStringLiteral(" files    ") +
           GroupThousands(bytes) + QStringLiteral(" bytes");
}

QString RemoteSortMessage(const RemoteListing& listing) {
    const qint64 names = qint64(listing.files.size()) + qint64(listing.dirs.size()) + 1;
    return QStringLiteral("Sorting of ") + QString::number(names) +
           QStringLiteral(" file and directory names complete");
}

std::pair<RemoteSortKey, bool> RemoteColumnClick(RemoteSortKey key, bool descending, int column) {
    static constexpr RemoteSortKey kColumnKeys[] = {RemoteSortKey::Name, RemoteSortKey::Permissions,
                                                    RemoteSortKey::Size, RemoteSortKey::Modified};
    if (column < 0 || column > 3) {
        return {key, descending};
    }
    const RemoteSortKey clicked = kColumnKeys[column];
    if (clicked == key) {
        return {key, !descending};
    }
    return {clicked, descending};
}

bool FoundFileInCurrentRemoteDirectory(const RemoteListing& listing, const QString& name) {
    return RemoteEntryNamed(listing.files, name) != nullptr;
}

const RemoteEntry* RemoteEntryNamed(const std::vector<RemoteEntry>& entries, const QString& name) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const RemoteEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

// ---- Cache -----------------------------------------------------------------------------------

RemoteCache::RemoteCache(std::function<double()> ticks) : m_ticks(std::move(ticks)) {}

QString RemoteCache::Key(bool zosMode, const QString& dir) {
    QString key = JoinRemotePath(zosMode, NoMVSQuotes(zosMode, dir), QString());
    return zosMode ? key.toUpper() : key;
}

int RemoteCache::GetCacheIndex(bool zosMode, const QString& dir) const {
    const QString key = Key(zosMode, dir);
    if (key.isEmpty()) {
        return -1;  // a free slot has an empty key; it holds no directory
    }
    for (int i = 0; i < kSlots; ++i) {
        if (m_slots[i].key == key) {
            return i + 1;
        }
    }
    return -1;
}

int RemoteCache::GetNextCacheIndexToUse() const {
    int oldest = 0;
    for (int i = 0; i < kSlots; ++i) {
        if (m_slots[i].key.isEmpty()) {
            return i + 1;
        }
        if (m_slots[i].storedAt < m_slots[oldest].storedAt) {
            oldest = i;
        }
    }
    return oldest + 1;
}

void RemoteCache::CacheCurrentRemoteArrays(int slot, bool zosMode, const QString& dir,
                                           const RemoteListing& listing) {
    if (slot < 1 || slot > kSlots) {
        return;
    }
    const QString key = Key(zosMode, dir);
    // One slot per directory, so that a lookup never finds an older copy first.
    for (int i = 0; i < kSlots; ++i) {
        if (i != slot - 1 && m_slots[i].key == key) {
            m_slots[i] = Slot{};
        }
    }
    Slot& s = m_slots[slot - 1];
    if (key.isEmpty() || int(listing.files.size()) > kMaxFiles ||
        int(listing.dirs.size()) > kMaxDirs) {
        // A cut-down copy would later be shown as the whole directory.
        s = Slot{};
        return;
    }
    s.key = key;
    s.storedAt = m_ticks();
    s.files = listing.files;
    s.dirs = listing.dirs;
}

void RemoteCache::Restore(int slot, RemoteListing& listing) const {
    if (slot < 1 || slot > kSlots || m_slots[slot - 1].key.isEmpty()) {
        return;
    }
    listing.files = m_slots[slot - 1].files;
    listing.dirs = m_slots[slot - 1].dirs;
}

void RemoteCache::RemoveRemDirFromCache(bool zosMode, const QString& dir) {
    const QString key = Key(zosMode, dir);
    for (Slot& s : m_slots) {
        if (!s.key.isEmpty() && s.key == key) {
            s = Slot{};
        }
    }
}

void RemoteCache::ClearRemoteCache() {
    for (Slot& s : m_slots) {
        s = Slot{};
    }
}

void RemoteCache::NotePopulate() {
    const double now = m_ticks();
    const double elapsed = now - m_lastPopulate;
    // A clock that went backwards tells nothing about the age of the slots.
    if (m_populated && (elapsed > kExpiryMs || elapsed < 0)) {
        ClearRemoteCache();
    }
    m_lastPopulate = now;
    m_populated = true;
}

void RemoteCache::StoreAfterFetch(bool zosMode, const QString& dir, const RemoteListing& listing) {
    const int slot = GetCacheIndex(zosMode, dir);
    if (int(listing.files.size()) > kMaxFiles || int(listing.dirs.size()) > kMaxDirs) {
        if (slot != -1) {
            RemoveRemDirFromCache(zosMode, dir);
        }
        return;
    }
    CacheCurrentRemoteArrays(slot != -1 ? slot : GetNextCacheIndexToUse(), zosMode, dir, listing);
}

void RemoteArrayDel(RemoteListing& listing, int index, RemoteCache& cache, bool zosMode,
                    const QString& currentDir) {
    if (index < 0 || index >= int(listing.files.size())) {
        return;
    }
    // The counts may come from another directory's parse after a cache restore.
    listing.totalBytes = std::max<qint64>(0, listing.totalBytes - listing.files[index].size);
    listing.fileCount = std::max(0, listing.fileCount - 1);
    listing.files.erase(listing.files.begin() + index);
    const int slot = cache.GetCacheIndex(zosMode, currentDir);
    if (slot != -1) {
        cache.CacheCurrentRemoteArrays(slot, zosMode, currentDir, listing);
    }
}

void RemoteArrayDirDel(RemoteListing& listing, int index, RemoteCache& cache, bool zosMode,
                       const QString& currentDir) {
    if (index < 0 || index >= int(listing.dirs.size())) {
        return;
    }
    listing.dirs.erase(listing.dirs.begin() + index);
    const int slot = cache.GetCacheIndex(zosMode, currentDir);
    if (slot != -1) {
        cache.CacheCurrentRemoteArrays(slot, zosMode, currentDir, listing);
    }
}

// ---- Navigation rules ------------------------------------------------------------------------

QString ContainingRemoteDirectory(bool zosMode, const QString& userId, const QString& dir) {
    const QString trimmed = dir.trimmed();
    if (trimmed.isEmpty()) {
        return QString();
    }
    const QChar separator = zosMode ? u'.' : u'/';
    // The quotes go first: in 'USER.DATA.' the last "." but one is the directory's own.
    const bool quoted = zosMode && trimmed.startsWith(u'\'');
    const QString path = NoMVSQuotes(zosMode, trimmed);
    const qsizetype p = path.size() < 2 ? -1 : path.lastIndexOf(separator, path.size() - 2);
    if (p < 0) {
        return zosMode ? userId + u'.' : QStringLiteral("/");
    }
    const QString parent = path.left(p + 1);
    return quoted ? QuotedNameIfMVS(true, parent) : parent;
}

QString ValidRemoteName(bool zosMode, const QString& name) {
    QString result = name;
    result.replace(u'\\', zosMode ? u'.' : u'/');
    return result;
}

QString DirWithTrailingSeparator(bool zosMode, const QString& dir) {
    return JoinRemotePath(zosMode, NoMVSQuotes(zosMode, dir), QString());
}

QStringList RememberRemoteDir(const QStringList& list, const QString& dir, bool asDefault,
                              bool zosMode, bool inPds) {
    const QString trimmed = dir.trimmed();
    // ".." is a step, not a place: remembering it would send the next login anywhere.
    if (trimmed.isEmpty() || trimmed == u"?" || trimmed == u"unknown" || trimmed == u"..") {
        return list;
    }
    QString newDir = NoMVSQuotes(zosMode, trimmed);
    if (zosMode && !inPds) {
        if (!newDir.endsWith(u'.')) {
            newDir.append(u'.');
        }
    } else if (zosMode) {
        if (newDir.endsWith(u'.')) {
            newDir.chop(1);
        }
    } else if (newDir.endsWith(u'/') && newDir != u"/") {
        newDir.chop(1);
    }

    QStringList result;
    if (!asDefault && !list.isEmpty() && !SameDir(zosMode, list.first(), newDir)) {
        result << list.first() << newDir;
    } else {
        result << newDir;
    }
    // A copy: the appends below may reallocate the list.
    const QString first = result.first();
    for (const QString& old : list) {
        if (result.size() >= 8) {
            break;
        }
        if (old.trimmed().isEmpty() || SameDir(zosMode, old, first) ||
            SameDir(zosMode, old, newDir)) {
            continue;
        }
        result << old;
    }
    return result;
}

bool AliasTable::Add(const QString& path, const QString& directory) {
    for (auto& pair : m_pairs) {
        if (pair.first == path) {
            pair.second = directory;
            return true;
        }
    }
    if (int(m_pairs.size()) >= kMaxPairs) {
        return false;
    }
    m_pairs.emplace_back(path, directory);
    return true;
}

QString AliasTable::LearnedRemoteLinkTranslated(const QString& path) const {
    for (const auto& pair : m_pairs) {
        if (pair.first == path) {
            return pair.second;
        }
    }
    return QString();
}
