#pragma once
// Helpers for the application tests: the shared store with its accounts loaded, and the tree
// model's rows as text.

#include "KQSharedStoreTestUtil.h"
#include "app/windows/KQGroupTreeModel.h"
#include "store/KQContactManager.h"
#include "store/KQContactStoreHelper.h"

#include <QStringList>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// The model's rows, depth-first, each indented by two spaces per level, by group name.
inline void kqDumpRows(const QAbstractItemModel& model, const QModelIndex& parent, int depth, QStringList& out)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        out << QString(depth * 2, QLatin1Char(' ')) + index.data(KQGroupTreeModel::GroupNameRole).toString();
        kqDumpRows(model, index, depth + 1, out);
    }
}

inline QStringList kqDumpModel(const QAbstractItemModel& model)
{
    QStringList out;
    kqDumpRows(model, QModelIndex(), 0, out);
    return out;
}

// The same listing read from the nodes themselves.
inline void kqDumpNodes(const KQGroupTreeNodeList& nodes, int depth, QStringList& out)
{
    for (const auto& node : nodes) {
        out << QString(depth * 2, QLatin1Char(' ')) + node->groupName();
        kqDumpNodes(node->subGroupsForSort(), depth + 1, out);
    }
}

inline QStringList kqDumpManager()
{
    QStringList out;
    kqDumpNodes(KQContactManager::sharedContactManager()->allRootContainers(), 0, out);
    return out;
}
