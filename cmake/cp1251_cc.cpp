// Compiler launcher that gives clang what g++ does with -fexec-charset=CP1251, which clang
// lacks (it knows no narrow execution character set but UTF-8): the narrow literals of the
// system's code are Windows-1251 in the object.
//
//   areaclip_cp1251_cc COMPILER ARGS... -o OBJECT -c SOURCE     (CMake's CXX_COMPILER_LAUNCHER)
//
// 1. COMPILER -E -frewrite-includes writes OBJECT.cp1251.cpp: SOURCE with every #include
//    written in, macros untouched, line markers kept; the dependency file is written here.
// 2. In that text every ordinary narrow string or character literal (no u8, u, U or L prefix;
//    raw ones too) goes from UTF-8 to Windows-1251; comments and all else stay as they were.
//    A character Windows-1251 lacks is an error, as it is for g++.
// 3. COMPILER compiles OBJECT.cp1251.cpp into OBJECT with the same options but the
//    dependency ones. Diagnostics and __FILE__ name the original files through the markers.
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

int run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    std::perror(argv[0]);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return 1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

bool is_ident(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Transcoder {
 public:
  Transcoder() : cd_(iconv_open("CP1251", "UTF-8")) {}
  ~Transcoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // The text with its narrow literals in Windows-1251; false (and *error) when one of their
  // characters has no Windows-1251 form.
  bool convert(const std::string& in, std::string* out, std::string* error) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      *error = "no UTF-8 to CP1251 conversion";
      return false;
    }
    in_ = &in;
    out_ = out;
    out->reserve(in.size());
    line_marker(0);
    size_t i = 0;
    while (i < in.size()) {
      const char c = in[i];
      if (c == '\n') {
        out->push_back(c);
        ++i;
        ++line_;
        line_marker(i);
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
        i = copy_until_line_end(i);
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
        size_t end = in.find("*/", i + 2);
        end = end == std::string::npos ? in.size() : end + 2;
        count_lines(i, end);
        out->append(in, i, end - i);
        i = end;
      } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                 (c == '.' && i + 1 < in.size() && std::isdigit(static_cast<unsigned char>(in[i + 1])))) {
        i = copy_number(i);
      } else if (is_ident(c)) {
        size_t end = i;
        while (end < in.size() && is_ident(in[end])) ++end;
        const std::string word = in.substr(i, end - i);
        out->append(word);
        i = end;
        if (i < in.size() && (in[i] == '"' || in[i] == '\'')) {
          const bool raw = !word.empty() && word.back() == 'R';
          const std::string prefix = raw ? word.substr(0, word.size() - 1) : word;
          const bool encoding_prefix = prefix == "u8" || prefix == "u" || prefix == "U" || prefix == "L";
          if (!prefix.empty() && !encoding_prefix) continue;  // an identifier before a literal
          if (raw && in[i] == '"') {
            if (!raw_literal(i, !encoding_prefix, &i, error)) return false;
          } else if (!raw) {
            if (!quoted_literal(i, !encoding_prefix, &i, error)) return false;
          }
        }
      } else if (c == '"' || c == '\'') {
        if (!quoted_literal(i, true, &i, error)) return false;
      } else {
        out->push_back(c);
        ++i;
      }
    }
    return true;
  }

 private:
  // At the start of a line: a marker `# N "file" ...` sets where the next line comes from.
  void line_marker(size_t i) {
    const std::string& in = *in_;
    if (i + 2 >= in.size() || in[i] != '#' || in[i + 1] != ' ' || !std::isdigit(static_cast<unsigned char>(in[i + 2])))
      return;
    char* end = nullptr;
    const long n = std::strtol(in.c_str() + i + 2, &end, 10);
    const size_t quote = static_cast<size_t>(end - in.c_str());
    if (quote + 1 < in.size() && in[quote] == ' ' && in[quote + 1] == '"') {
      const size_t close = in.find('"', quote + 2);
      if (close != std::string::npos) file_ = in.substr(quote + 2, close - quote - 2);
    }
    line_ = n - 1;  // the marker's own line ends with a newline counted on the way
  }

  void count_lines(size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
      if ((*in_)[k] == '\n') ++line_;
  }

  size_t copy_until_line_end(size_t i) {
    size_t end = in_->find('\n', i);
    if (end == std::string::npos) end = in_->size();
    out_->append(*in_, i, end - i);
    return end;
  }

  // A preprocessing number, digit separators ('), exponent signs and suffixes included.
  size_t copy_number(size_t i) {
    const std::string& in = *in_;
    size_t end = i + 1;
    while (end < in.size()) {
      const char c = in[end];
      if (is_ident(c) || c == '.') {
        ++end;
      } else if (c == '\'' && end + 1 < in.size() && is_ident(in[end + 1])) {
        end += 2;
      } else if ((c == '+' || c == '-') && std::strchr("eEpP", in[end - 1])) {
        ++end;
      } else {
        break;
      }
    }
    out_->append(in, i, end - i);
    return end;
  }

  // "..." or '...' at i (escapes kept; an unterminated one ends at the line's end).
  bool quoted_literal(size_t i, bool narrow, size_t* next, std::string* error) {
    const std::string& in = *in_;
    const char quote = in[i];
    size_t end = i + 1;
    while (end < in.size() && in[end] != quote && in[end] != '\n')
      end += in[end] == '\\' && end + 1 < in.size() ? 2 : 1;
    if (end < in.size() && in[end] == quote) ++end;
    if (!append(i, end, narrow, error)) return false;
    *next = end;
    return true;
  }

  // R"delimiter( ... )delimiter" at i, the quote after the R.
  bool raw_literal(size_t i, bool narrow, size_t* next, std::string* error) {
    const std::string& in = *in_;
    const size_t open = in.find('(', i);
    if (open == std::string::npos) return quoted_literal(i, narrow, next, error);
    const std::string close = ")" + in.substr(i + 1, open - i - 1) + "\"";
    size_t end = in.find(close, open);
    end = end == std::string::npos ? in.size() : end + close.size();
    if (!append(i, end, narrow, error)) return false;
    count_lines(i, end);
    *next = end;
    return true;
  }

  bool append(size_t from, size_t to, bool narrow, std::string* error) {
    const std::string& in = *in_;
    size_t k = from;
    while (k < to) {
      if (!narrow || static_cast<unsigned char>(in[k]) < 0x80) {
        out_->push_back(in[k++]);
        continue;
      }
      size_t run_end = k;
      while (run_end < to && static_cast<unsigned char>(in[run_end]) >= 0x80) ++run_end;
      std::string converted((run_end - k) * 2, '\0');
      char* src = const_cast<char*>(in.data() + k);
      size_t src_left = run_end - k;
      char* dst = converted.data();
      size_t dst_left = converted.size();
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) {
        std::ostringstream s;
        s << file_ << ":" << line_ << ": a narrow literal holds a character that Windows-1251 lacks: "
          << in.substr(from, to - from);
        *error = s.str();
        return false;
      }
      converted.resize(converted.size() - dst_left);
      out_->append(converted);
      k = run_end;
    }
    return true;
  }

  iconv_t cd_;
  const std::string* in_ = nullptr;
  std::string* out_ = nullptr;
  std::string file_ = "?";
  long line_ = 1;
};

