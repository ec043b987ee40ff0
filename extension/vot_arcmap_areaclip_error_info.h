// Error info of the module's COM methods: the guard every method body runs in, which turns an
// escaping exception into an error object and DISP_E_EXCEPTION.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <string>

#include <toolkit/exception.h>

// Installs with SetErrorInfo an error object with the GUID iid, the ProgID of clsid as source
// (none when clsid has no ProgID) and message as description.
void vot_set_error_info(REFIID iid, REFCLSID clsid, const std::string& message);

// Runs body (returning HRESULT); an exception that leaves it becomes an error object with
// the GUID iid, the ProgID of clsid as source and the exception's message as description,
// installed with SetErrorInfo; the result is then DISP_E_EXCEPTION.
template <class Body>
HRESULT vot_error_guard(REFIID iid, REFCLSID clsid, Body&& body) {
  try {
    return body();
  } catch (const Exception& e) {
    vot_set_error_info(iid, clsid, e.Message);
  } catch (const std::exception& e) {
    vot_set_error_info(iid, clsid, e.what());
  } catch (...) {
    vot_set_error_info(iid, clsid, std::string());
  }
  return DISP_E_EXCEPTION;
}
