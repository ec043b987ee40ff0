// The module's class objects, lock count, aggregation and connection points.
#include <vector>

#include <olectl.h>

#include "tests/extension/module/module_fixture.h"

namespace {

using module_test::ModuleTest;
using testing_support::ref_count;
using win32::ComPtr;

// A sink for the events dispinterface of one object (or for none: diid null).
class Sink : public win32::ComObject<Sink, IUnknown> {
 public:
  explicit Sink(const IID* diid) : diid_(diid) {}
  void* query_extra(REFIID riid) {
    if (diid_ && riid == *diid_) return static_cast<IUnknown*>(this);
    return nullptr;
  }

 private:
  const IID* diid_;
};

// A sink whose query for the events dispinterface fails with a given error.
class FailingSink : public win32::ComObject<FailingSink, IUnknown> {
 public:
  FailingSink(const IID& diid, HRESULT failure) : diid_(diid), failure_(failure) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == diid_) {
      *ppv = nullptr;
      return failure_;
    }
    return ComObject::QueryInterface(riid, ppv);
  }
  void* query_extra(REFIID) { return nullptr; }

 private:
  IID diid_;
  HRESULT failure_;
};

TEST_F(ModuleTest, ClassObjectsAreCachedAndUnknownClassesRefused) {
  ComPtr<IClassFactory> first, second;
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_IClassFactory, first.put_void()), S_OK);
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_IClassFactory, second.put_void()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  testing_support::expect_query_interface_rules(first.get(), {IID_IClassFactory});
  ComPtr<IClassFactory> tool_bar;
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_tool_bar_areaclip, IID_IClassFactory, tool_bar.put_void()), S_OK);
  EXPECT_NE(tool_bar.get(), first.get());

  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll_.get_class_object(IID_IUnknown, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_ICommand, &p), E_NOINTERFACE);
  // The factories do not hold the module.
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
}

TEST_F(ModuleTest, CreateInstanceArguments) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICommand, nullptr), E_POINTER);
  auto outer = testing_support::CountedUnknown::make();
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_ICommand, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IToolBarDef, &p), E_NOINTERFACE);  // destroyed at once
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
  EXPECT_EQ(ref_count(outer.get()), 1u);
}

TEST_F(ModuleTest, ObjectsAndLockServerHoldTheModule) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_tool_bar_areaclip, IID_IClassFactory, factory.put_void()), S_OK);
  ComPtr<IToolBarDef> tool_bar;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IToolBarDef, tool_bar.put_void()), S_OK);
  EXPECT_EQ(ref_count(tool_bar.get()), 1u);
  EXPECT_EQ(dll_.can_unload_now(), S_FALSE);
  tool_bar.reset();
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(dll_.can_unload_now(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(dll_.can_unload_now(), S_OK);

  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  EXPECT_EQ(dll_.can_unload_now(), S_FALSE);
  command.reset();
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
}

TEST_F(ModuleTest, QueryInterfaceAnswersExactlyTheListedInterfaces) {
  ComPtr<ICommand> command = create<ICommand>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(command);
  testing_support::expect_query_interface_rules(command.get(), {IID_ICommand, IID_IConnectionPointContainer});
  EXPECT_FALSE(command.as<IToolBarDef>());
  EXPECT_FALSE(command.as<IDispatch>());
  ComPtr<IToolBarDef> tool_bar = create<IToolBarDef>(CLSID_vo_arcmap_tool_bar_areaclip);
  ASSERT_TRUE(tool_bar);
  testing_support::expect_query_interface_rules(tool_bar.get(), {IID_IToolBarDef, IID_IConnectionPointContainer});
  EXPECT_FALSE(tool_bar.as<ICommand>());
}

TEST_F(ModuleTest, AnAggregatedCommandDelegatesToItsOuterObject) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(dll_.get_class_object(CLSID_vo_arcmap_command_areaclip, IID_IClassFactory, factory.put_void()), S_OK);
  auto outer = testing_support::CountedUnknown::make();
  ComPtr<IUnknown> inner;
  ASSERT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, inner.put_void()), S_OK);
  EXPECT_EQ(ref_count(outer.get()), 1u);  // the part holds no reference to its outer object
  ComPtr<ICommand> command = inner.as<ICommand>();
  ASSERT_TRUE(command);
  EXPECT_EQ(ref_count(outer.get()), 2u);  // the command's references are the outer object's
  ComPtr<IUnknown> identity;
  ASSERT_EQ(command->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(outer.get()));
  identity.reset();
  command.reset();
  EXPECT_EQ(ref_count(outer.get()), 1u);
  EXPECT_EQ(dll_.can_unload_now(), S_FALSE);
  inner.reset();
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
}

