#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace gis::carto {

namespace {

std::atomic<bool> g_defer_sync{false};

[[noreturn]] void fail(const std::string& path, int error) {
  throw std::runtime_error("cannot save \"" + path + "\": " + std::strerror(error));
}

// Closes the descriptor and removes the temporary file unless the rename succeeded.
class TempFile {
 public:
  TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int fd() const { return fd_; }
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }
  void keep() { kept_ = true; }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
  bool kept_ = false;
};

// The file a path names, symbolic links followed (a link's relative target is taken from the
// link's folder); the path itself when it names no link. A loop of links is an error.
std::filesystem::path final_path(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path p(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p;
    fs::path next = fs::read_symlink(p, ec);
    if (ec) fail(path, ec.value());
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  fail(path, ELOOP);
}

}  // namespace

void write_file_atomically(const std::string& path, const std::string& content) {
  namespace fs = std::filesystem;
  // A link to the file is kept: the file it names is replaced, with the temporary file beside it.
  fs::path target = final_path(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (target.filename().empty()) fail(path, EISDIR);

  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) fail(path, errno);
  TempFile temp(fd, name.data());

  struct stat st;
  mode_t mode = (::stat(target.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) != 0) fail(path, errno);

  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(path, errno);
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  const bool flush = !g_defer_sync.load(std::memory_order_relaxed);
  if (flush && ::fsync(fd) != 0) fail(path, errno);
  if (temp.close() != 0) fail(path, errno);
  if (::rename(temp.path().c_str(), target.c_str()) != 0) fail(path, errno);
  temp.keep();
  if (!flush) return;

  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void defer_sync(bool defer) { g_defer_sync.store(defer, std::memory_order_relaxed); }

void sync_file_system(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int error = dir < 0 ? errno : ::syncfs(dir) == 0 ? 0 : errno;
  if (dir >= 0) ::close(dir);
  if (error) throw std::runtime_error("cannot flush \"" + folder + "\" to disk: " + std::strerror(error));
}

}  // namespace gis::carto
