#pragma once
// Equal short texts of one read share one string: given and family names, companies, cities and
// postal codes repeat across the contacts of a file or a store, and a list of a hundred thousand
// contacts would otherwise hold a copy of each for every contact. Open addressing over the texts'
// UTF-8 bytes, which the table keeps itself (the bytes it is asked with may be a reused buffer).
// Stops adding after a while, so that a read of unique texts costs a bounded table.

#include <QByteArrayView>
#include <QString>
#include <cstring>
#include <vector>

class CNContactTextTable
{
public:
    // Longer texts are not shared: they rarely repeat.
    static constexpr qsizetype Longest = 40;
    static constexpr size_t MostTexts = size_t(1) << 16;

    // The string for the UTF-8 bytes: the one made before for equal bytes, or make(utf8) now.
    template <typename Make> QString text(QByteArrayView utf8, Make&& make)
    {
        const qsizetype size = utf8.size();
        if (size <= 0 || size > Longest)
            return make(utf8);
        const quint64 hash = hashOf(utf8.data(), size);
        if (m_slots.empty())
            m_slots.resize(InitialSlots);
        size_t at = static_cast<size_t>(hash) & (m_slots.size() - 1);
        for (;; at = (at + 1) & (m_slots.size() - 1)) {
            Slot& slot = m_slots[at];
            if (slot.size == 0)
                break;
            if (slot.hash == hash && slot.size == static_cast<quint32>(size) &&
                std::memcmp(m_keys.data() + slot.offset, utf8.data(), static_cast<size_t>(size)) == 0)
                return slot.text;
        }
        QString made = make(utf8);
        if (m_count >= MostTexts)
            return made;
        Slot& slot = m_slots[at];
        slot.hash = hash;
        slot.size = static_cast<quint32>(size);
        slot.offset = static_cast<quint32>(m_keys.size());
        slot.text = made;
        m_keys.insert(m_keys.end(), utf8.data(), utf8.data() + size);
        if (++m_count * 2 > m_slots.size())
            grow();
        return made;
    }

private:
    static constexpr size_t InitialSlots = 1024;

    struct Slot
    {
        quint64 hash = 0;
        QString text;
        quint32 offset = 0;
        quint32 size = 0; // 0: a free slot (empty texts are never kept)
    };

    static quint64 hashOf(const char* bytes, qsizetype size)
    {
        constexpr quint64 Multiplier = 0x9E3779B97F4A7C15ULL;
        quint64 h = static_cast<quint64>(size) * Multiplier;
        qsizetype i = 0;
        for (; i + 8 <= size; i += 8) {
            quint64 word;
            std::memcpy(&word, bytes + i, 8);
            h = (h ^ word) * Multiplier;
            h ^= h >> 29;
        }
        if (i < size) {
            quint64 word = 0;
            std::memcpy(&word, bytes + i, static_cast<size_t>(size - i));
            h = (h ^ word) * Multiplier;
            h ^= h >> 29;
        }
        h *= Multiplier;
        return h ^ (h >> 32);
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (Slot& slot : old) {
            if (slot.size == 0)
                continue;
            size_t at = static_cast<size_t>(slot.hash) & (m_slots.size() - 1);
            while (m_slots[at].size != 0)
                at = (at + 1) & (m_slots.size() - 1);
            m_slots[at] = std::move(slot);
        }
    }

    std::vector<Slot> m_slots;
    std::vector<char> m_keys;
    size_t m_count = 0;
};
