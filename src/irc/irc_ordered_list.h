#pragma once

#include "irc/irc_case.h"

#include <QByteArray>
#include <QHash>

#include <vector>

template <typename T> class TKeyedOrderedList;

// Bookkeeping a record needs to live in a TKeyedOrderedList: its case-folded key and its slot.
class TOrderedEntry
{
    template <typename T> friend class TKeyedOrderedList;

    QByteArray m_foldedKey;
    int m_slot = -1;
};

// An ordered collection of records (creation order) that finds records by case-folded key in
// constant time and removes them without shifting the others. Removed records leave a hole;
// a Fenwick tree over the slots turns a slot into its position among the live records and
// back in logarithmic time, and the holes are squeezed out once they outnumber the records.
// A channel of 20,000 members therefore costs linear time to fill and to churn, where a plain
// array would cost a shift per departure and a scan per lookup.
//
// Two records may end up with the same key (a rename onto a nick another record still holds);
// the key then finds the one created first, as a front-to-back search would.
// The list does not own its records.
template <typename T> class TKeyedOrderedList
{
public:
    int Count() const { return m_live; }

    T *At(int index) const { return m_slots[selectSlot(index)]; }

    int IndexOf(const T *record) const { return rank(record->m_slot); }

    // Finds by an already folded key.
    T *FindFolded(const QByteArray &foldedKey) const { return m_byKey.value(foldedKey, nullptr); }

    T *Find(QByteArrayView key) const
    {
        IrcCase::FoldInto(m_scratch, key, m_mapping);
        return FindFolded(m_scratch);
    }

    // Appends record under key (not folded yet).
    void Append(T *record, QByteArrayView key)
    {
        record->m_foldedKey = IrcCase::Fold(key, m_mapping);
        appendSlot(record);
        mapKey(record);
    }

    // Takes record out of the list; the caller frees it.
    void Remove(T *record)
    {
        unmapKey(record);
        killSlot(record->m_slot);
        record->m_slot = -1;
        if (m_holes > 64 && m_holes > m_live)
            compact();
    }

    void Rekey(T *record, QByteArrayView newKey)
    {
        unmapKey(record);
        record->m_foldedKey = IrcCase::Fold(newKey, m_mapping);
        mapKey(record);
    }

    TIrcCaseMapping CaseMapping() const { return m_mapping; }

    // Folds every key again under another rule; keyOf gives a record's key as the server
    // spells it. Records whose keys now coincide shadow each other as Append would have
    // left them: the earliest is found.
    template <typename F> void SetCaseMapping(TIrcCaseMapping mapping, F keyOf)
    {
        if (mapping == m_mapping)
            return;
        m_mapping = mapping;
        m_byKey.clear();
        m_shadowed = 0;
        for (T *r : m_slots) {
            if (r) {
                r->m_foldedKey = IrcCase::Fold(keyOf(r), m_mapping);
                mapKey(r);
            }
        }
    }

    // Empties the list and returns the records in order, for the caller to free.
    std::vector<T *> TakeAll()
    {
        std::vector<T *> out;
        out.reserve(m_live);
        for (T *r : m_slots) {
            if (r)
                out.push_back(r);
        }
        m_slots.clear();
        m_tree.assign(1, 0);
        m_byKey.clear();
        m_live = 0;
        m_holes = 0;
        m_shadowed = 0;
        return out;
    }

    template <typename F> void ForEach(F f) const
    {
        for (T *r : m_slots) {
            if (r)
                f(r);
        }
    }

private:
    void appendSlot(T *record)
    {
        const int slot = int(m_slots.size());
        m_slots.push_back(record);
        record->m_slot = slot;
        // Fenwick node i (1-based) covers (i - lowbit(i), i]; the new slot is live, so the
        // node is one plus the live count of the part of its range that already existed.
        const int i = slot + 1;
        const int low = i & -i;
        m_tree.push_back(1 + prefix(i - 1) - prefix(i - low));
        ++m_live;
    }

    void killSlot(int slot)
    {
        m_slots[slot] = nullptr;
        for (int i = slot + 1; i < int(m_tree.size()); i += i & -i)
            --m_tree[i];
        --m_live;
        ++m_holes;
    }

    // Live records in slots [0, n).
    int prefix(int n) const
    {
        int sum = 0;
        for (int i = n; i > 0; i -= i & -i)
            sum += m_tree[i];
        return sum;
    }

    int rank(int slot) const { return prefix(slot); }

    int selectSlot(int index) const
    {
        Q_ASSERT(index >= 0 && index < m_live);
        const int n = int(m_tree.size()) - 1;
        int step = 1;
        while (step * 2 <= n)
            step *= 2;
        int pos = 0;
        int k = index;
        for (; step > 0; step /= 2) {
            if (pos + step <= n && m_tree[pos + step] <= k) {
                pos += step;
                k -= m_tree[pos];
            }
        }
        return pos;
    }

    void compact()
    {
        std::vector<T *> live;
        live.reserve(m_live);
        for (T *r : m_slots) {
            if (r)
                live.push_back(r);
        }
        m_slots = std::move(live);
        const int n = int(m_slots.size());
        m_tree.assign(n + 1, 0);
        for (int s = 0; s < n; ++s) {
            m_slots[s]->m_slot = s;
            const int i = s + 1;
            m_tree[i] += 1;
            const int parent = i + (i & -i);
            if (parent <= n)
                m_tree[parent] += m_tree[i];
        }
        m_holes = 0;
    }

    void mapKey(T *record)
    {
        auto it = m_byKey.find(record->m_foldedKey);
        if (it == m_byKey.end()) {
            m_byKey.insert(record->m_foldedKey, record);
            return;
        }
        ++m_shadowed;
        if (record->m_slot < it.value()->m_slot)
            it.value() = record;
    }

    void unmapKey(T *record)
    {
        auto it = m_byKey.find(record->m_foldedKey);
        if (it == m_byKey.end() || it.value() != record) {
            if (m_shadowed > 0)
                --m_shadowed;
            return;
        }
        if (m_shadowed == 0) {
            m_byKey.erase(it);
            return;
        }
        // Rare: another record shares this key; the earliest of them takes over.
        T *next = nullptr;
        for (T *r : m_slots) {
            if (r && r != record && r->m_foldedKey == record->m_foldedKey) {
                next = r;
                break;
            }
        }
        if (next) {
            it.value() = next;
            --m_shadowed;
        } else {
            m_byKey.erase(it);
        }
    }

    std::vector<T *> m_slots;
    std::vector<int> m_tree{0};
    QHash<QByteArray, T *> m_byKey;
    mutable QByteArray m_scratch;
    int m_live = 0;
    int m_holes = 0;
    int m_shadowed = 0;
    TIrcCaseMapping m_mapping = TIrcCaseMapping::AsciiCyrillic;
};
