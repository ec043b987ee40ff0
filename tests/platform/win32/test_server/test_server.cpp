// A tiny in-process COM server for the loader, resource, type-library and registry-class
// tests: process notifications, one creatable class, a lock count and embedded resources.
#include <atomic>

#include <objbase.h>
#include <windows.h>
#include <win32/com_object.h>

#include "test_server.h"

namespace {

std::atomic<long> g_locks{0};
int g_attached = 0;
HINSTANCE g_instance = nullptr;
void (*g_on_detach)(LPVOID reserved) = nullptr;

class ServerObject : public win32::ComObject<ServerObject, IUnknown> {
 public:
  ServerObject() { ++g_locks; }
  ~ServerObject() override { --g_locks; }
};

class Factory : public win32::ComObject<Factory, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return ServerObject::create_instance(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) ++g_locks;
    else --g_locks;
    return S_OK;
  }
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    ++g_attached;
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && g_on_detach) {
    g_on_detach(reserved);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != kTestServerClass) return CLASS_E_CLASSNOTAVAILABLE;
  return Factory::create_instance(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

extern "C" int TestServer_AttachCount() { return g_attached; }
extern "C" HINSTANCE TestServer_Instance() { return g_instance; }
extern "C" void TestServer_OnDetach(void (*callback)(LPVOID reserved)) { g_on_detach = callback; }
