#include "ParmrkDecoder.h"

TParmrkDecoder::Progress TParmrkDecoder::Decode(const std::uint8_t* in, std::size_t n,
                                                std::uint8_t* out, std::size_t room, Marks& marks) {
    Progress p;
    while (p.produced < room) {
        if (m_state == State::Held) {
            out[p.produced++] = m_held;
            m_state = State::Data;
            continue;
        }
        if (p.taken == n)
            break;
        const std::uint8_t c = in[p.taken++];
        switch (m_state) {
        case State::Data:
            if (c == 0xFF)
                m_state = State::Mark;
            else
                out[p.produced++] = c;
            break;
        case State::Mark:
            if (c == 0xFF) {
                out[p.produced++] = 0xFF;
                m_state = State::Data;
            } else if (c == 0x00) {
                m_state = State::MarkZero;
            } else {
                // Not a mark after all (cannot happen with PARMRK); both bytes are data,
                // the second one held while there is no room for it.
                out[p.produced++] = 0xFF;
                m_held = c;
                m_state = State::Held;
            }
            break;
        case State::MarkZero:
            if (c == 0x00) {
                ++marks.breaks;
            } else {
                ++marks.errors;
                out[p.produced++] = c;
            }
            m_state = State::Data;
            break;
        case State::Held:
            break; // handled above
        }
    }
    return p;
}
