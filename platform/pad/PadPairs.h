#pragma once

#include "PadInput.h"

#include <QHash>
#include <QList>
#include <QStringList>

// Pairs of pad buttons held together, heard among a pad input's downs and ups, and given
// out with the rest as a pad input of its own.
//
// A pair (Back+Start) goes down when one of its parts goes down while the other is held,
// whichever went first, and up when either part comes up. While a pair is down its parts
// press nothing of their own: the part that was held first has its up given out as the
// pair goes down, so that what it began ends before the pair's down, and every down and up
// of either part after that is swallowed until that part comes up. A part pressed alone,
// and every name in no pair, goes down and up as the source says.
//
// A name counts as held while any pad holds it: with two pads, a part comes up for a pair
// at its last release. Pairs taken from the names apply to later downs; a pair that is down
// comes up as usual whatever names are set meanwhile. The source's promise holds here too:
// every down is followed by one up of its name.
class TPadPairs : public TPadInput {
    Q_OBJECT
public:
    explicit TPadPairs(const TPadInput& source, QObject* parent = nullptr);

    // The names buttons and the stop use; the pairs among them are heard, the rest ignored.
    void SetNames(const QStringList& names);

private:
    struct Pair {
        QString name;
        QString first;
        QString second;
    };
    struct Part {
        int held = 0;  // pads holding it
        int given = 0; // downs given out whose up has not been
        bool swallowed = false;
    };
    struct Event {
        QString name;
        bool down = false;
    };

    void Down(const QString& name);
    void Up(const QString& name);
    bool IsDown(const QString& pair) const;
    void StartPair(const Pair& pair);
    void Flush();

    QList<Pair> m_pairs;
    QList<Pair> m_down;
    QHash<QString, Part> m_parts;
    // Decided, not yet given out: a slot may run the event loop, which brings further
    // downs and ups, and those come out after what came before them.
    QList<Event> m_pending;
};
