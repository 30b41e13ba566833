#include "tests/robustness/CampaignSettings.h"
#include <cstdio>
#include <cstdlib>

namespace VarquelRobustness {

namespace {

constexpr std::uint64_t kDefaultSeed = 20240612;

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

} // namespace

std::uint64_t CCampaignSettings::Seed() {
    const char* text = Environment("VARQUEL_SEED");
    return text ? std::strtoull(text, nullptr, 0) : kDefaultSeed;
}

unsigned CCampaignSettings::Size() {
    const char* text = Environment("VARQUEL_CAMPAIGN_SIZE");
    if (!text) return 1;
    unsigned long size = std::strtoul(text, nullptr, 0);
    return size == 0 ? 1u : static_cast<unsigned>(size);
}

long CCampaignSettings::OnlyScenario() {
    const char* text = Environment("VARQUEL_SCENARIO");
    return text ? std::strtol(text, nullptr, 0) : -1;
}

void CCampaignSettings::Report(const std::string& line) {
    std::printf("[campaign] %s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace VarquelRobustness
