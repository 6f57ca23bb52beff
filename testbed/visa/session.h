// Stand-in sessions: resource managers and instrument sessions, their
// attributes, and the buffers of basic and formatted I/O above a Transport.
#ifndef KAVREL_STANDIN_SESSION_H
#define KAVREL_STANDIN_SESSION_H

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "testbed/visa/format.h"
#include "testbed/visa/transport.h"

namespace kavrel::standin {

// Bytes received for formatted reads: grows without zero-filling, keeps its
// storage between calls, so a small reply costs no allocation.
class ReadBuffer {
 public:
  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }
  // Room for `count` more bytes at the end; commit what was stored there.
  char* extend(std::size_t count);
  void commit(std::size_t count) { size_ += count; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

struct InstalledHandler {
  ViEventType eventType;
  ViHndlr handler;
  ViAddr userHandle;
};

class Session {
 public:
  Session(ViSession id, ViSession rm, std::string resourceName, std::unique_ptr<Transport> transport);

  ViSession id() const { return id_; }
  ViSession resourceManager() const { return rm_; }  // 0 for a resource manager itself
  bool isResourceManager() const { return transport_ == nullptr; }

  ViStatus setAttribute(ViAttr attr, ViAttrState value);
  ViStatus getAttribute(ViAttr attr, void* out);

  // Basic I/O.
  ViStatus read(ViByte* buf, ViUInt32 count, ViUInt32& received);
  ViStatus write(const ViByte* buf, ViUInt32 count);
  ViStatus readStatusByte(ViUInt16& stb);
  ViStatus clear();
  ViStatus assertTrigger(ViUInt16 protocol);
  ViStatus controlRen(ViUInt16 mode);

  // Locks, nested per type; the device is asked only for the first of each.
  ViStatus lock(ViAccessMode type, ViUInt32 lockTimeoutMs, const char* requestedKey, ViChar* accessKey);
  ViStatus unlock();

  // Formatted I/O.
  ViStatus printFormatted(const char* fmt, ArgList& args);
  ViStatus scanFormatted(const char* fmt, ArgList& args);
  ViStatus queryFormatted(const char* writeFmt, const char* readFmt, ArgList& args);
  ViStatus bufWrite(const ViByte* buf, ViUInt32 count);
  ViStatus bufRead(ViByte* buf, ViUInt32 count, ViUInt32& received);
  ViStatus setBuf(ViUInt16 mask, ViUInt32 size);
  ViStatus flush(ViUInt16 mask);

  // Event handlers (delivered only through the control API).
  ViStatus installHandler(ViEventType eventType, ViHndlr handler, ViAddr userHandle);
  ViStatus uninstallHandler(ViEventType eventType, ViHndlr handler, ViAddr userHandle);
  std::vector<InstalledHandler> handlersFor(ViEventType eventType);

 private:
  class DeviceInput;
  friend class DeviceInput;

  ViUInt64 attribute(ViAttr attr) const;
  ViUInt32 timeout() const;  // VI_ATTR_TMO_VALUE
  ViStatus receive(ViByte* buf, std::size_t count, std::size_t& received);
  ViStatus fetchFormatted();
  ViStatus queueOutput(std::string_view bytes);
  ViStatus sendOutput(bool end);
  ViStatus commitFormatted(const FormattedText& text);
  ViStatus finishPrintf();
  ViStatus discardInput(bool readOnToEnd);
  ViStatus finishScanf();

  const ViSession id_;
  const ViSession rm_;
  const std::string resourceName_;
  const std::unique_ptr<Transport> transport_;

  std::mutex lock_;  // one call at a time; attributes and buffers below
  std::map<ViAttr, ViUInt64> attributes_;
  unsigned exclusiveLocks_ = 0;
  unsigned sharedLocks_ = 0;
  std::string sharedKey_;
  std::vector<InstalledHandler> handlers_;

  // Received past a termination character, not yet delivered; END after its last byte when pendingEnd_.
  std::string pending_;
  std::size_t pendingPos_ = 0;
  bool pendingEnd_ = false;

  // Formatted write buffer.
  std::string writeBuf_;
  std::size_t writeBufSize_ = 4096;

  // Formatted read buffer; midMessage_: the data so far came without END.
  ReadBuffer readBuf_;
  std::size_t readPos_ = 0;
  std::size_t readBufSize_ = 4096;
  bool midMessage_ = false;
};

// Session table.
ViStatus openResourceManager(ViSession& out);
ViStatus openInstrument(ViSession rm, const char* resourceName, ViUInt32 timeoutMs, ViSession& out);
ViStatus closeSession(ViSession vi);
std::shared_ptr<Session> findSession(ViSession vi);

}  // namespace kavrel::standin

#endif