bool takes_value(const std::string& option) {
  return option == "-MT" || option == "-MF" || option == "-MQ" || option == "-o";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string object, source;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-o") object = args[i + 1];
    if (args[i] == "-c") source = args[i + 1];
  }
  if (args.empty() || object.empty() || source.empty()) {
    // Not a compilation of one source (a link, a query of the compiler): run it as it is.
    return args.empty() ? 2 : run(args);
  }
  const std::string rewritten = object + ".cp1251.cpp";

  std::vector<std::string> preprocess;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-c") {
      preprocess.insert(preprocess.end(), {"-E", "-frewrite-includes", args[++i]});
    } else if (args[i] == "-o") {
      preprocess.insert(preprocess.end(), {"-o", rewritten});
      ++i;
    } else {
      preprocess.push_back(args[i]);
    }
  }
  if (int rc = run(preprocess)) return rc;

  std::string text, converted, error;
  {
    std::ifstream in(rewritten, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Transcoder transcoder;
  if (!transcoder.convert(text, &converted, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::remove(rewritten.c_str());
    return 1;
  }
  {
    std::ofstream out(rewritten, std::ios::binary | std::ios::trunc);
    out << converted;
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", rewritten.c_str());
      return 1;
    }
  }

  std::vector<std::string> compile;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-MD" || a == "-MMD") continue;
    if (takes_value(a) && a != "-o") {
      ++i;
      continue;
    }
    if (a == "-c") {
      compile.insert(compile.end(), {"-Wno-invalid-source-encoding", "-c", rewritten});
      ++i;
      continue;
    }
    compile.push_back(a);
  }
  const int rc = run(compile);
  std::remove(rewritten.c_str());
  return rc;
}
