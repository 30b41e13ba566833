// Connection points of the two event sources, driven through COM.
#include <gtest/gtest.h>
#include <olectl.h>
#include <vector>
#include "Varquel_h.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::Create;

// A sink that answers IUnknown, IDispatch (as the event dispinterface) and
// IPropertyNotifySink, and counts every call made on it.
class CSink final : public IPropertyNotifySink, public IDispatch {
public:
    explicit CSink(const IID& events, bool answersEvents = true) : m_events(events), m_answers(answersEvents) {}
    LONG refs = 1;
    int calls = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyNotifySink)) {
            *ppv = static_cast<IPropertyNotifySink*>(this);
        } else if (m_answers && (IsEqualIID(riid, m_events) || IsEqualIID(riid, IID_IDispatch))) {
            *ppv = static_cast<IDispatch*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP OnChanged(DISPID) override { return ++calls, S_OK; }
    STDMETHODIMP OnRequestEdit(DISPID) override { return ++calls, S_OK; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return ++calls, E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return ++calls, E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return ++calls, E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return ++calls, E_NOTIMPL;
    }

private:
    const IID& m_events;
    bool m_answers;
};

ComPtr<IConnectionPoint> Point(IUnknown* source, const IID& iid) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(source->QueryInterface(IID_PPV_ARGS(&container)), S_OK);
    ComPtr<IConnectionPoint> point;
    if (container) {
        EXPECT_EQ(container->FindConnectionPoint(iid, &point), S_OK);
    }
    return point;
}

IID InterfaceOf(IConnectionPoint* point) {
    IID iid = GUID_NULL;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    return iid;
}

TEST(Events, EachSourceFindsItsTwoPointsAndNoOther) {
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    ComPtr<INetProfilesList> list = Create<INetProfilesList>(CLSID_CNetProfilesList);
    ASSERT_TRUE(profile && list);
    ComPtr<IConnectionPointContainer> profileContainer, listContainer;
    ASSERT_EQ(profile.As(&profileContainer), S_OK);
    ASSERT_EQ(list.As(&listContainer), S_OK);

    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(profileContainer->FindConnectionPoint(DIID__INetProfileEvents, &point), S_OK);
    EXPECT_EQ(profileContainer->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
    EXPECT_EQ(listContainer->FindConnectionPoint(DIID__INetProfilesListEvents, &point), S_OK);
    EXPECT_EQ(listContainer->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
    point.Reset();
    IConnectionPoint* untouched = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(profileContainer->FindConnectionPoint(DIID__INetProfilesListEvents, &untouched),
              CONNECT_E_NOCONNECTION);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(profileContainer->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(profileContainer->FindConnectionPoint(IID_IPropertyNotifySink, nullptr), E_POINTER);
    EXPECT_EQ(profileContainer->EnumConnectionPoints(nullptr), E_POINTER);

    for (IConnectionPointContainer* container : {profileContainer.Get(), listContainer.Get()}) {
        ComPtr<IEnumConnectionPoints> points;
        ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
        IConnectionPoint* got[3] = {};
        ULONG fetched = 0;
        EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
        ASSERT_EQ(fetched, 2u);
        EXPECT_TRUE(IsEqualIID(InterfaceOf(got[0]), IID_IPropertyNotifySink));
        EXPECT_FALSE(IsEqualIID(InterfaceOf(got[1]), IID_IPropertyNotifySink));
        ComPtr<IConnectionPointContainer> back;
        EXPECT_EQ(got[1]->GetConnectionPointContainer(&back), S_OK);
        EXPECT_EQ(back.Get(), container);
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(got[0]->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
        EXPECT_EQ(unknown.Get(), static_cast<IUnknown*>(got[0]));
        ComPtr<IDispatch> notOffered;
        EXPECT_EQ(got[0]->QueryInterface(IID_PPV_ARGS(&notOffered)), E_NOINTERFACE);
        got[0]->Release();
        got[1]->Release();
    }
}

TEST(Events, CookiesAreSlotNumbersAndFreedCookiesAreReused) {
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    ASSERT_TRUE(profile);
    ComPtr<IConnectionPoint> point = Point(profile.Get(), DIID__INetProfileEvents);
    ASSERT_TRUE(point);
    CSink sink(DIID__INetProfileEvents);
    DWORD cookies[5] = {};
    for (DWORD& cookie : cookies) ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&sink), &cookie), S_OK);
    EXPECT_EQ(cookies[0], 1u);
    EXPECT_EQ(cookies[2], 3u);
    EXPECT_EQ(cookies[4], 5u);  // the table grew from one slot to 4 and then to 8
    EXPECT_EQ(sink.refs, 6);

    EXPECT_EQ(point->Unadvise(2), S_OK);
    DWORD again = 0;
    EXPECT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&sink), &again), S_OK);
    EXPECT_EQ(again, 2u);

    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(9), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(6), CONNECT_E_NOCONNECTION);  // inside the table, never handed out
    EXPECT_EQ(point->Unadvise(4), S_OK);
    EXPECT_EQ(point->Unadvise(4), CONNECT_E_NOCONNECTION);
    for (DWORD cookie : {1u, 2u, 3u, 5u}) EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1);
    EXPECT_EQ(sink.calls, 0);
}

