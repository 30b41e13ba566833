#pragma once
#include "com/Dispatch.h"

namespace Varquel {

// IDispatch of a dual interface, served from the interface's constant table.
template <class Itf>
class CDispatchImpl : public Itf {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        return Dispatch::GetTypeInfoCount(__uuidof(Itf), pctinfo);
    }
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        return Dispatch::GetTypeInfo(__uuidof(Itf), iTInfo, ppTInfo);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return Dispatch::GetIDsOfNames(Dispatch::TableOf<Itf>(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT* argErr) override {
        return Dispatch::Invoke(Dispatch::TableOf<Itf>(), static_cast<Itf*>(this), member, flags, params,
                                result, argErr);
    }
};

} // namespace Varquel
