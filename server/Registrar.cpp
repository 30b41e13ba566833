#include "server/Registrar.h"
#include <string>
#include "Varquel_h.h"
#include "com/Boundary.h"
#include "com/Module.h"
#include "com/TextCompare.h"
#include "server/ClassTable.h"
#include "server/TypeLibRegistrar.h"

namespace Varquel {
namespace {

constexpr RegistryEntry kAppIdEntries[] = {
    {L"AppID\\%APPID%", nullptr, L"Varquel", false},
    {L"AppID\\Varquel.DLL", L"AppID", L"%APPID%", false},
};

// A class's server key: its presence says the class is registered.
constexpr wchar_t kServerKey[] = L"CLSID\\%CLSID%\\%MODULETYPE%";

constexpr RegistryEntry kClassEntries[] = {
    {L"%ProgID%", nullptr, L"%FriendlyName%", false},
    {L"%ProgID%\\CLSID", nullptr, L"%CLSID%", false},
    {L"%VersionIndependentProgID%", nullptr, L"%FriendlyName%", false},
    {L"%VersionIndependentProgID%\\CLSID", nullptr, L"%CLSID%", false},
    {L"%VersionIndependentProgID%\\CurVer", nullptr, L"%ProgID%", false},
    {L"CLSID\\%CLSID%", nullptr, L"%FriendlyName%", true},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, L"%ProgID%", false},
    {L"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, L"%VersionIndependentProgID%", false},
    {L"CLSID\\%CLSID%\\Programmable", nullptr, nullptr, true},
    {kServerKey, nullptr, L"%MODULE%", false},
    {kServerKey, L"ThreadingModel", L"apartment", false},
    {L"CLSID\\%CLSID%", L"AppID", L"%APPID%", false},
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"%MODULEGUID%", false},
};

// The registry view of the server of the other bitness.
constexpr REGSAM kOtherBitnessView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// The server's AppID is the identity of its type library.
const GUID& AppId() noexcept { return LIBID_Varquel; }

// The full path of the server's file; a path that fills the 260-character
// buffer is refused rather than registered truncated.
std::wstring ModulePath() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(Module::Handle(), buffer, MAX_PATH);
    if (length == 0) ThrowComError(HResultFromWin32Error(GetLastError()));
    if (length >= MAX_PATH) ThrowComError(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    return std::wstring(buffer, length);
}

Parameters ServerParameters(const std::wstring& modulePath) {
    Parameters parameters;
    parameters.push_back({L"MODULE", modulePath});
    parameters.push_back({L"MODULETYPE", L"InprocServer32"});
    parameters.push_back({L"MODULEGUID", GuidText(LIBID_Varquel)});
    parameters.push_back({L"APPID", GuidText(AppId())});
    return parameters;
}

Parameters ClassParameters(const Parameters& server, const ClassEntry& entry) {
    Parameters parameters = server;
    parameters.push_back({L"CLSID", GuidText(*entry.clsid)});
    parameters.push_back({L"ProgID", entry.progId});
    parameters.push_back({L"VersionIndependentProgID", entry.versionIndependentProgId});
    parameters.push_back({L"FriendlyName", entry.friendlyName});
    return parameters;
}

} // namespace

std::span<const RegistryEntry> AppIdRegistryEntries() noexcept { return kAppIdEntries; }
std::span<const RegistryEntry> ClassRegistryEntries() noexcept { return kClassEntries; }

HRESULT RegisterServer(Scope scope) noexcept {
    return ComBoundary([scope]() -> HRESULT {
        const std::wstring modulePath = ModulePath();
        const Parameters server = ServerParameters(modulePath);
        const CRegistryWriter writer = scope == Scope::User ? CRegistryWriter::User() : CRegistryWriter::Machine();
        writer.Write(kAppIdEntries, server);
        for (const ClassEntry& entry : ClassTable()) writer.Write(kClassEntries, ClassParameters(server, entry));
        RegisterServerTypeLib(writer, LoadServerTypeLib(modulePath));
        return S_OK;
    });
}

namespace {

// Whether a class of the server is registered for the other bitness below
// the writer's root. Asked once this server's own class keys are gone: where
// there is no other view (32-bit Windows), the flag is ignored and the answer
// is about this view.
bool OtherBitnessRegistered(const CRegistryWriter& writer, const Parameters& server) {
    for (const ClassEntry& entry : ClassTable()) {
        if (writer.Exists(Expand(kServerKey, ClassParameters(server, entry)), kOtherBitnessView)) return true;
    }
    return false;
}

// The containers that a registration for the user may have made there.
constexpr const wchar_t* kUserContainers[] = {L"CLSID", L"AppID", L"TypeLib", L"Interface"};

} // namespace

HRESULT UnregisterServer(Scope scope) noexcept {
    return ComBoundary([scope]() -> HRESULT {
        const std::wstring modulePath = ModulePath();
        const Parameters server = ServerParameters(modulePath);
        const CRegistryWriter writer = scope == Scope::User ? CRegistryWriter::User() : CRegistryWriter::Machine();
        for (const ClassEntry& entry : ClassTable())
            writer.Remove(kClassEntries, ClassParameters(server, entry), Keys::PerBitness);
        // The type library's entries for this bitness alone: the library's
        // key goes with the last of them.
        UnregisterServerTypeLib(writer, LoadServerTypeLib(modulePath));
        if (!OtherBitnessRegistered(writer, server)) {
            for (const ClassEntry& entry : ClassTable())
                writer.Remove(kClassEntries, ClassParameters(server, entry), Keys::Shared);
            writer.Remove(kAppIdEntries, server, Keys::Shared);
        }
        // The machine's containers serve every server; the user's go when
        // nothing is left in them, so that nothing of the server stays.
        if (writer.IsUser()) {
            for (const wchar_t* container : kUserContainers) writer.DeleteIfEmpty(container);
        }
        return S_OK;
    });
}

HRESULT InstallServer(BOOL install, PCWSTR commandLine) noexcept {
    if (commandLine && *commandLine) {
        if (!EqualsNoCase(commandLine, L"user")) return E_INVALIDARG;
        return install ? RegisterServer(Scope::User) : UnregisterServer(Scope::User);
    }
    return install ? RegisterServer(Scope::Machine) : UnregisterServer(Scope::Machine);
}

} // namespace Varquel
