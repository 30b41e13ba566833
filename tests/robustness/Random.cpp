#include "tests/robustness/Random.h"
#include <climits>

namespace VarquelRobustness {

std::uint64_t CRandom::ScenarioSeed(std::uint64_t runSeed, const char* campaign, std::uint64_t index) {
    // FNV-1a over the campaign name, then splitmix64: neighbouring indexes get
    // unrelated streams.
    std::uint64_t h = 1469598103934665603ull;
    for (const char* c = campaign; *c; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    std::uint64_t z = runSeed ^ h ^ (index * 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint32_t CRandom::Below(std::uint32_t bound) {
    if (bound == 0) return 0;
    return static_cast<std::uint32_t>(m_engine() % bound);
}

long CRandom::Between(long low, long high) {
    return low + static_cast<long>(m_engine() % static_cast<std::uint64_t>(high - low + 1));
}

bool CRandom::Chance(double probability) {
    return static_cast<double>(m_engine() >> 11) * (1.0 / 9007199254740992.0) < probability;
}

long CRandom::Index(long count) {
    switch (Below(10)) {
    case 0: return -1;
    case 1: return count;
    case 2: return LONG_MIN;
    case 3: return LONG_MAX;
    case 4: return Between(-100000, 100000);
    case 5: return count + 1;
    default: return count > 0 ? Between(0, count - 1) : Between(0, 2);
    }
}

std::wstring CRandom::Text(std::size_t maxLength) {
    static const wchar_t* const kSamples[] = {
        L"", L"10.0.0.5", L"255.255.255.0", L"Ethernet", L"\\\\print-srv\\floor2", L"it's", L"a\\b",
        L"C:\\docs", L"8080", L"proxy.corp", L"-1", L"2", L"true", L" ", L"%USERPROFILE%", L"\x00e9t\x00e9",
        L"\x03a9\x03a8", L"\x4e2d\x6587", L"\xd83d\xde00", L"Profiles", L"NetAdapterList", L"x?y*z",
    };
    std::wstring text;
    switch (Below(6)) {
    case 0:
    case 1:
        return kSamples[Below(sizeof kSamples / sizeof kSamples[0])];
    case 2: {  // embedded NULs
        text = kSamples[Below(sizeof kSamples / sizeof kSamples[0])];
        text.push_back(L'\0');
        text += kSamples[Below(sizeof kSamples / sizeof kSamples[0])];
        return text;
    }
    default: {
        std::size_t length = Below(static_cast<std::uint32_t>(maxLength) + 1);
        for (std::size_t i = 0; i < length; ++i) {
            switch (Below(8)) {
            case 0: text.push_back(static_cast<wchar_t>(0x20 + Below(0x5F))); break;
            case 1: text.push_back(static_cast<wchar_t>(0xA0 + Below(0x60))); break;
            case 2: text.push_back(static_cast<wchar_t>(0x100 + Below(0x2000))); break;
            case 3: text.push_back(L'.'); break;
            case 4: text.push_back(static_cast<wchar_t>(L'0' + Below(10))); break;
            default: text.push_back(static_cast<wchar_t>(L'a' + Below(26))); break;
            }
        }
        return text;
    }
    }
}

std::wstring CRandom::KeyName(std::size_t maxLength, bool allowNonAnsi) {
    std::wstring name;
    std::size_t length = 1 + Below(static_cast<std::uint32_t>(maxLength));
    for (std::size_t i = 0; i < length; ++i) {
        wchar_t c;
        switch (Below(allowNonAnsi ? 12 : 10)) {
        case 0: c = static_cast<wchar_t>(0x20 + Below(0x5F)); break;   // printable ASCII
        case 1: c = static_cast<wchar_t>(0xC0 + Below(0x3F)); break;   // Latin-1 letters
        case 2: c = L' '; break;
        case 3: c = L'.'; break;
        case 4: c = static_cast<wchar_t>(L'0' + Below(10)); break;
        case 10: c = static_cast<wchar_t>(0x391 + Below(0x18)); break; // Greek: outside the ANSI code page
        case 11: c = static_cast<wchar_t>(0x4E00 + Below(0x100)); break;
        default: c = static_cast<wchar_t>((Chance(0.5) ? L'a' : L'A') + Below(26)); break;
        }
        if (c == L'\\') c = L'/';
        name.push_back(c);
    }
    return name;
}

} // namespace VarquelRobustness
