#include "tools/kavrel/visa_link.h"

#include <dlfcn.h>
#include <link.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "driver/kavrel.h"

namespace kavrel::cli {

int verbosity = 0;

namespace {

struct VisaCalls {
  decltype(&::viOpenDefaultRM) openDefaultRM = nullptr;
  decltype(&::viOpen) open = nullptr;
  decltype(&::viClose) close = nullptr;
  decltype(&::viRead) read = nullptr;
  decltype(&::viWrite) write = nullptr;
  decltype(&::viSetAttribute) setAttribute = nullptr;
  decltype(&::viFindRsrc) findRsrc = nullptr;
  decltype(&::viFindNext) findNext = nullptr;
};

template <typename T>
bool resolve(void* handle, const char* name, T& out) {
  out = reinterpret_cast<T>(dlsym(handle, name));
  return out != nullptr;
}

// The loaded object that provides the VISA operations. The driver's own
// binding keeps its entry points private, so only the VISA library has them.
int findVisa(dl_phdr_info* info, std::size_t, void* data) {
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  void* handle = dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return 0;
  VisaCalls calls;
  if (resolve(handle, "viOpenDefaultRM", calls.openDefaultRM) && resolve(handle, "viOpen", calls.open) &&
      resolve(handle, "viClose", calls.close) && resolve(handle, "viRead", calls.read) &&
      resolve(handle, "viWrite", calls.write) && resolve(handle, "viSetAttribute", calls.setAttribute) &&
      resolve(handle, "viFindRsrc", calls.findRsrc) && resolve(handle, "viFindNext", calls.findNext)) {
    *static_cast<VisaCalls*>(data) = calls;
    return 1;  // the handle stays open for the life of the program
  }
  dlclose(handle);
  return 0;
}

const VisaCalls* visa() {
  static const VisaCalls* found = [] {
    // Any call through the driver loads its VISA library.
    ViChar text[256] = "";
    kavrel_error_message(VI_NULL, VI_ERROR_TMO, text);
    static VisaCalls calls;
    return dl_iterate_phdr(findVisa, &calls) ? &calls : nullptr;
  }();
  return found;
}

void echo(const char* direction, std::string_view text) {
  if (verbosity <= 0) return;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::fprintf(stderr, "%s %.*s\n", direction, static_cast<int>(text.size()), text.data());
}

// The stand-in's I/O trace, read through a pipe, reduced to the messages.
class TraceEcho {
 public:
  ~TraceEcho() {
    if (!reader_.joinable()) return;
    stop_ = true;
    reader_.join();
    ::close(pipe_[0]);
  }
  void start() {
    if (reader_.joinable() || ::pipe(pipe_) != 0) return;
    setenv("KAVREL_VISA_TRACE", ("/proc/self/fd/" + std::to_string(pipe_[1])).c_str(), 1);
    reader_ = std::thread([this] { run(); });
  }

 private:
  void run() {
    std::string pending;
    pollfd fd{pipe_[0], POLLIN, 0};
    while (true) {
      const int ready = ::poll(&fd, 1, 50);
      if (ready <= 0) {
        if (stop_) break;  // drained
        continue;
      }
      char buf[4096];
      ssize_t n = ::read(pipe_[0], buf, sizeof buf);
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
        show(std::string_view(pending).substr(0, end));
    }
  }
  // "... session 3 -> sync DataEnd ... "*IDN?"" or "... -> socket "*IDN?\n"" as "-> *IDN?".
  static void show(std::string_view line) {
    for (const char* direction : {" -> ", " <- "}) {
      auto at = line.find(direction);
      if (at == std::string_view::npos) continue;
      std::string_view rest = line.substr(at + 4);
      if (!rest.starts_with("socket ") && rest.find(" Data ") == std::string_view::npos &&
          rest.find(" DataEnd ") == std::string_view::npos)
        return;
      auto quote = rest.find('"');
      if (quote == std::string_view::npos) return;
      std::string_view data = rest.substr(quote + 1);
      if (data.ends_with('"')) data.remove_suffix(1);
      if (data.ends_with("\\n")) data.remove_suffix(2);
      std::fprintf(stderr, "%.2s %.*s\n", direction + 1, static_cast<int>(data.size()), data.data());
      return;
    }
  }

