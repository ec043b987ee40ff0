// ITypeLib and ITypeInfo over a parsed IDL library, and LoadTypeLib / LoadTypeLibEx.
#include <strings.h>
#include <sys/stat.h>

#include <memory>

#include "../include/libloaderapi.h"
#include "../include/objbase.h"
#include "../include/winuser.h"
#include "../include/win32/com_error.h"
#include "../include/win32/com_object.h"
#include "../include/win32/idl.h"
#include "../include/win32/paths.h"
#include "../include/win32/text.h"
#include "posix_file.h"

namespace {

using win32::Bstr;
using win32::ComPtr;
using win32::idl::Library;
using win32::idl::Type;

void put_bstr(BSTR* out, const std::string& utf8) {
  if (out) *out = win32::bstr_from_utf8(utf8);
}

class TypeLib : public win32::ComObject<TypeLib, ITypeLib> {
 public:
  explicit TypeLib(std::shared_ptr<const Library> lib) : lib_(std::move(lib)) {}
  const Library& library() const { return *lib_; }

  UINT STDMETHODCALLTYPE GetTypeInfoCount() override { return static_cast<UINT>(lib_->types.size()); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    if (!kind) return E_INVALIDARG;
    if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = lib_->types[index].kind;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    for (size_t i = 0; i < lib_->types.size(); ++i)
      if (lib_->types[i].guid == guid) return GetTypeInfo(static_cast<UINT>(i), out);
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** out) override {
    return win32::com_guard([&] {
      if (!out) return E_INVALIDARG;
      // A type library of a 64-bit module describes 64-bit code, as MIDL /env win64 and widl --win64 make it.
      const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
      *out = new TLIBATTR{lib_->guid, lib_->lcid, kind, lib_->major, lib_->minor,
                          static_cast<WORD>(lib_->flags | LIBFLAG_FHASDISKIMAGE)};
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context,
                                             BSTR* file) override {
    return win32::com_guard([&] {
      const std::string* n = &lib_->name;
      const std::string* h = &lib_->help;
      if (index != -1) {
        if (index < 0 || static_cast<size_t>(index) >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        n = &lib_->types[static_cast<size_t>(index)].name;
        h = &lib_->types[static_cast<size_t>(index)].help;
      }
      put_bstr(name, *n);
      put_bstr(doc, *h);
      if (context) *context = 0;
      if (file) *file = nullptr;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE IsName(LPOLESTR name, ULONG, BOOL* found) override {
    if (!name || !found) return E_INVALIDARG;
    *found = index_of(name) >= 0 ? TRUE : FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindName(LPOLESTR name, ULONG, ITypeInfo** infos, MEMBERID* ids,
                                     USHORT* count) override {
    if (!name || !infos || !ids || !count) return E_INVALIDARG;
    int i = index_of(name);
    USHORT wanted = *count;
    *count = 0;
    if (i < 0 || wanted == 0) return S_OK;
    HRESULT hr = GetTypeInfo(static_cast<UINT>(i), &infos[0]);
    if (FAILED(hr)) return hr;
    ids[0] = MEMBERID_NIL;
    *count = 1;
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }

  // The index of the type named name (case-insensitive, as the automation name lookup).
  int index_of(std::u16string_view name) const {
    std::string n = win32::utf16_to_utf8(name);
    for (size_t i = 0; i < lib_->types.size(); ++i)
      if (strcasecmp(lib_->types[i].name.c_str(), n.c_str()) == 0) return static_cast<int>(i);
    return -1;
  }

 private:
  std::shared_ptr<const Library> lib_;
};

// One type description; holds its library alive.
class TypeInfo : public win32::ComObject<TypeInfo, ITypeInfo> {
 public:
  TypeInfo(ComPtr<TypeLib> lib, size_t index) : lib_(std::move(lib)), index_(index) {}

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** out) override {
    return win32::com_guard([&] {
      if (!out) return E_INVALIDARG;
      const Type& t = type();
      auto* a = new TYPEATTR{};
      a->guid = t.guid;
      a->lcid = lib_->library().lcid;
      a->memidConstructor = MEMBERID_NIL;
      a->memidDestructor = MEMBERID_NIL;
      a->typekind = t.kind;
      a->cFuncs = t.functions;
      a->cVars = t.variables;
      a->cImplTypes = static_cast<WORD>(t.impl.size());
      a->cbSizeVft = t.kind == TKIND_DISPATCH ? static_cast<WORD>(7 * sizeof(void*)) : 0;
      a->cbAlignment = static_cast<WORD>(sizeof(void*));
      a->cbSizeInstance = static_cast<ULONG>(sizeof(void*));
      a->wTypeFlags = t.flags;
      a->wMajorVerNum = t.major;
      a->wMinorVerNum = t.minor;
      *out = a;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC** out) override {
    if (out) *out = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** out) override {
    if (out) *out = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) override {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
    if (max == 0) return S_OK;
    names[0] = win32::bstr_from_utf8(type().name);
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* out) override {
    if (!out) return E_INVALIDARG;
    if (index >= type().impl.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = index + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override {
    if (!flags) return E_INVALIDARG;
    if (index >= type().impl.size()) return TYPE_E_ELEMENTNOTFOUND;
    *flags = type().impl[index].flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT STDMETHODCALLTYPE Invoke(void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                             BSTR* file) override {
    return win32::com_guard([&] {
      if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
      put_bstr(name, type().name);
      put_bstr(doc, type().help);
      if (context) *context = 0;
      if (file) *file = nullptr;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  // References resolve within the library; types of imported libraries are not loaded.
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE ref, ITypeInfo** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (ref == 0 || ref > type().impl.size()) return TYPE_E_ELEMENTNOTFOUND;
    int i = lib_->index_of(win32::utf8_to_utf16(type().impl[ref - 1].name));
    if (i < 0) return TYPE_E_CANTLOADLIBRARY;
    return lib_->GetTypeInfo(static_cast<UINT>(i), out);
  }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, void** out) override {
    if (out) *out = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (type().kind != TKIND_COCLASS) return TYPE_E_WRONGTYPEKIND;
    return CoCreateInstance(type().guid, outer, CLSCTX_INPROC_SERVER, riid, out);
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* out) override {
    if (out) *out = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** out, UINT* index) override {
    if (out) *out = ComPtr<ITypeLib>(lib_.get()).detach();
    if (index) *index = static_cast<UINT>(index_);
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  const Type& type() const { return lib_->library().types[index_]; }

  ComPtr<TypeLib> lib_;
  size_t index_;
};

HRESULT TypeLib::GetTypeInfo(UINT index, ITypeInfo** out) {
  return win32::com_guard([&] {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    return TypeInfo::create_instance(IID_ITypeInfo, reinterpret_cast<void**>(out), ComPtr<TypeLib>(this),
                                     static_cast<size_t>(index));
  });
}

bool read_file(const std::string& path, std::string* text) {
  win32::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd && win32::read_all(fd.get(), text);
}

bool is_regular(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The IDL text behind szFile: the TYPELIB resource of a module, or the file's own text.
HRESULT idl_text(std::u16string file, std::string* text, std::string* where) {
  std::string path = win32::wide_path_to_posix(file);
  int resource = 1;
  if (!is_regular(path)) {
    size_t sep = path.rfind('/');
    std::string tail = sep == std::string::npos ? "" : path.substr(sep + 1);
    if (tail.empty() || tail.size() > 5 || tail.find_first_not_of("0123456789") != std::string::npos)
      return TYPE_E_CANTLOADLIBRARY;
    resource = std::stoi(tail);
    path.resize(sep);
    file.resize(file.find_last_of(u"\\/"));
    if (!is_regular(path)) return TYPE_E_CANTLOADLIBRARY;
  }
  *where = path;
  std::string head;
  {
    win32::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char magic[4] = {};
    if (!fd || ::read(fd.get(), magic, 4) != 4) return TYPE_E_CANTLOADLIBRARY;
    head.assign(magic, 4);
  }
  if (head != "\x7F" "ELF") return read_file(path, text) ? S_OK : TYPE_E_CANTLOADLIBRARY;
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return TYPE_E_CANTLOADLIBRARY;
  HRESULT hr = TYPE_E_CANTLOADLIBRARY;
  if (HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(resource), u"TYPELIB")) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, res)));
    text->assign(data, SizeofResource(module, res));
    hr = S_OK;
  }
  FreeLibrary(module);
  return hr;
}

}  // namespace

HRESULT LoadTypeLibEx(LPCOLESTR file, REGKIND kind, ITypeLib** out) {
  if (!file || !out) return E_INVALIDARG;
  *out = nullptr;
  return win32::com_guard([&]() -> HRESULT {
    std::string text, where;
    HRESULT hr = idl_text(file, &text, &where);
    if (FAILED(hr)) {
      win32::set_error_info(IID_ITypeLib, "cannot load a type library from " + win32::utf16_to_utf8(file));
      return hr;
    }
    std::shared_ptr<const Library> lib;
    try {
      lib = std::make_shared<const Library>(win32::idl::Parse(text));
    } catch (const win32::idl::ParseError& e) {
      win32::set_error_info(IID_ITypeLib, where + ": " + e.what());
      return TYPE_E_INVDATAREAD;
    }
    ComPtr<TypeLib> tl = TypeLib::make(std::move(lib));
    if (kind == REGKIND_REGISTER) {
      hr = RegisterTypeLib(tl.get(), file, nullptr);
      if (FAILED(hr)) return hr;
    }
    *out = tl.detach();
    return S_OK;
  });
}

HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** out) { return LoadTypeLibEx(file, REGKIND_NONE, out); }
