#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace VarquelRobustness {

// The campaigns' only source of chance: one seeded generator per scenario,
// so any failure replays from its seed alone.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_engine(seed) {}

    // A seed for scenario `index` of a campaign, spread from the run's seed.
    static std::uint64_t ScenarioSeed(std::uint64_t runSeed, const char* campaign, std::uint64_t index);

    std::uint64_t Next() { return m_engine(); }
    // Uniform in [0, bound); 0 when bound is 0.
    std::uint32_t Below(std::uint32_t bound);
    // Uniform in [low, high].
    long Between(long low, long high);
    bool Chance(double probability);
    template <class T> const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<std::uint32_t>(items.size()))]; }
    template <class T, std::size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

    // A 32-bit index that is often near the edges: small, negative, huge, or
    // around `count`.
    long Index(long count);
    // Texts of every awkward kind (empty, embedded NULs, non-ASCII, long).
    std::wstring Text(std::size_t maxLength = 40);
    // A name that a registry key may carry (no backslash, not empty, at most
    // `maxLength` characters), sometimes with characters outside the ANSI
    // code page.
    std::wstring KeyName(std::size_t maxLength = 40, bool allowNonAnsi = true);

private:
    std::mt19937_64 m_engine;
};

} // namespace VarquelRobustness
