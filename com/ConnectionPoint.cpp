#include "com/ConnectionPoint.h"
#include <olectl.h>
#include "com/Enumerator.h"

namespace Varquel {

CConnectionPoint::~CConnectionPoint() {
    for (IUnknown* sink : m_sinks)
        if (sink) sink->Release();
}

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CConnectionPoint::GetConnectionInterface(IID* piid) {
    if (!piid) return E_POINTER;
    *piid = m_sinkIid;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    *ppCPC = nullptr;
    return m_owner->OuterQueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(ppCPC));
}

bool CConnectionPoint::Grow() noexcept {
    size_t size = m_sinks.empty() ? 1 : m_sinks.size() == 1 ? 4 : m_sinks.size() * 2;
    try {
        m_sinks.resize(size, nullptr);
    } catch (...) {
        return false;
    }
    return true;
}

STDMETHODIMP CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie) *cookie = 0;
    if (!sink || !cookie) return E_POINTER;
    IUnknown* held = nullptr;
    HRESULT hr = sink->QueryInterface(m_sinkIid, reinterpret_cast<void**>(&held));
    if (hr == E_NOINTERFACE) return CONNECT_E_CANNOTCONNECT;
    if (FAILED(hr)) return hr;
    size_t slot = 0;
    while (slot < m_sinks.size() && m_sinks[slot]) ++slot;
    if (slot == m_sinks.size() && !Grow()) {
        held->Release();
        return CONNECT_E_ADVISELIMIT;
    }
    m_sinks[slot] = held;
    *cookie = static_cast<DWORD>(slot + 1);
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    IUnknown* sink = m_sinks[cookie - 1];
    m_sinks[cookie - 1] = nullptr;
    if (m_sinks.size() == 1) m_sinks.clear();
    sink->Release();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    std::vector<Connection> snapshot;
    try {
        for (size_t slot = 0; slot < m_sinks.size(); ++slot) {
            if (!m_sinks[slot]) continue;
            // A sink advised more than once is reported with its first cookie.
            size_t first = 0;
            while (m_sinks[first] != m_sinks[slot]) ++first;
            snapshot.push_back({ComPtr<IUnknown>(m_sinks[slot]), static_cast<DWORD>(first + 1)});
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return CEnumConnections::Create(snapshot, 0, ppEnum);
}

STDMETHODIMP CConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    std::vector<ComPtr<IConnectionPoint>> points;
    try {
        points = {ComPtr<IConnectionPoint>(&m_propertyNotify), ComPtr<IConnectionPoint>(&m_events)};
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return CEnumConnectionPoints::Create(points, 0, ppEnum);
}

STDMETHODIMP CConnectionPointContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    for (CConnectionPoint* point : {&m_propertyNotify, &m_events}) {
        if (IsEqualIID(riid, point->SinkIid())) {
            *ppCP = point;
            point->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

} // namespace Varquel
