#include "ui/dialogs/unlistednames.h"

#include "messages/messages.h"
#include "storage/files.h"
#include "storage/textfile.h"
#include "ui/platform/nativepath.h"

#include <QAbstractFileIconProvider>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QIcon>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>

#include <algorithm>

namespace tolvana::ui {
namespace {

// Whether a name is one that Qt leaves out: not valid UTF-8.
bool Unlisted(const std::string& name) {
    char32_t c = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = storage::NextUtf8(name, pos, c);
        if (length == 0) return true;
        pos += length;
    }
    return false;
}

} // namespace

UnlistedNamesModel::UnlistedNamesModel(QObject* parent) : QIdentityProxyModel(parent) {}

void UnlistedNamesModel::setSourceModel(QAbstractItemModel* source) {
    files_ = qobject_cast<QFileSystemModel*>(source);
    folders_.clear();
    QIdentityProxyModel::setSourceModel(source);
    if (!files_) return;
    // A folder read again, another name filter or hidden files shown: the
    // added files may differ too.
    connect(files_, &QFileSystemModel::directoryLoaded, this, [this] { relist(); });
    connect(files_, &QAbstractItemModel::layoutChanged, this, [this] { relist(); });
    connect(files_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { folders_.clear(); });
}

const UnlistedNamesModel::Added* UnlistedNamesModel::keep(Added file) const {
    all_.push_back(std::move(file));
    addresses_.insert(&all_.back());
    return &all_.back();
}

const UnlistedNamesModel::Added* UnlistedNamesModel::added(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return nullptr;
    const void* pointer = index.internalPointer();
    return addresses_.contains(pointer) ? static_cast<const Added*>(pointer) : nullptr;
}

QString UnlistedNamesModel::addedPath(const QModelIndex& index) const {
    const Added* file = added(index);
    return file ? QtPath(file->path) : QString();
}

std::vector<UnlistedNamesModel::Added> UnlistedNamesModel::list(const QModelIndex& folder) const {
    std::vector<Added> found;
    if (!files_ || !folder.isValid() || !files_->isDir(folder)) return found;
    const std::string path = StoragePath(files_->filePath(folder));
    std::vector<storage::FolderEntry> entries;
    try {
        entries = storage::ListFolder(path);
    } catch (const storage::StorageError&) {
        return found; // Qt's own listing says what there is to say
    }
    QList<QRegularExpression> filters;
    for (const QString& pattern : files_->nameFilters())
        filters << QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                      QRegularExpression::CaseInsensitiveOption);
    const bool hidden = files_->filter().testFlag(QDir::Hidden);
    for (const storage::FolderEntry& entry : entries) {
        if (!entry.regularFile || !Unlisted(entry.name)) continue;
        if (!hidden && entry.name.front() == '.') continue;
        Added file{QPersistentModelIndex(folder),
                   path + (path.ends_with('/') ? "" : "/") + entry.name,
                   QString::fromStdString(messages::ShownName(entry.name))};
        file.matches = filters.isEmpty() ||
                       std::any_of(filters.begin(), filters.end(), [&](const auto& filter) {
                           return filter.match(file.shown).hasMatch();
                       });
        if (!file.matches && !files_->nameFilterDisables()) continue;
        file.size = entry.size;
        file.modified = entry.modified;
        found.push_back(std::move(file));
    }
    std::sort(found.begin(), found.end(),
              [](const Added& a, const Added& b) { return a.path < b.path; });
    return found;
}

const std::vector<const UnlistedNamesModel::Added*>&
UnlistedNamesModel::addedTo(const QModelIndex& folder) const {
    static const std::vector<const Added*> none;
    if (!files_ || !folder.isValid() || !files_->isDir(folder)) return none;
    const QString key = files_->filePath(folder);
    auto found = folders_.find(key);
    if (found == folders_.end()) {
        std::vector<const Added*> rows;
        for (Added& file : list(folder)) rows.push_back(keep(std::move(file)));
        found = folders_.emplace(key, std::move(rows)).first;
    }
    return found->second;
}

