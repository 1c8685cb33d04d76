#include "ParmrkDecoder.h"

std::size_t TParmrkDecoder::Decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                                   Marks& marks) {
    std::size_t produced = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = in[i];
        switch (m_state) {
        case State::Data:
            if (c == 0xFF)
                m_state = State::Mark;
            else
                out[produced++] = c;
            break;
        case State::Mark:
            if (c == 0xFF) {
                out[produced++] = 0xFF;
                m_state = State::Data;
            } else if (c == 0x00) {
                m_state = State::MarkZero;
            } else {
                // Not a mark after all (cannot happen with PARMRK); keep both bytes.
                out[produced++] = 0xFF;
                out[produced++] = c;
                m_state = State::Data;
            }
            break;
        case State::MarkZero:
            if (c == 0x00) {
                ++marks.breaks;
            } else {
                ++marks.errors;
                out[produced++] = c;
            }
            m_state = State::Data;
            break;
        }
    }
    return produced;
}