TEST_F(ModuleTest, ConnectionPointsOfBothObjects) {
  struct Case {
    CLSID clsid;
    IID diid;
  };
  for (const Case& c : {Case{CLSID_vo_arcmap_command_areaclip, IID_Ivo_arcmap_command_areaclipEvents},
                        Case{CLSID_vo_arcmap_tool_bar_areaclip, IID_Ivo_arcmap_tool_bar_areaclipEvents}}) {
    ComPtr<IConnectionPointContainer> container = create<IConnectionPointContainer>(c.clsid);
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(c.diid, nullptr), E_POINTER);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(point);
    ASSERT_EQ(container->FindConnectionPoint(c.diid, point.put()), S_OK);
    testing_support::expect_query_interface_rules(point.get(), {IID_IConnectionPoint});
    IID iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, c.diid);
    EXPECT_EQ(point->GetConnectionInterface(nullptr), E_POINTER);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
    EXPECT_EQ(back.get(), container.get());
    back.reset();

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point.get());
    listed[0]->Release();
    points.reset();

    DWORD cookie = 77;
    auto stranger = Sink::make(nullptr);
    EXPECT_EQ(point->Advise(stranger.get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(ref_count(stranger.get()), 1u);
    // Only a sink without the interface cannot connect; other errors of its query come back.
    for (HRESULT failure : {E_NOINTERFACE, E_OUTOFMEMORY, E_UNEXPECTED, E_ACCESSDENIED}) {
      auto failing = FailingSink::make(c.diid, failure);
      cookie = 77;
      EXPECT_EQ(point->Advise(failing.get(), &cookie), failure == E_NOINTERFACE ? CONNECT_E_CANNOTCONNECT : failure)
          << std::hex << failure;
      EXPECT_EQ(cookie, 0u);
      EXPECT_EQ(ref_count(failing.get()), 1u);
    }

    std::vector<ComPtr<Sink>> sinks;
    std::vector<DWORD> cookies;
    for (int i = 0; i < 5; ++i) {
      sinks.push_back(Sink::make(&c.diid));
      ASSERT_EQ(point->Advise(sinks.back().get(), &cookie), S_OK);
      EXPECT_NE(cookie, 0u);
      cookies.push_back(cookie);
      EXPECT_EQ(ref_count(sinks.back().get()), 2u);
    }
    auto sixth = Sink::make(&c.diid);
    cookie = 77;
    EXPECT_EQ(point->Advise(sixth.get(), &cookie), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(ref_count(sixth.get()), 1u);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
    EXPECT_EQ(ref_count(sinks[0].get()), 3u);  // the enumerator's own reference
    CONNECTDATA data[6] = {};
    ASSERT_EQ(connections->Next(6, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 5u);
    for (ULONG i = 0; i < fetched; ++i) {
      EXPECT_EQ(data[i].dwCookie, cookies[i]);
      data[i].pUnk->Release();
    }

    EXPECT_EQ(point->Unadvise(12345), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(cookies[1]), S_OK);
    EXPECT_EQ(point->Unadvise(cookies[1]), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(ref_count(sinks[1].get()), 2u);  // only the enumerator holds it now
    ASSERT_EQ(point->Advise(sixth.get(), &cookie), S_OK);
    EXPECT_EQ(cookie, cookies[1]);  // the freed slot

    point.reset();
    container.reset();
    EXPECT_EQ(dll_.can_unload_now(), S_FALSE);  // the enumerator is alive
    connections.reset();
    EXPECT_EQ(dll_.can_unload_now(), S_OK);
    for (auto& s : sinks) EXPECT_EQ(ref_count(s.get()), 1u);  // released with the object
    EXPECT_EQ(ref_count(sixth.get()), 1u);
  }
}

TEST_F(ModuleTest, EnumeratorsSkipResetAndClone) {
  ComPtr<IConnectionPointContainer> container =
      create<IConnectionPointContainer>(CLSID_vo_arcmap_command_areaclip);
  ASSERT_TRUE(container);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(IID_Ivo_arcmap_command_areaclipEvents, point.put()), S_OK);
  IConnectionPoint* got = nullptr;
  ULONG fetched = 0;

  // The enumerator of the container's one point.
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  EXPECT_EQ(points->Skip(0), S_OK);
  EXPECT_EQ(points->Skip(1), S_OK);
  EXPECT_EQ(points->Next(1, &got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(points->Skip(1), S_FALSE);  // past the end
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(2), S_FALSE);  // only one to skip
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Clone(nullptr), E_POINTER);
  ComPtr<IEnumConnectionPoints> points_clone;
  ASSERT_EQ(points->Clone(points_clone.put()), S_OK);  // at the start, as the original
  ASSERT_EQ(points->Next(1, &got, nullptr), S_OK);
  EXPECT_EQ(got, point.get());
  got->Release();
  ASSERT_EQ(points_clone->Next(1, &got, &fetched), S_OK);  // moved on its own
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got, point.get());
  got->Release();
  ComPtr<IEnumConnectionPoints> at_end;
  ASSERT_EQ(points_clone->Clone(at_end.put()), S_OK);
  EXPECT_EQ(at_end->Next(1, &got, &fetched), S_FALSE);
  EXPECT_EQ(at_end->Reset(), S_OK);
  ASSERT_EQ(at_end->Next(1, &got, &fetched), S_OK);
  got->Release();
  points.reset();
  points_clone.reset();
  at_end.reset();

  // The enumerator of the sinks, over three of them.
  std::vector<ComPtr<Sink>> sinks;
  std::vector<DWORD> cookies;
  for (int i = 0; i < 3; ++i) {
    sinks.push_back(Sink::make(&IID_Ivo_arcmap_command_areaclipEvents));
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sinks.back().get(), &cookie), S_OK);
    cookies.push_back(cookie);
  }
  auto next_cookie = [](IEnumConnections* e) -> DWORD {
    CONNECTDATA d{};
    if (e->Next(1, &d, nullptr) != S_OK) return 0;
    d.pUnk->Release();
    return d.dwCookie;
  };
  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
  EXPECT_EQ(connections->Skip(2), S_OK);
  EXPECT_EQ(next_cookie(connections.get()), cookies[2]);
  EXPECT_EQ(connections->Skip(1), S_FALSE);
  EXPECT_EQ(connections->Reset(), S_OK);
  EXPECT_EQ(connections->Skip(5), S_FALSE);  // skips what is there
  EXPECT_EQ(next_cookie(connections.get()), 0u);
  EXPECT_EQ(connections->Reset(), S_OK);
  EXPECT_EQ(next_cookie(connections.get()), cookies[0]);
  EXPECT_EQ(connections->Clone(nullptr), E_POINTER);
  ComPtr<IEnumConnections> clone;
  ASSERT_EQ(connections->Clone(clone.put()), S_OK);
  EXPECT_EQ(ref_count(sinks[0].get()), 4u);  // the point's, the enumerator's and the clone's
  EXPECT_EQ(next_cookie(clone.get()), cookies[1]);  // where the original stood
  EXPECT_EQ(next_cookie(connections.get()), cookies[1]);
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(next_cookie(clone.get()), cookies[0]);
  EXPECT_EQ(next_cookie(connections.get()), cookies[2]);  // the clone's reset is its own

  // The clone outlives the original and the object, holding the sinks and the module.
  connections.reset();
  point.reset();
  container.reset();
  EXPECT_EQ(ref_count(sinks[0].get()), 2u);
  EXPECT_EQ(dll_.can_unload_now(), S_FALSE);
  EXPECT_EQ(next_cookie(clone.get()), cookies[1]);
  clone.reset();
  for (auto& sink : sinks) EXPECT_EQ(ref_count(sink.get()), 1u);
  EXPECT_EQ(dll_.can_unload_now(), S_OK);
}

}  // namespace
