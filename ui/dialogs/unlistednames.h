#pragma once

// The files that Qt's file system model leaves out. Its folder listing skips
// every name that is not valid UTF-8, so the non-native file dialog would
// never show an old file with a Latin-1 name, nor let the user choose it.
// This proxy over the dialog's QFileSystemModel adds such files at the end of
// their folder, named as the messages name them ("r\xE4k.crp"), under the
// folder's name filters and hidden-file setting, and keeps their paths
// exactly (QtPath) for the choice.

#include <QIdentityProxyModel>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

class QFileSystemModel;

namespace tolvana::ui {

class UnlistedNamesModel : public QIdentityProxyModel {
    Q_OBJECT

public:
    explicit UnlistedNamesModel(QObject* parent = nullptr);

    // The source must be a QFileSystemModel.
    void setSourceModel(QAbstractItemModel* source) override;

    // The path (QtPath) of the added file at `index`; empty for any row of
    // the source model.
    QString addedPath(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QModelIndex mapToSource(const QModelIndex& proxy) const override;

private:
    struct Added {
        QPersistentModelIndex folder; // in the source model
        std::string path;             // the system's bytes
        QString shown;
        bool matches = true; // by the name filters
        std::uint64_t size = 0;
        std::int64_t modified = 0;
    };

    // Keeps `file` for as long as the model lives.
    const Added* keep(Added file) const;
    const Added* added(const QModelIndex& index) const;
    // The added files of the source folder `folder`, listed the first time
    // they are asked for.
    const std::vector<const Added*>& addedTo(const QModelIndex& folder) const;
    std::vector<Added> list(const QModelIndex& folder) const;
    // Lists every folder listed before again, and tells the views of what
    // changed.
    void relist();

    QFileSystemModel* files_ = nullptr;
    // Every file ever added, so that an index of one that is gone still
    // points at something; the rows themselves are in `folders_`.
    mutable std::deque<Added> all_;
    mutable std::unordered_set<const void*> addresses_;            // of every file in `all_`
    mutable std::map<QString, std::vector<const Added*>> folders_; // by the folder's path
};

} // namespace tolvana::ui
