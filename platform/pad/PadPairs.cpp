#include "PadPairs.h"

#include "PadButtonName.h"

#include <algorithm>

TPadPairs::TPadPairs(const TPadInput& source, QObject* parent) : TPadInput(parent) {
    connect(&source, &TPadInput::ButtonPressed, this, &TPadPairs::Down);
    connect(&source, &TPadInput::ButtonReleased, this, &TPadPairs::Up);
}

void TPadPairs::SetNames(const QStringList& names) {
    m_pairs.clear();
    for (const QString& name : names) {
        const QStringList parts = PadPairParts(name);
        const bool known = std::any_of(m_pairs.cbegin(), m_pairs.cend(),
                                       [&name](const Pair& pair) { return pair.name == name; });
        if (!parts.isEmpty() && !known)
            m_pairs.append({name, parts.front(), parts.back()});
    }
}

void TPadPairs::Down(const QString& name) {
    ++m_parts[name].held;
    bool paired = false;
    for (const Pair& pair : std::as_const(m_pairs)) {
        const QString& other = name == pair.first ? pair.second : pair.first;
        if ((name == pair.first || name == pair.second) && m_parts.value(other).held > 0 &&
            !IsDown(pair.name)) {
            StartPair(pair);
            paired = true;
        }
    }
    Part& part = m_parts[name];
    if (!paired && !part.swallowed) {
        ++part.given;
        m_pending.append({name, true});
    }
    Flush();
}

void TPadPairs::StartPair(const Pair& pair) {
    for (const QString& name : {pair.first, pair.second}) {
        Part& part = m_parts[name];
        for (; part.given > 0; --part.given)
            m_pending.append({name, false});
        part.swallowed = true;
    }
    m_down.append(pair);
    m_pending.append({pair.name, true});
}

void TPadPairs::Up(const QString& name) {
    const auto found = m_parts.find(name);
    if (found == m_parts.end())
        return; // no down of its own came first
    // Unswallowed, each pad's down was given out; swallowed, none is outstanding.
    if (--found->held < found->given) {
        --found->given;
        m_pending.append({name, false});
    }
    if (found->held == 0) {
        for (auto it = m_down.begin(); it != m_down.end();) {
            if (it->first == name || it->second == name) {
                m_pending.append({it->name, false});
                it = m_down.erase(it);
            } else {
                ++it;
            }
        }
        m_parts.erase(found);
    }
    Flush();
}

bool TPadPairs::IsDown(const QString& pair) const {
    return std::any_of(m_down.cbegin(), m_down.cend(),
                       [&pair](const Pair& down) { return down.name == pair; });
}

void TPadPairs::Flush() {
    while (!m_pending.isEmpty()) {
        const Event next = m_pending.takeFirst();
        if (next.down)
            emit ButtonPressed(next.name);
        else
            emit ButtonReleased(next.name);
    }
}
