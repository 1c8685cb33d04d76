#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the marks that the terminal line discipline puts into the input with
// PARMRK: FF 00 00 is a break, FF 00 c a byte c received with a parity or framing
// error, FF FF a data byte FF. A mark may be split across reads; the decoder keeps
// the part it has seen.
class TParmrkDecoder {
public:
    struct Marks {
        int breaks = 0;
        int errors = 0;
    };

    // Writes at most n bytes to out and returns how many.
    std::size_t Decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out, Marks& marks);
    void Reset() { m_state = State::Data; }
    bool InsideMark() const { return m_state != State::Data; }

private:
    enum class State { Data, Mark, MarkZero };
    State m_state = State::Data;
};
