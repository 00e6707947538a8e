#include "transfer/sync_plan.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "config/words.h"

namespace {

struct Pair {
    std::optional<SyncEntry> local;
    std::optional<SyncEntry> remote;
};

// The kind of the folder left alone that Path lies inside, if any.
std::optional<SyncKind> Inside(const std::vector<std::pair<QString, SyncKind>>& folders,
                               const QString& path) {
    for (const auto& [folder, kind] : folders) {
        if (path.startsWith(folder + '/')) {
            return kind;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<SyncItem> CompareTrees(std::vector<SyncEntry> local, std::vector<SyncEntry> remote) {
    std::map<QString, Pair> byPath;
    for (SyncEntry& e : local) {
        byPath[e.path].local = std::move(e);
    }
    for (SyncEntry& e : remote) {
        byPath[e.path].remote = std::move(e);
    }
    // A name on one side only whose twin on the other differs only in case.
    std::map<QString, int> sides;  // lower-cased path -> 1 local, 2 remote, 3 both
    for (const auto& [path, pair] : byPath) {
        if (pair.local.has_value() != pair.remote.has_value()) {
            sides[path.toLower()] |= pair.local ? 1 : 2;
        }
    }
    std::vector<SyncItem> items;
    // Folders whose content is left alone with them.
    std::vector<std::pair<QString, SyncKind>> leftAlone;
    for (const auto& [path, pair] : byPath) {
        SyncItem item;
        item.path = path;
        const SyncEntry* l = pair.local ? &*pair.local : nullptr;
        const SyncEntry* r = pair.remote ? &*pair.remote : nullptr;
        item.dir = (l && l->dir) || (r && r->dir);
        if (l) {
            item.localSize = l->size;
            item.localTime = l->time;
        }
        if (r) {
            item.remoteSize = r->size;
            item.remoteTime = r->time;
        }
        if (const std::optional<SyncKind> outer = Inside(leftAlone, path)) {
            item.kind = *outer;
        } else if (!l || !r) {
            item.kind = sides[path.toLower()] == 3 ? SyncKind::CaseOnly
                        : l                        ? SyncKind::OnlyHere
                                                   : SyncKind::OnlyThere;
        } else if (l->dir != r->dir) {
            item.kind = SyncKind::FileAndFolder;
        } else if (!l->dir) {
            const int tolerance = std::max({2, l->resolution, r->resolution});
            const bool timed = l->time.isValid() && r->time.isValid();
            const qint64 apart = timed ? r->time.secsTo(l->time) : 0;  // > 0: local later
            item.localNewer = apart >= tolerance;
            const bool remoteNewer = apart <= -tolerance;
            if (l->size != r->size) {
                item.kind = remoteNewer ? SyncKind::NewerThere : SyncKind::NewerHere;
            } else if (item.localNewer || remoteNewer) {
                item.kind = SyncKind::SameSizeDifferentTime;
            }
        }
        if (item.kind == SyncKind::FileAndFolder || item.kind == SyncKind::CaseOnly) {
            leftAlone.emplace_back(path, item.kind);
        }
        items.push_back(item);
    }
    return items;
}

SyncCounts CountSync(const std::vector<SyncItem>& items) {
    SyncCounts c;
    for (const SyncItem& i : items) {
        const qint64 local = i.dir ? 0 : i.localSize;
        const qint64 remote = i.dir ? 0 : i.remoteSize;
        switch (i.kind) {
            case SyncKind::Same:
                ++c.same;
                break;
            case SyncKind::OnlyHere:
                ++c.onlyHere;
                c.onlyHereBytes += local;
                break;
            case SyncKind::OnlyThere:
                ++c.onlyThere;
                c.onlyThereBytes += remote;
                break;
            case SyncKind::NewerHere:
                ++c.newerHere;
                c.newerHereBytes += local;
                break;
            case SyncKind::NewerThere:
                ++c.newerThere;
                c.newerThereBytes += remote;
                break;
            case SyncKind::SameSizeDifferentTime:
                ++c.sameSizeDifferentTime;
                c.sameSizeDifferentTimeBytes += local;
                break;
            case SyncKind::FileAndFolder:
            case SyncKind::CaseOnly:
                ++c.conflicts;
                break;
        }
    }
    return c;
}

QString DescribeSync(const SyncCounts& c) {
    QStringList parts;
    auto add = [&](int n, qint64 bytes, const char* what) {
        if (n > 0) {
            parts << QStringLiteral("%1 %2 (%3 bytes)").arg(n).arg(what, GroupThousands(bytes));
        }
    };
    add(c.onlyHere, c.onlyHereBytes, "only here");
    add(c.onlyThere, c.onlyThereBytes, "only on the server");
    add(c.newerHere, c.newerHereBytes, "newer here");
    add(c.newerThere, c.newerThereBytes, "newer on the server");
    add(c.sameSizeDifferentTime, c.sameSizeDifferentTimeBytes, "same size but different time");
    if (c.conflicts > 0) {
        parts << QStringLiteral(
                     "%1 left alone (a file against a folder, or names that differ "
                     "only in case)")
                     .arg(c.conflicts);
    }
    return parts.isEmpty() ? QStringLiteral("Nothing differs") : parts.join(", ");
}

std::vector<SyncStep> PlanSync(const std::vector<SyncItem>& items, bool upload, bool deleteExtra) {
    const SyncKind sourceOnly = upload ? SyncKind::OnlyHere : SyncKind::OnlyThere;
    const SyncKind targetOnly = upload ? SyncKind::OnlyThere : SyncKind::OnlyHere;
    std::vector<SyncStep> folders;
    std::vector<SyncStep> files;
    std::vector<SyncStep> deletes;
    for (const SyncItem& i : items) {
        const qint64 size = upload ? i.localSize : i.remoteSize;
        const QDateTime time = upload ? i.localTime : i.remoteTime;
        const bool sourceNewer = upload ? i.localNewer : !i.localNewer;
        bool send = false;
        switch (i.kind) {
            case SyncKind::OnlyHere:
            case SyncKind::OnlyThere:
                if (i.kind == sourceOnly) {
                    if (i.dir) {
                        folders.push_back({SyncAction::MakeFolder, i.path, true, 0, {}});
                    } else {
                        send = true;
                    }
                } else if (i.kind == targetOnly && deleteExtra) {
                    deletes.push_back({SyncAction::Delete, i.path, i.dir, 0, {}});
                }
                break;
            case SyncKind::NewerHere:
            case SyncKind::NewerThere:
                send = true;  // the sizes differ: the target becomes the source's copy
                break;
            case SyncKind::SameSizeDifferentTime:
                send = sourceNewer;
                break;
            default:
                break;
        }
        if (send) {
            files.push_back({SyncAction::Send, i.path, false, size, time});
        }
    }
    // Files before folders, then deeper folders first: each folder is empty when it goes.
    std::stable_partition(deletes.begin(), deletes.end(), [](const SyncStep& s) { return !s.dir; });
    const auto firstDir =
        std::find_if(deletes.begin(), deletes.end(), [](const SyncStep& s) { return s.dir; });
    std::reverse(firstDir, deletes.end());
    std::vector<SyncStep> steps = std::move(folders);
    steps.insert(steps.end(), files.begin(), files.end());
    steps.insert(steps.end(), deletes.begin(), deletes.end());
    return steps;
}

std::optional<qint64> ListingOffset(qint64 exactMinusListed) {
    constexpr qint64 kQuarter = 15 * 60;
    const qint64 sign = exactMinusListed < 0 ? -1 : 1;
    const qint64 offset = sign * ((sign * exactMinusListed + kQuarter / 2) / kQuarter) * kQuarter;
    if (std::abs(exactMinusListed - offset) > 120 || std::abs(offset) > 14 * 3600) {
        return std::nullopt;
    }
    return offset;
}
