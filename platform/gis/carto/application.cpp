#include "application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <win32/paths.h>

#include "atomic_file.h"
#include "com_out.h"
#include "display.h"
#include "gis/application.h"
#include "gis/gis.h"

namespace gis::carto {

extern const char kNormalTemplate[];  // resources/templates/Normal.mxt

namespace fs = std::filesystem;

namespace {

const char kNormalTemplateName[] = "Normal.mxt";

std::string program_folder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

// The template in folder when it reads; "" otherwise.
std::string readable_template_in(const fs::path& folder) {
  if (folder.empty()) return "";
  std::string path = (folder / kNormalTemplateName).string();
  try {
    read_document(path);
    return path;
  } catch (const std::exception&) {
    return "";
  }
}

// The template in folder, written when missing or unreadable; "" when that fails.
std::string template_in(const fs::path& folder) {
  if (folder.empty()) return "";
  if (std::string path = readable_template_in(folder); !path.empty()) return path;
  std::string path = (folder / kNormalTemplateName).string();
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

std::string lower_extension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

bool is_project_extension(const std::string& ext) { return ext == ".qgs" || ext == ".qgz"; }

// A file about to be replaced, kept under a hidden name beside it (a second link to the same
// file) until the save it belongs to is through: restore() puts it back, the destructor lets
// the kept name go. A file that did not exist is removed again by restore().
class Replaced {
 public:
  explicit Replaced(std::string path) : path_(std::move(path)) {
    struct stat st;
    if (::lstat(path_.c_str(), &st) != 0) {
      if (errno != ENOENT) fail(errno);
      existed_ = false;
      return;
    }
    // A folder of that name is no file to keep: writing over it fails and leaves it.
    if (S_ISDIR(st.st_mode)) return;
    std::string pattern = (fs::path(path_).parent_path() / ("." + fs::path(path_).filename().string() + ".kept.XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) fail(errno);
    ::close(fd);
    kept_ = name.data();
    // rename() of the new link over the placeholder is atomic: no window without either.
    std::string link = kept_ + ".link";
    if (::link(path_.c_str(), link.c_str()) != 0 || ::rename(link.c_str(), kept_.c_str()) != 0) {
      const int error = errno;
      ::unlink(link.c_str());
      ::unlink(kept_.c_str());
      kept_.clear();
      fail(error);
    }
  }
  ~Replaced() {
    if (!kept_.empty()) ::unlink(kept_.c_str());
  }
  Replaced(const Replaced&) = delete;
  Replaced& operator=(const Replaced&) = delete;

  void restore() {
    if (!existed_) {
      ::unlink(path_.c_str());
    } else if (!kept_.empty() && ::rename(kept_.c_str(), path_.c_str()) == 0) {
      kept_.clear();
    }
  }

 private:
  [[noreturn]] void fail(int error) const {
    throw std::runtime_error("cannot save \"" + path_ + "\": " + std::strerror(error));
  }

  std::string path_;
  bool existed_ = true;
  std::string kept_;  // the earlier file's second name; "" when there is none
};

// Saves the document at path and, for a document read from a QGIS project, its project
// beside it (same name, project_extension) when path is no project itself: the project is
// written first and taken back (an earlier file of its name put back, a new one removed)
// when the document then cannot be written, so the save is whole or changes nothing.
std::string project_beside(const std::string& path, const std::string& project_extension) {
  if (project_extension.empty() || path.empty() || is_project_extension(lower_extension(path))) return "";
  return fs::path(path).replace_extension(project_extension).string();
}

void save_with_project(const Document& document, const std::string& path, const std::string& project_extension) {
  const std::string project = project_beside(path, project_extension);
  if (project.empty()) {
    write_document(document, path);
    return;
  }
  Replaced earlier(project);
  write_document(document, project);
  try {
    write_document(document, path);
  } catch (...) {
    earlier.restore();
    throw;
  }
}

}  // namespace

std::string ensure_normal_template(const std::string& preferred_folder) {
  std::vector<fs::path> folders;
  if (!preferred_folder.empty()) folders.emplace_back(preferred_folder);
  if (const char* env = std::getenv("AREACLIP_TEMPLATES"); env && *env) folders.emplace_back(env);
  for (const fs::path& folder : folders)
    if (std::string path = template_in(folder); !path.empty()) return path;
  folders.clear();
  if (std::string exe = program_folder(); !exe.empty()) {
    // An installed program reads the templates installed with it (PREFIX/share/areaclip/
    // templates) and never writes into the installed tree; a build tree keeps them beside
    // the program.
    const fs::path installed = fs::path(exe).parent_path() / "share" / "areaclip" / "templates";
    std::error_code ec;
    if (fs::is_directory(installed, ec)) {
      if (std::string path = readable_template_in(installed); !path.empty()) return path;
    } else {
      folders.push_back(fs::path(exe) / "templates");
    }
  }
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
  project_extension_.clear();
  if (document_ && document_->qgis.xml && is_project_extension(lower_extension(document_->path)))
    project_extension_ = lower_extension(document_->path);
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
    replaced_ = document_;
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
      replaced_ = nullptr;
      win32::throw_hr(E_FAIL, e.what());
    }
    set_document(std::move(document));
    replaced_ = nullptr;
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
      save_with_project(*document_, path, project_extension_);
    } catch (const std::exception& e) {
      win32::throw_hr(E_FAIL, e.what());
    }
    document_->path = fs::absolute(fs::path(path)).lexically_normal().string();
    return S_OK;
  });
}

std::string Application::project_saved_with(const std::string& path) const {
  return project_beside(path, project_extension_);
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

std::string ProjectSavedWith(IApplication* application, const std::string& path) {
  auto* app = dynamic_cast<carto::Application*>(application);
  return app ? app->project_saved_with(path) : std::string();
}

win32::ComPtr<IApplication> CreateApplication(const ApplicationOptions& options) {
  RegisterClasses();
  std::vector<std::string> templates;
  if (std::string normal = carto::ensure_normal_template(options.templates_folder); !normal.empty())
    templates.push_back(normal);
  return carto::Application::make(std::move(templates));
}

}  // namespace gis