TEST(Events, AdviseRefusesBadSinksAndLeavesTheTableAlone) {
    ComPtr<INetProfilesList> list = Create<INetProfilesList>(CLSID_CNetProfilesList);
    ASSERT_TRUE(list);
    ComPtr<IConnectionPoint> point = Point(list.Get(), DIID__INetProfilesListEvents);
    ASSERT_TRUE(point);
    CSink mute(DIID__INetProfilesListEvents, false);
    DWORD cookie = 77;
    EXPECT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&mute), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(mute.refs, 1);
    cookie = 77;
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&mute), nullptr), E_POINTER);

    CSink sink(DIID__INetProfilesListEvents);
    EXPECT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&sink), &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(nullptr), E_POINTER);
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID__INetProfilesListEvents));
    // The sink is released when the source goes.
    point.Reset();
    list.Reset();
    EXPECT_EQ(sink.refs, 1);
}

TEST(Events, EnumConnectionsIsASnapshotOfTheOccupiedSlots) {
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    ASSERT_TRUE(profile);
    ComPtr<IConnectionPoint> point = Point(profile.Get(), IID_IPropertyNotifySink);
    ASSERT_TRUE(point);
    CSink first(DIID__INetProfileEvents), second(DIID__INetProfileEvents);
    DWORD a = 0, b = 0;
    ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&first), &a), S_OK);
    ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(&second), &b), S_OK);
    ASSERT_EQ(point->Unadvise(a), S_OK);

    ComPtr<IEnumConnections> connections;
    EXPECT_EQ(point->EnumConnections(nullptr), E_POINTER);
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    ASSERT_EQ(point->Unadvise(b), S_OK);  // the snapshot keeps its own reference
    CONNECTDATA data[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].dwCookie, 2u);
    EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(static_cast<IPropertyNotifySink*>(&second)));
    data[0].pUnk->Release();

    ComPtr<IEnumConnections> clone;
    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Skip(1), S_OK);
    EXPECT_EQ(clone->Next(1, data, nullptr), S_FALSE);
    connections.Reset();
    clone.Reset();
    EXPECT_EQ(second.refs, 1);
}

TEST(Events, AHeldPointKeepsTheSourceAliveAndTheServerUnloadsAfterwards) {
    ASSERT_EQ(VarquelTest::ModuleLockCount(), 0);
    ComPtr<IConnectionPoint> point;
    ComPtr<IEnumConnectionPoints> points;
    {
        ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
        ASSERT_TRUE(profile);
        ASSERT_EQ(profile->put_Name(Varquel::CBstr(L"Kept").Get()), S_OK);
        point = Point(profile.Get(), DIID__INetProfileEvents);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(profile.As(&container), S_OK);
        ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    }
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(point->GetConnectionPointContainer(&container), S_OK);
    ComPtr<INetProfile> profile;
    ASSERT_EQ(container.As(&profile), S_OK);
    Varquel::CBstr name;
    EXPECT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(VarquelTest::Narrow(name.Get()), "Kept");
    profile.Reset();
    container.Reset();
    EXPECT_GT(VarquelTest::ModuleLockCount(), 0);
    point.Reset();
    EXPECT_GT(VarquelTest::ModuleLockCount(), 0);  // the enumerator holds the points
    points.Reset();
    EXPECT_EQ(VarquelTest::ModuleLockCount(), 0);
}