void UnlistedNamesModel::relist() {
    for (auto& [key, rows] : folders_) {
        const QModelIndex folder = files_->index(key);
        std::vector<Added> now = list(folder);
        const bool same = std::equal(now.begin(), now.end(), rows.begin(), rows.end(),
                                     [](const Added& a, const Added* b) {
                                         return a.path == b->path && a.matches == b->matches;
                                     });
        if (same) continue;
        const QModelIndex parent = mapFromSource(folder);
        const int first = files_->rowCount(folder);
        if (!rows.empty()) {
            beginRemoveRows(parent, first, first + int(rows.size()) - 1);
            rows.clear();
            endRemoveRows();
        }
        if (!now.empty()) {
            beginInsertRows(parent, first, first + int(now.size()) - 1);
            for (Added& file : now) rows.push_back(keep(std::move(file)));
            endInsertRows();
        }
    }
}

QModelIndex UnlistedNamesModel::index(int row, int column, const QModelIndex& parent) const {
    if (!sourceModel() || row < 0 || column < 0 || added(parent)) return {};
    const QModelIndex folder = mapToSource(parent);
    const int listed = sourceModel()->rowCount(folder);
    if (row < listed) return QIdentityProxyModel::index(row, column, parent);
    const auto& rows = addedTo(folder);
    if (row - listed >= int(rows.size()) || column >= sourceModel()->columnCount(folder)) return {};
    return createIndex(row, column, const_cast<Added*>(rows[std::size_t(row - listed)]));
}

QModelIndex UnlistedNamesModel::parent(const QModelIndex& child) const {
    if (const Added* file = added(child)) return mapFromSource(file->folder);
    return QIdentityProxyModel::parent(child);
}

QModelIndex UnlistedNamesModel::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, parent(index));
}

int UnlistedNamesModel::rowCount(const QModelIndex& parent) const {
    if (!sourceModel() || added(parent)) return 0;
    const QModelIndex folder = mapToSource(parent);
    return sourceModel()->rowCount(folder) + int(addedTo(folder).size());
}

bool UnlistedNamesModel::hasChildren(const QModelIndex& parent) const {
    return !added(parent) && QIdentityProxyModel::hasChildren(parent);
}

bool UnlistedNamesModel::canFetchMore(const QModelIndex& parent) const {
    return !added(parent) && QIdentityProxyModel::canFetchMore(parent);
}

QModelIndex UnlistedNamesModel::mapToSource(const QModelIndex& proxy) const {
    if (added(proxy)) return {};
    return QIdentityProxyModel::mapToSource(proxy);
}

Qt::ItemFlags UnlistedNamesModel::flags(const QModelIndex& index) const {
    const Added* file = added(index);
    if (!file) return QIdentityProxyModel::flags(index);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (file->matches) flags |= Qt::ItemIsEnabled;
    return flags;
}

QVariant UnlistedNamesModel::data(const QModelIndex& index, int role) const {
    const Added* file = added(index);
    if (!file) return QIdentityProxyModel::data(index, role);
    const auto type = [file] {
        return QMimeDatabase().mimeTypeForFile(file->shown, QMimeDatabase::MatchExtension);
    };
    switch (role) {
    case QFileSystemModel::FilePathRole: return QtPath(file->path);
    case QFileSystemModel::FileNameRole: return file->shown;
    case Qt::TextAlignmentRole:
        if (index.column() == 1) return QVariant(Qt::AlignTrailing | Qt::AlignVCenter);
        return {};
    case Qt::DecorationRole: {
        if (index.column() != 0 || !files_) return {};
        const QIcon icon = QIcon::fromTheme(type().iconName());
        return icon.isNull() ? files_->iconProvider()->icon(QAbstractFileIconProvider::File) : icon;
    }
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case 0: return file->shown;
        case 1: return QLocale::system().formattedDataSize(qint64(file->size));
        case 2: {
            const QMimeType mime = type();
            return mime.comment().isEmpty() ? mime.name() : mime.comment();
        }
        case 3:
            return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(file->modified),
                                              QLocale::ShortFormat);
        default: return {};
        }
    default: return {};
    }
}

} // namespace tolvana::ui
