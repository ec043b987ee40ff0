#include "application.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <win32/paths.h>

#include "atomic_file.h"
#include "com_out.h"
#include "display.h"
#include "gis/application.h"
#include "gis/gis.h"

namespace gis::carto {

namespace fs = std::filesystem;

namespace {

const char kNormalTemplateName[] = "Normal.mxt";
const char kNormalTemplate[] =
    "{\n"
    "  \"format\": \"areaclip-map\",\n"
    "  \"version\": 1,\n"
    "  \"focus_map\": 0,\n"
    "  \"maps\": [\n"
    "    { \"name\": \"\xD0\xA1\xD0\xBB\xD0\xBE\xD0\xB8\", \"spatial_reference\": null, \"layers\": [],\n"
    "      \"graphics\": { \"elements\": [] } }\n"
    "  ]\n"
    "}\n";

std::string program_folder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

// The template in folder, written when missing or unreadable; "" when that fails.
std::string template_in(const fs::path& folder) {
  if (folder.empty()) return "";
  std::string path = (folder / kNormalTemplateName).string();
  try {
    read_document(path);
    return path;
  } catch (const std::exception&) {
  }
  try {
    fs::create_directories(folder);
    write_file_atomically(path, kNormalTemplate);
    read_document(path);
    return path;
  } catch (const std::exception&) {
    return "";
  }
}

std::string path_argument(BSTR path) { return win32::wide_path_to_posix(win32::bstr_view(path)); }

}  // namespace

std::string ensure_normal_template(const std::string& preferred_folder) {
  std::vector<fs::path> folders;
  if (!preferred_folder.empty()) folders.emplace_back(preferred_folder);
  if (const char* env = std::getenv("AREACLIP_TEMPLATES"); env && *env) folders.emplace_back(env);
  if (std::string exe = program_folder(); !exe.empty()) folders.push_back(fs::path(exe) / "templates");
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    folders.push_back(fs::path(data) / "areaclip" / "templates");
  else if (const char* home = std::getenv("HOME"); home && *home)
    folders.push_back(fs::path(home) / ".local" / "share" / "areaclip" / "templates");
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (!ec) folders.push_back(temp / ("areaclip-templates-" + std::to_string(::getuid())));
  for (const fs::path& folder : folders)
    if (std::string path = template_in(folder); !path.empty()) return path;
  return "";
}

Application::Application(std::vector<std::string> templates) : templates_(std::move(templates)) {
  win32::ComPtr<Document> blank;
  if (!templates_.empty()) {
    try {
      blank = read_document(templates_.front());
    } catch (const std::exception&) {
    }
  }
  if (!blank) {
    blank = Document::make();
    blank->maps.push_back(Map::make());
  }
  blank->path.clear();
  set_document(std::move(blank));
}

Application::~Application() {
  if (document_) document_->parent = nullptr;
}

void Application::set_document(win32::ComPtr<Document> document) {
  if (document_) document_->parent = nullptr;
  document_ = std::move(document);
  if (document_) document_->parent = this;
}

HRESULT Application::get_Name(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, "ArcMap"); });
}

HRESULT Application::get_Caption(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, document_->title_text() + " - ArcMap"); });
}

HRESULT Application::get_Document(IDocument** out) { return out_ref(out, document_); }

HRESULT Application::get_Templates(ITemplates** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return win32::com_guard([&] {
    // As in ArcMap, the list ends with the open document's own file when it has one.
    std::vector<std::string> paths = templates_;
    if (document_ && !document_->path.empty()) paths.push_back(document_->path);
    *out = Templates::make(std::move(paths)).detach();
    return S_OK;
  });
}

HRESULT Application::NewDocument(VARIANT_BOOL, BSTR templatePath) {
  return win32::com_guard([&] {
    std::string path = path_argument(templatePath);
    if (path.empty()) {
      if (templates_.empty()) win32::throw_hr(E_FAIL, "there is no template to make a new document from");
      path = templates_.front();
    }
    win32::ComPtr<Document> document;
    try {
      document = read_document(path);
    } catch (const std::exception& e) {
      // The normal template is the stand-in's own file: one lost since start-up is written again.
      bool normal = !templates_.empty() && path == templates_.front() &&
                    fs::path(path).filename() == kNormalTemplateName &&
                    !template_in(fs::path(path).parent_path()).empty();
      if (!normal) win32::throw_hr(E_FAIL, std::string("template: ") + e.what());
      document = read_document(path);
    }
    // A document made from a template belongs to no file until it is saved.
    document->path.clear();
    set_document(std::move(document));
    return S_OK;
  });
}

HRESULT Application::OpenDocument(BSTR path) {
  if (!path || SysStringLen(path) == 0) return E_INVALIDARG;
  return win32::com_guard([&] {
    win32::ComPtr<Document> document;
    try {
      document = read_document(path_argument(path));
    } catch (const std::exception& e) {
      win32::throw_hr(E_FAIL, e.what());
    }
    set_document(std::move(document));
    return S_OK;
  });
}

HRESULT Application::SaveDocument(BSTR saveAsPath) {
  return win32::com_guard([&] {
    std::string path = path_argument(saveAsPath);
    if (path.empty()) path = document_->path;
    if (path.empty()) win32::throw_hr(E_FAIL, "the document has no file yet: name the file to save it as");
    ThrowIfCancelled();
    try {
      write_document(*document_, path);
    } catch (const std::exception& e) {
      win32::throw_hr(E_FAIL, e.what());
    }
    document_->path = fs::absolute(fs::path(path)).lexically_normal().string();
    return S_OK;
  });
}

HRESULT Application::get_Display(IAppDisplay** display) {
  if (!display) return E_POINTER;
  *display = nullptr;
  return win32::com_guard([&] {
    if (!display_) display_ = Display::make();
    *display = display_.copy();
    return S_OK;
  });
}

HRESULT Application::GetTypeInfoCount(UINT* count) { return out_value(count, 0u); }

HRESULT Application::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT Templates::get_Count(LONG* count) { return out_value(count, static_cast<LONG>(paths_.size())); }

HRESULT Templates::get_Item(LONG index, BSTR* path) {
  if (!path) return E_POINTER;
  *path = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= paths_.size()) return E_INVALIDARG;
  return win32::com_guard([&] { return out_text(path, paths_[static_cast<size_t>(index)]); });
}

}  // namespace gis::carto

namespace gis {

win32::ComPtr<IApplication> CreateApplication(const ApplicationOptions& options) {
  RegisterClasses();
  std::vector<std::string> templates;
  if (std::string normal = carto::ensure_normal_template(options.templates_folder); !normal.empty())
    templates.push_back(normal);
  return carto::Application::make(std::move(templates));
}

}  // namespace gis
