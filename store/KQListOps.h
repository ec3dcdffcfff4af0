#pragma once
// Index operations shared by the observable lists (node contacts, subgroups, root accounts).
// Each returns the indexes it changed, so the owner can announce exactly those.

#include <QList>
#include <algorithm>
#include <vector>

namespace KQListOps {

template <typename T> bool insertAt(std::vector<T>& list, const T& item, int index)
{
    if (!item || index < 0 || index > static_cast<int>(list.size()))
        return false;
    list.insert(list.begin() + index, item);
    return true;
}

template <typename T> bool removeAt(std::vector<T>& list, int index)
{
    if (index < 0 || index >= static_cast<int>(list.size()))
        return false;
    list.erase(list.begin() + index);
    return true;
}

template <typename T> bool replaceAt(std::vector<T>& list, int index, const T& item)
{
    if (!item || index < 0 || index >= static_cast<int>(list.size()))
        return false;
    list[static_cast<size_t>(index)] = item;
    return true;
}

// Indexes are positions in the resulting list; items pair with the indexes in ascending order.
template <typename T> QList<int> insertAtIndexes(std::vector<T>& list, const std::vector<T>& items, QList<int> indexes)
{
    QList<int> done;
    if (static_cast<qsizetype>(items.size()) != indexes.size())
        return done;
    std::sort(indexes.begin(), indexes.end());
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        if (insertAt(list, items[static_cast<size_t>(i)], indexes[i]))
            done.append(indexes[i]);
    }
    return done;
}

template <typename T> QList<int> removeAtIndexes(std::vector<T>& list, QList<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    QList<int> done;
    for (auto it = indexes.crbegin(); it != indexes.crend(); ++it) {
        if (removeAt(list, *it))
            done.prepend(*it);
    }
    return done;
}

template <typename T, typename P> int indexOf(const std::vector<T>& list, const P* item)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == item)
            return static_cast<int>(i);
    }
    return -1;
}

inline QList<int> range(int count)
{
    QList<int> indexes;
    indexes.reserve(count);
    for (int i = 0; i < count; ++i)
        indexes.append(i);
    return indexes;
}

} // namespace KQListOps
