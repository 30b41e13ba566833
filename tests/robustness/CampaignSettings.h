#pragma once
#include <cstdint>
#include <string>

namespace VarquelRobustness {

// How big a run is. The short run (ctest) uses the defaults; the long run
// sets VARQUEL_SEED and VARQUEL_CAMPAIGN_SIZE (a multiplier of every
// campaign's default amount of work).
class CCampaignSettings {
public:
    static std::uint64_t Seed();
    static unsigned Size();
    // Replays a single scenario when VARQUEL_SCENARIO is set (-1: all).
    static long OnlyScenario();

    // One line of the run's summary, printed and kept for the end of the run.
    static void Report(const std::string& line);
};

} // namespace VarquelRobustness
