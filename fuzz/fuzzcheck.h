#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdio>
#include <cstdlib>

// A broken property is a finding: say which and abort, so libFuzzer keeps
// the input that caused it.
#define FUZZ_CHECK(condition)                                                                \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__,         \
                         #condition);                                                        \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)

namespace FuzzInput {

inline QByteArrayView bytes(const uint8_t* data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input cut at the first `count` separators into count + 1 pieces (the
// last holds the rest); missing pieces are empty. Keeps seeds readable.
template <size_t N>
std::array<QByteArrayView, N> pieces(QByteArrayView input, char separator)
{
    std::array<QByteArrayView, N> out;
    for (size_t i = 0; i < N; ++i) {
        if (i + 1 == N) {
            out[i] = input;
            break;
        }
        const qsizetype at = input.indexOf(separator);
        if (at < 0) {
            out[i] = input;
            input = QByteArrayView();
            for (size_t k = i + 1; k < N; ++k)
                out[k] = QByteArrayView();
            break;
        }
        out[i] = input.first(at);
        input = input.sliced(at + 1);
    }
    return out;
}

} // namespace FuzzInput
