#include "buffered_files.h"

#include "gdal_support.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>

namespace gis::core {

namespace {

// Must begin and end with "/"; a name is the prefix and the absolute path
// without its leading "/".
constexpr char kPrefix[] = "/vsiareaclip/";
constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
// Bytes kept in memory per file and direction. Reads and writes at least this
// long go straight to the file.
constexpr size_t kWindow = 64 * 1024;

std::mutex g_failed_mutex;
std::set<std::string> &failed_files() {
  static std::set<std::string> files;
  return files;
}

// GDAL hands the callbacks the name without the prefix.
std::string real_path(const char *name) {
  std::string path = unbuffered_path(name ? name : "");
  return path.empty() || path[0] != '/' ? "/" + path : path;
}

bool pwrite_all(int fd, const char *data, size_t n, uint64_t offset) {
  while (n > 0) {
    ssize_t w = ::pwrite(fd, data, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<size_t>(w);
    offset += static_cast<uint64_t>(w);
  }
  return true;
}

// Bytes read (fewer at the end of the file), or -1.
ssize_t pread_all(int fd, char *data, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, data + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

// One open file: a read window (bytes of the file as last read) and a write
// window (bytes written and not yet in the file, one contiguous run). A read
// that overlaps pending bytes writes them first; a write drops the read window
// where they overlap.
class File {
 public:
  File(int fd, std::string path, bool append, uint64_t size)
      : fd_(fd), path_(std::move(path)), append_(append), size_(size), on_disk_(size) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }

  uint64_t tell() const { return pos_; }
  bool eof() const { return eof_; }

  int seek(vsi_l_offset offset, int whence) {
    uint64_t base = whence == SEEK_CUR ? pos_ : whence == SEEK_END ? size_ : 0;
    pos_ = base + offset;
    eof_ = false;
    return 0;
  }

  size_t read(void *buffer, size_t size, size_t count) {
    const size_t total = size * count;
    if (total == 0) return 0;
    // Pending bytes the read overlaps, or that lie past the end of the file on
    // disk (the bytes before them read as zeros once they are written), go to
    // the file first.
    if (pending_ > 0 && (pos_ + total > on_disk_ || (pos_ < written_at_ + pending_ && pos_ + total > written_at_)) &&
        !write_back())
      return 0;
    char *out = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < total) {
      if (pos_ >= size_) {
        eof_ = true;
        break;
      }
      if (pos_ < read_at_ || pos_ >= read_at_ + read_length_) {
        if (total - done >= kWindow) {
          ssize_t n = pread_all(fd_, out + done, total - done, pos_);
          if (n < 0) break;
          done += static_cast<size_t>(n);
          pos_ += static_cast<uint64_t>(n);
          if (done < total) eof_ = true;
          break;
        }
        if (!read_buffer_) read_buffer_.reset(new char[kWindow]);
        read_at_ = pos_ - pos_ % 4096;
        ssize_t n = pread_all(fd_, read_buffer_.get(), kWindow, read_at_);
        read_length_ = n < 0 ? 0 : static_cast<size_t>(n);
        if (pos_ >= read_at_ + read_length_) {
          eof_ = true;
          break;
        }
      }
      const size_t at = static_cast<size_t>(pos_ - read_at_);
      const size_t n = std::min(total - done, read_length_ - at);
      std::memcpy(out + done, read_buffer_.get() + at, n);
      done += n;
      pos_ += n;
    }
    return done / size;
  }

  size_t write(const void *buffer, size_t size, size_t count) {
    const size_t total = size * count;
    if (failed_) return 0;
    if (total == 0) return 0;
    if (append_) pos_ = size_;
    const char *in = static_cast<const char *>(buffer);
    if (read_length_ > 0 && pos_ < read_at_ + read_length_ && pos_ + total > read_at_) read_length_ = 0;
    const bool joins = pending_ > 0 && pos_ >= written_at_ && pos_ <= written_at_ + pending_;
    if (!(joins && pos_ + total - written_at_ <= kWindow)) {
      if (!write_back()) return 0;
      if (total >= kWindow) {
        if (!pwrite_all(fd_, in, total, pos_)) {
          fail();
          return 0;
        }
        pos_ += total;
        size_ = std::max(size_, pos_);
        on_disk_ = std::max(on_disk_, pos_);
        return count;
      }
      written_at_ = pos_;
    }
    if (!write_buffer_) write_buffer_.reset(new char[kWindow]);
    const size_t at = static_cast<size_t>(pos_ - written_at_);
    std::memcpy(write_buffer_.get() + at, in, total);
    pending_ = std::max(pending_, at + total);
    pos_ += total;
    size_ = std::max(size_, pos_);
    return count;
  }

  int flush() { return write_back() ? 0 : -1; }

  int truncate(vsi_l_offset length) {
    if (!write_back()) return -1;
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
      fail();
      return -1;
    }
    size_ = length;
    on_disk_ = length;
    read_length_ = 0;
    return 0;
  }

  int close() {
    bool ok = write_back();
    if (::close(fd_) != 0) {
      ok = false;
      fail();
    }
    fd_ = -1;
    return ok ? 0 : -1;
  }

