#include "CommX.h"
#include "FakeCommDevice.h"
#include "FuzzSupport.h"
#include "ParmrkDecoder.h"

#include <QCoreApplication>

#include <deque>

// The script drives the receive path of the component on a fake device: line data with
// PARMRK marks (decoded in pieces, as the termios device reads it), line events with
// error bits, reads of any size, queue counts, purges and the event loop. The bytes read
// must be exactly the bytes that arrived, in order, and no count may exceed what is there.

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int MaxSteps = 64;
constexpr int MaxIdleReads = 3; // a read of an empty queue waits out the time-out

// Line data through the mark decoder with little room, as the device reads it.
struct TLine {
    TParmrkDecoder decoder;
    TParmrkDecoder::Marks marks;
    Bytes raw;     // everything that came over the line
    Bytes decoded; // everything the decoder gave

    Bytes Feed(const Bytes& bytes, std::size_t room) {
        raw.insert(raw.end(), bytes.begin(), bytes.end());
        Bytes out;
        std::size_t at = 0;
        std::uint8_t piece[256];
        do {
            const auto p = decoder.Decode(bytes.data() + at, bytes.size() - at, piece, room, marks);
            FUZZ_CHECK(p.taken <= bytes.size() - at);
            FUZZ_CHECK(p.produced <= room);
            out.insert(out.end(), piece, piece + p.produced);
            at += p.taken;
            // Every call with room makes progress.
            FUZZ_CHECK(p.taken > 0 || p.produced > 0 || at == bytes.size());
        } while (at < bytes.size());
        decoded.insert(decoded.end(), out.begin(), out.end());
        return out;
    }

    // One call with room for everything gives what the pieces gave.
    void CheckAgainstOneCall() const {
        TParmrkDecoder whole;
        TParmrkDecoder::Marks wholeMarks;
        Bytes out(raw.size() + 1);
        const auto p = whole.Decode(raw.data(), raw.size(), out.data(), out.size(), wholeMarks);
        FUZZ_CHECK(p.taken == raw.size());
        out.resize(p.produced);
        // The pieces may still hold the second byte of a lone FF.
        Bytes pieces = decoded;
        if (decoder.InsideMark() && !whole.InsideMark()) {
            FUZZ_CHECK(out.size() == pieces.size() + 1);
            out.pop_back();
        }
        FUZZ_CHECK(out == pieces);
        FUZZ_CHECK(wholeMarks.breaks == marks.breaks && wholeMarks.errors == marks.errors);
    }
};

// Opening takes over 100 ms (the DTR pulse), so one port stays open for every input;
// each input starts from an empty receive queue.
TFakeCommDevice* g_fake = nullptr;
TCommX* g_comm = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication<QCoreApplication>("fuzz_commreceive");
    auto device = std::make_unique<TFakeCommDevice>();
    g_fake = device.get();
    static TCommX comm(nullptr, std::move(device));
    g_comm = &comm;
    comm.SetTimeOutReceive(1);
    comm.SetOnReceive([](QObject*, int count) { FUZZ_CHECK(count >= 0); });
    comm.SetOnBreak([](QObject*) {});
    comm.SetOnError([](QObject*, int) {});
    try {
        comm.Open();
    } catch (const ECommError&) {
        FUZZ_CHECK(!"the fake device opens");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFuzzScript script(data, size);
    TFakeCommDevice* fake = g_fake;
    TCommX& comm = *g_comm;
    comm.PurgeReceive();
    QCoreApplication::processEvents();
    TLine line;
    std::deque<std::uint8_t> waiting; // arrived and not read, in order
    int idleReads = 0;
    for (int step = 0; step < MaxSteps && !script.AtEnd(); ++step) {
        switch (script.Byte() % 6) {
        case 0: { // line data
            const std::size_t room = 1 + script.Byte() % 8;
            const Bytes data = line.Feed(script.Bytes(script.Byte() % 64), room);
            fake->PushInput(data);
            waiting.insert(waiting.end(), data.begin(), data.end());
            break;
        }
        case 1: { // a line event with error bits, and input with it
            const std::uint8_t bits = script.Byte();
            const std::uint32_t events =
                (bits & 1 ? EV_RXCHAR : 0) | (bits & 2 ? EV_BREAK : 0) | (bits & 4 ? EV_ERR : 0);
            const std::uint32_t errors = script.Byte() & 0x1F;
            const Bytes data = script.Bytes(script.Byte() % 16);
            fake->InjectLineEvent(events, errors, data);
            waiting.insert(waiting.end(), data.begin(), data.end());
            break;
        }
        case 2: { // a read
            const int count = script.Byte() % 80;
            if (waiting.empty() && ++idleReads > MaxIdleReads)
                break;
            std::uint8_t buffer[80];
            const int got = comm.Read(buffer, count);
            FUZZ_CHECK(got >= 0 && got <= count);
            FUZZ_CHECK(std::size_t(got) <= waiting.size());
            for (int i = 0; i < got; ++i) {
                FUZZ_CHECK(buffer[i] == waiting.front());
                waiting.pop_front();
            }
            break;
        }
        case 3: {
            const int count = comm.ReceiveCount();
            FUZZ_CHECK(count >= 0 && std::size_t(count) <= waiting.size());
            break;
        }
        case 4:
            comm.PurgeReceive();
            waiting.clear();
            FUZZ_CHECK(comm.ReceiveCount() == 0);
            break;
        default:
            QCoreApplication::processEvents();
            break;
        }
    }
    line.CheckAgainstOneCall();
    return 0;
}
