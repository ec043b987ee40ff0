// The registry file: location, cached reading, locked read-modify-write, atomic replace.
#include "registry_store.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "../include/win32/registry.h"
#include "posix_file.h"

namespace win32 {

std::string RegistryFile() {
  if (const char* p = std::getenv("AREACLIP_REGISTRY"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/areaclip/registry.txt";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/areaclip/registry.txt";
}

bool CheckRegistryText(std::string_view text, std::string* error) {
  registry::Tree tree;
  std::string ignored;
  return registry::parse(text, &tree, error ? error : &ignored);
}

}  // namespace win32

namespace win32::registry {

namespace {

struct FileId {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long mtime_s = 0;
  long mtime_ns = 0;
  bool operator==(const FileId&) const = default;
};

FileId id_of(const struct stat& st) {
  return FileId{true, st.st_dev, st.st_ino, st.st_size, static_cast<long>(st.st_mtim.tv_sec),
                static_cast<long>(st.st_mtim.tv_nsec)};
}

FileId identify(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FileId{};
  return id_of(st);
}

struct Cache {
  std::mutex lock;
  std::string path;
  FileId id;
  bool valid = false;    // tree matches (path, id)
  bool damaged = false;  // (path, id) was found damaged and reported
  Tree tree;
};

Cache& cache() {
  static Cache* c = new Cache;  // used from static destructors of other libraries too
  return *c;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool make_folders(const std::string& folder) {
  struct stat st;
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = folder_of(folder);
  if (parent != folder && !make_folders(parent)) return false;
  return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

// Loads the file into *tree. A missing file is an empty registry.
LONG load(const std::string& path, Tree* tree, FileId* id) {
  *tree = Tree{};
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    if (errno == ENOENT) {
      *id = FileId{};
      return ERROR_SUCCESS;
    }
    return static_cast<LONG>(win32_error_from_errno(errno));
  }
  struct stat st;
  std::string text;
  if (::fstat(fd.get(), &st) != 0 || !read_all(fd.get(), &text)) return ERROR_CANTREAD;
  *id = id_of(st);
  std::string error;
  if (!parse(text, tree, &error)) {
    *tree = Tree{};
    Cache& c = cache();
    if (!(c.damaged && c.path == path && c.id == *id)) {
      // error reads "line N: what"; printed as "FILE:N: what" like a compiler diagnostic.
      std::fprintf(stderr, "registry: %s:%s (damaged registry file, left unchanged)\n", path.c_str(),
                   error.c_str() + 5);
    }
    c.damaged = true;
    c.path = path;
    c.id = *id;
    c.valid = false;
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

LONG write_atomically(const std::string& path, const std::string& text, mode_t mode) {
  static std::atomic<unsigned> counter{0};
  std::string temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd) return static_cast<LONG>(win32_error_from_errno(errno));
  bool ok = write_all(fd.get(), text) && ::fsync(fd.get()) == 0;
  int saved = errno;
  fd.reset();
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return static_cast<LONG>(win32_error_from_errno(saved));
  }
  UniqueFd dir(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return ERROR_SUCCESS;
}

// Holds an exclusive flock on "<file>.lock" while alive.
class WriterLock {
 public:
  explicit WriterLock(const std::string& path) : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (!fd_) {
      error_ = static_cast<LONG>(win32_error_from_errno(errno));
      return;
    }
    while (::flock(fd_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = ERROR_CANTWRITE;
        return;
      }
    }
  }
  ~WriterLock() {
    if (fd_ && error_ == ERROR_SUCCESS) ::flock(fd_.get(), LOCK_UN);
  }
  LONG error() const { return error_; }

 private:
  UniqueFd fd_;
  LONG error_ = ERROR_SUCCESS;
};

}  // namespace

LONG read(const std::function<LONG(const Tree&)>& f) {
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  std::string path = RegistryFile();
  FileId now = identify(path);
  if (!(c.valid && c.path == path && c.id == now)) {
    if (c.damaged && c.path == path && c.id == now) return ERROR_BADDB;
    Tree tree;
    FileId id;
    LONG rc = load(path, &tree, &id);
    if (rc != ERROR_SUCCESS) return rc;
    c.tree = std::move(tree);
    c.path = path;
    c.id = id;
    c.valid = true;
    c.damaged = false;
  }
  return f(c.tree);
}

LONG modify(const std::function<LONG(Tree&, bool* changed)>& f) {
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  std::string path = RegistryFile();
  if (!make_folders(folder_of(path))) return ERROR_ACCESS_DENIED;
  WriterLock writer(path);
  if (writer.error() != ERROR_SUCCESS) return writer.error();
  mode_t mode = 0666;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    // Checked on the mode bits as well, since a privileged user passes access().
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(path.c_str(), W_OK) != 0) return ERROR_ACCESS_DENIED;
    mode = st.st_mode & 0777;
  }
  Tree tree;
  FileId id;
  LONG rc = load(path, &tree, &id);
  if (rc != ERROR_SUCCESS) return rc;
  bool changed = false;
  rc = f(tree, &changed);
  if (rc == ERROR_SUCCESS && changed) {
    LONG written = write_atomically(path, serialize(tree), mode);
    if (written != ERROR_SUCCESS) {
      c.valid = false;
      return written;
    }
    id = identify(path);
  }
  c.tree = std::move(tree);
  c.path = path;
  c.id = id;
  c.valid = true;
  c.damaged = false;
  return rc;
}

}  // namespace win32::registry