 private:
  bool write_back() {
    if (failed_) return false;
    if (pending_ == 0) return true;
    const size_t n = pending_;
    pending_ = 0;
    if (!pwrite_all(fd_, write_buffer_.get(), n, written_at_)) {
      fail();
      return false;
    }
    on_disk_ = std::max(on_disk_, written_at_ + n);
    // The read window may have been filled before these bytes reached the file.
    if (read_length_ > 0 && written_at_ < read_at_ + read_length_ && written_at_ + n > read_at_) read_length_ = 0;
    return true;
  }

  void fail() {
    failed_ = true;
    std::lock_guard<std::mutex> lock(g_failed_mutex);
    failed_files().insert(path_);
  }

  int fd_;
  std::string path_;
  bool append_;
  uint64_t size_;     // the file's size with the pending bytes
  uint64_t on_disk_;  // the file's size on disk
  uint64_t pos_ = 0;
  bool eof_ = false;
  bool failed_ = false;
  // Allocated when first used, not cleared: only the bytes read or written are looked at.
  std::unique_ptr<char[]> read_buffer_;
  uint64_t read_at_ = 0;
  size_t read_length_ = 0;
  std::unique_ptr<char[]> write_buffer_;
  uint64_t written_at_ = 0;
  size_t pending_ = 0;
};

File *file(void *handle) { return static_cast<File *>(handle); }

void *open_file(void *, const char *name, const char *access) {
  const std::string path = real_path(name);
  const std::string mode = access ? access : "r";
  const bool plus = mode.find('+') != std::string::npos;
  int flags = O_CLOEXEC;
  bool append = false;
  switch (mode.empty() ? 'r' : mode[0]) {
    case 'w': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a':
      flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT;
      append = true;
      break;
    default: flags |= plus ? O_RDWR : O_RDONLY; break;
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    if (errno == 0) errno = EISDIR;
    return nullptr;
  }
  return new File(fd, path, append, static_cast<uint64_t>(st.st_size));
}

int stat_file(void *, const char *name, VSIStatBufL *buffer, int) { return ::stat64(real_path(name).c_str(), buffer); }

int unlink_file(void *, const char *name) { return ::unlink(real_path(name).c_str()); }

int rename_file(void *, const char *from, const char *to) {
  return ::rename(real_path(from).c_str(), real_path(to).c_str());
}

int make_folder(void *, const char *name, long mode) {
  return ::mkdir(real_path(name).c_str(), static_cast<mode_t>(mode));
}

int remove_folder(void *, const char *name) { return ::rmdir(real_path(name).c_str()); }

char **list_folder(void *, const char *name, int max_files) {
  DIR *dir = ::opendir(real_path(name).c_str());
  if (!dir) return nullptr;
  CPLStringList names;
  while (struct dirent *entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.AddString(entry->d_name);
    if (max_files > 0 && names.size() >= max_files) break;
  }
  ::closedir(dir);
  if (names.empty()) return static_cast<char **>(CPLCalloc(1, sizeof(char *)));
  return names.StealList();
}

void install() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Kept for the life of the process, as the handler is.
    static VSIFilesystemPluginCallbacksStruct *callbacks = VSIAllocFilesystemPluginCallbacksStruct();
    callbacks->open = open_file;
    callbacks->stat = stat_file;
    callbacks->unlink = unlink_file;
    callbacks->rename = rename_file;
    callbacks->mkdir = make_folder;
    callbacks->rmdir = remove_folder;
    callbacks->read_dir = list_folder;
    callbacks->tell = [](void *f) -> vsi_l_offset { return file(f)->tell(); };
    callbacks->seek = [](void *f, vsi_l_offset offset, int whence) { return file(f)->seek(offset, whence); };
    callbacks->read = [](void *f, void *buffer, size_t size, size_t count) {
      return file(f)->read(buffer, size, count);
    };
    callbacks->eof = [](void *f) { return file(f)->eof() ? 1 : 0; };
    callbacks->write = [](void *f, const void *buffer, size_t size, size_t count) {
      return file(f)->write(buffer, size, count);
    };
    callbacks->flush = [](void *f) { return file(f)->flush(); };
    callbacks->truncate = [](void *f, vsi_l_offset length) { return file(f)->truncate(length); };
    callbacks->close = [](void *f) {
      int rc = file(f)->close();
      delete file(f);
      return rc;
    };
    VSIInstallPluginHandler(kPrefix, callbacks);
  });
}

}  // namespace

std::string buffered_path(const std::string &path) {
  if (in_memory(path)) return path;  // GDAL's own files in memory
  install();
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  if (ec || absolute.empty() || absolute[0] != '/') return path;
  return kPrefix + absolute.substr(1);
}

std::string unbuffered_path(const std::string &name) {
  if (name.compare(0, kPrefixLength, kPrefix) != 0) return name;
  return "/" + name.substr(kPrefixLength);
}

bool write_failed(const std::string &path) {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  std::lock_guard<std::mutex> lock(g_failed_mutex);
  return failed_files().count(ec ? path : absolute) > 0;
}

}  // namespace gis::core
