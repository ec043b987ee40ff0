#include "extension/vot_arcmap_areaclip_error_info.h"

#include "extension/vot_arcmap_areaclip_atl.h"

void vot_set_error_info(REFIID iid, REFCLSID clsid, const std::string& message) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetGUID(iid);
  LPOLESTR progid = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(clsid, &progid))) {
    create->SetSource(progid);
    CoTaskMemFree(progid);
  }
  Tvo_bstr description(message);
  create->SetDescription(description.get());
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}
