#pragma once

#include <QStringView>
#include <cstdint>
#include <vector>

// Names compared without regard to case (Unicode simple case folding).
bool EqualNoCase(QStringView a, QStringView b);
// A hash that agrees with EqualNoCase.
size_t HashNoCase(QStringView name, size_t seed);

// One open-addressing table of a NamePool: its slots, and how many hold an entry.
struct NameRegion {
    std::uint32_t base = 0;
    std::uint32_t capacity = 0; // a power of two, or 0 before the first entry
    std::uint32_t count = 0;
};

// Many small hash tables from names to entry numbers, kept in one array so that a
// section's keys lie together in memory. The names themselves stay with the caller:
// `nameOf(entry)` gives the name of an entry. A table is at most half full; when it
// grows it moves to the end of the array and its old slots are left unused, which
// never more than doubles the array.
class NamePool {
public:
    NamePool();

    // The entry stored under `name`, or -1.
    template <class NameOf>
    std::int64_t find(const NameRegion& region, QStringView name, NameOf nameOf) const {
        if (region.capacity == 0)
            return -1;
        const std::uint32_t slot = probe(region, name, nameOf);
        const std::uint32_t value = m_slots[region.base + slot];
        return value == 0 ? -1 : std::int64_t(value) - 1;
    }

    // Stores `entry` under `name`, replacing the entry of an equal name.
    template <class NameOf>
    void insert(NameRegion& region, QStringView name, std::uint32_t entry, NameOf nameOf) {
        if ((region.count + 1) * 2 > region.capacity)
            grow(region, nameOf);
        const std::uint32_t slot = probe(region, name, nameOf);
        std::uint32_t& value = m_slots[region.base + slot];
        if (value == 0)
            ++region.count;
        value = entry + 1;
    }

    void clear() { m_slots.clear(); }
    void reserve(size_t slotCount) { m_slots.reserve(slotCount); }

private:
    // The slot holding `name`, or the empty slot where it would go.
    template <class NameOf>
    std::uint32_t probe(const NameRegion& region, QStringView name, NameOf nameOf) const {
        const std::uint32_t mask = region.capacity - 1;
        std::uint32_t slot = static_cast<std::uint32_t>(HashNoCase(name, m_seed)) & mask;
        for (;;) {
            const std::uint32_t value = m_slots[region.base + slot];
            if (value == 0 || EqualNoCase(nameOf(value - 1), name))
                return slot;
            slot = (slot + 1) & mask;
        }
    }

    template <class NameOf> void grow(NameRegion& region, NameOf nameOf) {
        const NameRegion old = region;
        region.base = static_cast<std::uint32_t>(m_slots.size());
        region.capacity = old.capacity == 0 ? 16 : old.capacity * 2;
        region.count = 0;
        m_slots.resize(m_slots.size() + region.capacity, 0);
        for (std::uint32_t i = 0; i < old.capacity; ++i) {
            const std::uint32_t value = m_slots[old.base + i];
            if (value != 0)
                insert(region, nameOf(value - 1), value - 1, nameOf);
        }
    }

    std::vector<std::uint32_t> m_slots; // entry + 1, 0 for an empty slot
    size_t m_seed;
};