TEST(Events, ClassInfo2NamesTheEventInterface) {
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    ComPtr<INetProfilesList> list = Create<INetProfilesList>(CLSID_CNetProfilesList);
    ASSERT_TRUE(profile && list);
    ComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(profile.As(&info), S_OK);
    GUID guid = IID_IUnknown;
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, DIID__INetProfileEvents));
    EXPECT_EQ(info->GetGUID(0, &guid), E_FAIL);
    EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);
    ASSERT_EQ(list.As(&info), S_OK);
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, DIID__INetProfilesListEvents));
    // The other classes offer IProvideClassInfo only.
    ComPtr<IAddressList> addresses = Create<IAddressList>(CLSID_CAddressList);
    ASSERT_TRUE(addresses);
    ComPtr<IProvideClassInfo> classInfo;
    EXPECT_EQ(addresses.As(&classInfo), S_OK);
    EXPECT_EQ(addresses.As(&info), E_NOINTERFACE);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(addresses.As(&container), E_NOINTERFACE);
}

// What a script host's ConnectObject does (Wine's cscript does not implement
// it): ask the object for its default source interface, find that point and
// advise a dispatch sink.
TEST(Events, ConnectsTheWayAScriptHostDoes) {
    for (const CLSID* clsid : {&CLSID_CNetProfile, &CLSID_CNetProfilesList}) {
        ComPtr<IDispatch> object = Create<IDispatch>(*clsid);
        ASSERT_TRUE(object);
        ComPtr<IProvideClassInfo2> info;
        ASSERT_EQ(object.As(&info), S_OK);
        IID source = GUID_NULL;
        ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
        ComPtr<IConnectionPoint> point = Point(object.Get(), source);
        ASSERT_TRUE(point);
        CSink sink(source);
        DWORD cookie = 0;
        EXPECT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK);
        EXPECT_EQ(cookie, 1u);
        EXPECT_EQ(point->Unadvise(cookie), S_OK);
        EXPECT_EQ(sink.refs, 1);
        EXPECT_EQ(sink.calls, 0);
    }
}

TEST(Events, NoActionOfASourceCallsItsSinks) {
    ComPtr<INetProfilesList> list = Create<INetProfilesList>(CLSID_CNetProfilesList);
    ComPtr<INetProfile> profile = Create<INetProfile>(CLSID_CNetProfile);
    ASSERT_TRUE(list && profile);
    CSink sink(DIID__INetProfileEvents), listSink(DIID__INetProfilesListEvents);
    DWORD cookies[4] = {};
    ComPtr<IConnectionPoint> points[4] = {
        Point(profile.Get(), DIID__INetProfileEvents), Point(profile.Get(), IID_IPropertyNotifySink),
        Point(list.Get(), DIID__INetProfilesListEvents), Point(list.Get(), IID_IPropertyNotifySink)};
    ASSERT_EQ(points[0]->Advise(static_cast<IPropertyNotifySink*>(&sink), &cookies[0]), S_OK);
    ASSERT_EQ(points[1]->Advise(static_cast<IPropertyNotifySink*>(&sink), &cookies[1]), S_OK);
    ASSERT_EQ(points[2]->Advise(static_cast<IPropertyNotifySink*>(&listSink), &cookies[2]), S_OK);
    ASSERT_EQ(points[3]->Advise(static_cast<IPropertyNotifySink*>(&listSink), &cookies[3]), S_OK);

    EXPECT_EQ(profile->put_Name(Varquel::CBstr(L"Quiet").Get()), S_OK);
    ComPtr<INetProfile> duplicate;
    EXPECT_EQ(profile->GetDuplicate(&duplicate), S_OK);
    EXPECT_EQ(list->Add(profile.Get()), S_OK);
    EXPECT_EQ(list->NetProfileRemoveAt(0), S_OK);
    EXPECT_EQ(sink.calls + listSink.calls, 0);
    // A duplicate does not copy the connections.
    ComPtr<IConnectionPoint> copyPoint = Point(duplicate.Get(), DIID__INetProfileEvents);
    ComPtr<IEnumConnections> none;
    ASSERT_EQ(copyPoint->EnumConnections(&none), S_OK);
    CONNECTDATA data{};
    EXPECT_EQ(none->Next(1, &data, nullptr), S_FALSE);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(points[i]->Unadvise(cookies[i]), S_OK);
}

} // namespace
