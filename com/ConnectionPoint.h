#pragma once
#include <windows.h>
#include <ocidl.h>
#include <vector>
#include "com/ComObject.h"

namespace Varquel {

// One connection point inside an event source. It has no reference count of
// its own: holding it holds the object that contains it. Sinks sit in slots;
// a sink's cookie is its 1-based slot number, and freed slots are reused.
class CConnectionPoint final : public IConnectionPoint {
public:
    CConnectionPoint(CComObjectRoot* owner, const IID& sinkIid) noexcept : m_owner(owner), m_sinkIid(sinkIid) {}
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;
    ~CConnectionPoint();

    const IID& SinkIid() const noexcept { return m_sinkIid; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner->OuterAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner->OuterRelease(); }

    STDMETHODIMP GetConnectionInterface(IID* piid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

private:
    bool Grow() noexcept;

    CComObjectRoot* m_owner;
    const IID& m_sinkIid;
    // One slot, then 4, then doubling; a table of 4 or more never shrinks.
    std::vector<IUnknown*> m_sinks;  // owned references; null for a free slot
};

// IConnectionPointContainer of an event source: the property-change point
// first, then the point of the class's own event interface.
class CConnectionPointContainer : public IConnectionPointContainer {
public:
    CConnectionPointContainer(CComObjectRoot* owner, const IID& eventIid) noexcept
        : m_propertyNotify(owner, IID_IPropertyNotifySink), m_events(owner, eventIid) {}

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

private:
    CConnectionPoint m_propertyNotify;
    CConnectionPoint m_events;
};

} // namespace Varquel
