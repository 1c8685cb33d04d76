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
    struct Progress {
        std::size_t taken = 0;    // input bytes consumed
        std::size_t produced = 0; // data bytes written to out
    };

    // Decodes at most `room` data bytes into out, whatever the input: input that would
    // give more stays untaken (or held by the decoder) for a later call. With room for
    // n + 1 bytes every one of the n input bytes is taken.
    Progress Decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t room,
                    Marks& marks);
    void Reset() { m_state = State::Data; }
    bool InsideMark() const { return m_state != State::Data; }

private:
    enum class State { Data, Mark, MarkZero, Held };
    State m_state = State::Data;
    std::uint8_t m_held = 0; // State::Held: the second byte of an FF that was no mark
};