  int pipe_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

}  // namespace

void echoDriverExchanges() {
  static TraceEcho echo;
  if (verbosity > 0 && !std::getenv("KAVREL_VISA_TRACE")) echo.start();
}

bool visaReady(std::string& why) {
  if (visa()) return true;
  ViChar reason[4096] = "";
  kavrel_visa_library(VI_NULL, sizeof reason, reason);
  why = std::string("no VISA library can be used (") + reason + ")";
  return false;
}

ViStatus setTimeout(ViSession vi, unsigned milliseconds) {
  if (!visa()) return VI_ERROR_LIBRARY_NFOUND;
  return visa()->setAttribute(vi, VI_ATTR_TMO_VALUE, milliseconds);
}

ViStatus findResources(const std::string& expression, std::vector<std::string>& found) {
  found.clear();
  if (!visa()) return VI_ERROR_LIBRARY_NFOUND;
  ViSession rm = VI_NULL;
  ViStatus status = visa()->openDefaultRM(&rm);
  if (status < VI_SUCCESS) return status;
  ViFindList list = VI_NULL;
  ViUInt32 count = 0;
  ViChar name[256] = "";
  status = visa()->findRsrc(rm, expression.c_str(), &list, &count, name);
  if (status == VI_ERROR_RSRC_NFOUND) status = VI_SUCCESS, count = 0;
  for (ViUInt32 i = 0; status >= VI_SUCCESS && i < count; ++i) {
    if (i > 0 && visa()->findNext(list, name) < VI_SUCCESS) break;
    found.emplace_back(name);
  }
  if (list != VI_NULL) visa()->close(list);
  visa()->close(rm);
  return status;
}

ViStatus Link::open(const std::string& resource, unsigned timeoutMs) {
  close();
  if (!visa()) return VI_ERROR_LIBRARY_NFOUND;
  ViStatus status = visa()->openDefaultRM(&rm_);
  if (status < VI_SUCCESS) return status;
  status = visa()->open(rm_, resource.c_str(), VI_NULL, VI_NULL, &vi_);
  if (status >= VI_SUCCESS) status = visa()->setAttribute(vi_, VI_ATTR_TMO_VALUE, timeoutMs);
  // A raw socket or serial line carries no end of message: messages end
  // with a line feed both ways.
  std::string upper;
  for (char c : resource) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  lineEnded_ = upper.starts_with("ASRL") || upper.ends_with("::SOCKET");
  if (status >= VI_SUCCESS && lineEnded_) visa()->setAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  if (status < VI_SUCCESS) close();
  return status;
}

void Link::close() {
  if (vi_ != VI_NULL) visa()->close(vi_);
  if (rm_ != VI_NULL) visa()->close(rm_);
  vi_ = rm_ = VI_NULL;
}

ViStatus Link::write(std::string_view message) {
  echo("->", message);
  std::string line(message);
  if (lineEnded_ && (line.empty() || line.back() != '\n')) line += '\n';
  ViUInt32 written = 0;
  return visa()->write(vi_, reinterpret_cast<ViConstBuf>(line.data()), static_cast<ViUInt32>(line.size()), &written);
}

ViStatus Link::read(std::string& reply) {
  reply.clear();
  ViStatus status;
  do {
    ViByte chunk[4096];
    ViUInt32 count = 0;
    status = visa()->read(vi_, chunk, sizeof chunk, &count);
    if (status < VI_SUCCESS) return status;
    reply.append(reinterpret_cast<const char*>(chunk), count);
  } while (status == VI_SUCCESS_MAX_CNT);
  echo("<-", reply);
  while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
  return status;
}

ViStatus Link::query(std::string_view message, std::string& reply) {
  ViStatus status = write(message);
  return status < VI_SUCCESS ? status : read(reply);
}

}  // namespace kavrel::cli
