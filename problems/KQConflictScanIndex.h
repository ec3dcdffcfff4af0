#pragma once
// The scan's multi-contact search without trying every pair. Each contact gets index keys chosen
// so that any two contacts the pair test can accept share a key; a contact is then tested only
// against the candidates its keys lead to, in list order, which replays exactly the choices the
// plain pair-by-pair search makes (the first matching item, else the first matching later contact).

#include "model/KQContactHelper.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

class KQLabeledValueHelper;

// The interned keys of one contact: the keys others find it under, and the keys it looks up.
struct KQConflictScanKeys
{
    std::vector<int> registered;
    std::vector<int> queried;
};

// Small consecutive numbers for the keys' 64-bit digests.
class KQConflictScanKeyTable
{
public:
    int intern(quint64 digest);
    int count() const { return static_cast<int>(m_ids.size()); }

private:
    std::unordered_map<quint64, int> m_ids;
};

namespace KQConflictScanIndex {

// A text equal for two values exactly when isEqualToValue holds between them; none for a value that
// equals nothing (an empty e-mail address).
std::optional<QString> valueKey(const KQLabeledValueHelper* value);

// Keys are digests, so two unrelated contacts may rarely share one: the pair test is always run
// on the candidates, which costs time but never changes the outcome.
// Keys for the whole-content comparison: every pair that compares equal shares the coarse key
// (names, note and the number of values of each field); a contact whose fields hold no repeated
// values also has a fine key with the values themselves, and such a contact can only equal
// contacts with the same fine key.
KQConflictScanKeys exactDuplicateKeys(KQContactHelper* contact, KQConflictScanKeyTable& table);
// The name parts selected by the mask; none when all selected parts are empty (it matches nobody).
KQConflictScanKeys duplicateNameKeys(KQContactHelper* contact, int mask, KQConflictScanKeyTable& table);
// One key per value of the field (the key of a value that equals nothing is left out).
KQConflictScanKeys sharedValueKeys(KQLabeledValueProperty* property, KQConflictScanKeyTable& table);

// Outcome of one pairwise pass.
struct Pass
{
    // Items found, each a list of positions in the working list (first member first), in the order
    // they were created.
    std::vector<std::vector<int>> items;
    // For each position, whether its contact was placed.
    std::vector<char> placed;
    // For each item that was in the group before, the positions that joined it, in order.
    std::vector<std::vector<int>> joinedExisting;
    bool cancelled = false;
};

// Runs the greedy, anchored search over n contacts. sameContact gives, for each position, a number
// shared by positions holding the same contact (placing one places all). existingFirsts are the
// first members of items that were in the group before (tested before the new ones, in order).
// progress(i) is called after each contact that was not skipped; answering true cancels.
Pass findConflicts(int n, const std::vector<int>& sameContact, const std::vector<KQConflictScanKeys>& keys,
                   int keyCount, const std::vector<KQContactHelperPtr>& existingFirsts,
                   const std::function<bool(int i, const KQContactHelperPtr& first)>& testExisting,
                   const std::function<bool(int i, int j)>& test, const std::function<bool(int i)>& progress);

} // namespace KQConflictScanIndex
