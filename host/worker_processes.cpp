// Worker processes: forked once each, fed item numbers through a pipe of their own, and
// answering with framed results on another. Their standard output and error are pipes read
// here between results.
#include "worker_processes.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace host {

namespace {

// Writes all of data to fd; false when the other end is gone.
bool write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly size bytes; false at the end of the pipe (or on an error).
bool read_all(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Appends what can be read from a non-blocking fd now; false once its writer is gone.
bool drain(int fd, std::string* into) {
  char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into->append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

struct Worker {
  pid_t pid = -1;
  int items = -1;   // written here: the item numbers
  int results = -1, out = -1, err = -1;  // read here
  std::string frames, out_text, err_text;  // read, not yet handed over
  long busy = -1;  // the item under way, -1 for none
};

// The worker's side: items in, results out, until the pipe of items ends or `stops` says.
[[noreturn]] void serve(int items, int results, const WorkerCallbacks& callbacks, const std::function<bool()>& stops) {
  for (;;) {
    uint64_t item = 0;
    if (!read_all(items, &item, sizeof item)) break;
    const std::string result = callbacks.work(static_cast<size_t>(item));
    std::fflush(stdout);
    std::fflush(stderr);
    const uint64_t head[2] = {item, result.size()};
    if (!write_all(results, head, sizeof head) || !write_all(results, result.data(), result.size())) break;
    if (stops && stops()) break;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(0);
}

// How a worker process ended, for a message.
std::string ending(int status) {
  if (WIFSIGNALED(status)) {
    const char* name = strsignal(WTERMSIG(status));
    return std::string("the process cutting it was ended by signal ") + std::to_string(WTERMSIG(status)) +
           (name ? std::string(" (") + name + ")" : "");
  }
  if (WIFEXITED(status)) return "the process cutting it exited with " + std::to_string(WEXITSTATUS(status));
  return "the process cutting it ended";
}

// Starts a worker; false when the system would not make the process or its pipes.
bool start(Worker* w, const std::vector<Worker>& others, const WorkerCallbacks& callbacks,
           const std::function<bool()>& stops) {
  // Made one after the other; on failure those made are closed again.
  int pipes[4][2] = {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}};
  for (auto& p : pipes)
    if (pipe(p) != 0) {
      for (auto& q : pipes)
        for (int fd : q)
          if (fd >= 0) close(fd);
      return false;
    }
  int(&items)[2] = pipes[0];
  int(&results)[2] = pipes[1];
  int(&out)[2] = pipes[2];
  int(&err)[2] = pipes[3];
  std::fflush(nullptr);  // nothing buffered here is written twice
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {items[0], items[1], results[0], results[1], out[0], out[1], err[0], err[1]}) close(fd);
    return false;
  }
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    signal(SIGPIPE, SIG_DFL);
    // Another worker's pipes held here would keep its pipe of items from ever ending.
    for (const Worker& o : others)
      for (int fd : {o.items, o.results, o.out, o.err})
        if (fd >= 0) close(fd);
    close(items[1]), close(results[0]), close(out[0]), close(err[0]);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[1]), close(err[1]);
    serve(items[0], results[1], callbacks, stops);
  }
  setpgid(pid, pid);  // as the child does: whichever runs first
  close(items[0]), close(results[1]), close(out[1]), close(err[1]);
  for (int fd : {results[0], out[0], err[0]}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  w->pid = pid;
  w->items = items[1];
  w->results = results[0];
  w->out = out[0];
  w->err = err[0];
  return true;
}

// Hands every complete result frame of w over; the output read so far goes with the first.
void hand_over(Worker* w, const WorkerCallbacks& callbacks) {
  constexpr size_t kHead = 2 * sizeof(uint64_t);
  while (w->frames.size() >= kHead) {
    uint64_t head[2];
    std::memcpy(head, w->frames.data(), kHead);
    if (w->frames.size() < kHead + head[1]) return;
    // The worker flushed its output before the result: all of it is in the pipes now.
    drain(w->out, &w->out_text);
    drain(w->err, &w->err_text);
    WorkerOutput output{w->frames.substr(kHead, head[1]), std::move(w->out_text), std::move(w->err_text)};
    w->frames.erase(0, kHead + head[1]);
    w->out_text.clear();
    w->err_text.clear();
    w->busy = -1;
    callbacks.done(static_cast<size_t>(head[0]), std::move(output));
  }
}

}  // namespace

