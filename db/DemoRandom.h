#pragma once

#include <QtGlobal>

// A small deterministic generator (SplitMix64): the same seed and stream give the same
// numbers on every platform and Qt version, so the demo data is reproducible. Each
// table draws from a stream of its own, so changing one size leaves the other tables'
// rows as they were.
class DemoRandom
{
public:
    DemoRandom(quint64 seed, quint64 stream)
        : m_state(seed * 0x9E3779B97F4A7C15ULL + stream * 0xD1B54A32D192ED03ULL + 0x632BE59BD9B4E019ULL)
    { }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); 0 when n <= 0.
    int bounded(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    // Uniform in [lo, hi].
    int range(int lo, int hi) { return lo + bounded(hi - lo + 1); }
    // Uniform in [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }

private:
    quint64 m_state;
};
