// The COM runtime: initialisation, object creation by class id, GUID text forms and the
// task allocator.
#pragma once

#include "oaidl.h"
#include "ocidl.h"

enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = 0x15,
  CLSCTX_ALL = 0x17,
};

enum COINIT : DWORD { COINIT_MULTITHREADED = 0x0, COINIT_APARTMENTTHREADED = 0x2 };

WIN32_STANDIN_INTERFACE_IID(IRunnableObject, 0x00000126, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
struct IRunnableObject : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetRunningClass(LPCLSID lpClsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE Run(void* pbc) = 0;
  virtual BOOL STDMETHODCALLTYPE IsRunning() = 0;
  virtual HRESULT STDMETHODCALLTYPE LockRunning(BOOL fLock, BOOL fLastUnlockCloses) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL fContained) = 0;
};

HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT OleRun(LPUNKNOWN pUnknown);
// Frees the in-process servers loaded through the registry whose DllCanUnloadNow answers
// S_OK (win32/inproc_servers.h).
void CoFreeUnusedLibraries();

LPVOID CoTaskMemAlloc(size_t cb);
void CoTaskMemFree(LPVOID pv);

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
