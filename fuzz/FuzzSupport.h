#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// A failed property aborts, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Takes the fuzzer's bytes in order as a script; past the end every read gives zeros.
class TFuzzScript {
public:
    TFuzzScript(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_at >= m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count && !AtEnd())
            bytes.push_back(Byte());
        return bytes;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A Qt application for the fuzzers that need one: the offscreen platform, so that no
// display is needed, and the palette that system colours resolve through is built once.
template <class App> void StartFuzzApplication(const char* name) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static App app(argc, argv);
}