size_t available_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<size_t>(CPU_COUNT(&set));
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<size_t>(online) : 1;
}

bool run_in_workers(size_t jobs, const std::vector<size_t>& items, const WorkerCallbacks& callbacks,
                    std::vector<size_t>* started, std::string* error) {
  started->clear();
  if (items.empty()) return true;
  // A worker ends after an item when it was signalled itself (its own signal, not one
  // passed on from here): it would cancel every item it took after.
  const std::function<bool()> stops = [&callbacks] { return callbacks.cancelled && callbacks.cancelled() != 0; };
  // A worker gone while an item is written to it must not end this process.
  struct sigaction ignore = {}, old_pipe = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &old_pipe);

  std::vector<Worker> workers;
  workers.reserve(std::min(jobs, items.size()));
  for (size_t k = 0; k < std::min(jobs, items.size()); ++k) {
    Worker w;
    if (!start(&w, workers, callbacks, stops)) break;
    workers.push_back(std::move(w));
  }
  if (workers.empty()) {
    sigaction(SIGPIPE, &old_pipe, nullptr);
    *error = std::string("cannot start a process to cut in: ") + std::strerror(errno);
    return false;
  }

  size_t next = 0;
  int passed_on = 0;  // the signal passed on to the workers
  const auto give = [&](Worker& w) {
    if (passed_on || next >= items.size() || stops()) return close_fd(&w.items);
    const uint64_t item = items[next];
    if (!write_all(w.items, &item, sizeof item)) return close_fd(&w.items);
    w.busy = static_cast<long>(items[next++]);
    started->push_back(static_cast<size_t>(w.busy));
  };
  for (Worker& w : workers) give(w);

  for (;;) {
    if (!passed_on && callbacks.cancelled) {
      if (const int signal_number = callbacks.cancelled()) {
        passed_on = signal_number;
        for (Worker& w : workers) {
          if (w.pid > 0) kill(w.pid, signal_number);
          if (w.busy < 0) close_fd(&w.items);
        }
      }
    }
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;
    for (Worker& w : workers)
      for (int fd : {w.results, w.out, w.err})
        if (fd >= 0) {
          fds.push_back({fd, POLLIN, 0});
          owners.push_back(&w);
        }
    if (fds.empty()) break;
    // A signal may come between the look above and the wait: look again every 200 ms.
    if (poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) break;
    for (size_t f = 0; f < fds.size(); ++f) {
      if (!fds[f].revents) continue;
      Worker& w = *owners[f];
      const int fd = fds[f].fd;
      if (fd == w.out || fd == w.err) {
        if (!drain(fd, fd == w.out ? &w.out_text : &w.err_text)) close_fd(fd == w.out ? &w.out : &w.err);
        continue;
      }
      if (fd != w.results) continue;
      const bool open = drain(w.results, &w.frames);
      const bool was_busy = w.busy >= 0;
      hand_over(&w, callbacks);
      if (was_busy && w.busy < 0) give(w);
      if (open) continue;
      // The worker is gone: what it printed last, then the item it left unfinished.
      close_fd(&w.results);
      if (w.out >= 0) drain(w.out, &w.out_text);
      if (w.err >= 0) drain(w.err, &w.err_text);
      close_fd(&w.out);
      close_fd(&w.err);
      close_fd(&w.items);
      std::fputs(w.out_text.c_str(), stdout);
      std::fputs(w.err_text.c_str(), stderr);
      int status = 0;
      while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
      }
      w.pid = -1;
      if (w.busy >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        // A worker leaves its loop only before reading an item: signalled after its last
        // one, it never took up the one given meanwhile.
        const auto given = std::find(started->begin(), started->end(), static_cast<size_t>(w.busy));
        if (given != started->end()) started->erase(given);
      } else if (w.busy >= 0) {
        callbacks.lost(static_cast<size_t>(w.busy), ending(status));
      }
      w.busy = -1;
    }
  }
  for (Worker& w : workers) {
    for (int* fd : {&w.items, &w.results, &w.out, &w.err}) close_fd(fd);
    int status = 0;
    if (w.pid > 0)
      while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
      }
  }
  sigaction(SIGPIPE, &old_pipe, nullptr);
  return true;
}

}  // namespace host
