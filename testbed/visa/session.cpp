// Stand-in sessions: attributes, basic I/O with END and termination
// character, and the formatted-I/O buffers, all above a Transport.
#include "testbed/visa/session.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

constexpr std::size_t kMaxFetch = 1U << 20;  // largest single transfer into the formatted read buffer
constexpr ViVersion kSpecVersion = 0x00700200;
constexpr ViVersion kImplVersion = 0x00100000;
constexpr ViUInt16 kManufacturerId = 0x0FFF;
constexpr std::string_view kManufacturerName = "Kavrel VISA stand-in";

enum class Check { Any, Boolean, WriteMode, ReadMode, Protocol, NonZero };

struct AttributeInfo {
  ViAttr attr;
  unsigned char bytes;  // what viGetAttribute writes
  bool writable;
  bool onManager;  // resource-manager sessions have it too
  Check check;
  ViUInt64 initial;
};

constexpr std::array kAttributes = std::to_array<AttributeInfo>({
    {VI_ATTR_TMO_VALUE, 4, true, false, Check::Any, 2000},
    {VI_ATTR_USER_DATA_64, 8, true, true, Check::Any, 0},
    {VI_ATTR_USER_DATA_32, 4, true, true, Check::Any, 0},
    {VI_ATTR_RM_SESSION, 4, false, false, Check::Any, 0},
    {VI_ATTR_WR_BUF_OPER_MODE, 2, true, false, Check::WriteMode, VI_FLUSH_WHEN_FULL},
    {VI_ATTR_RD_BUF_OPER_MODE, 2, true, false, Check::ReadMode, VI_FLUSH_DISABLE},
    {VI_ATTR_WR_BUF_SIZE, 4, false, false, Check::Any, 0},
    {VI_ATTR_RD_BUF_SIZE, 4, false, false, Check::Any, 0},
    {VI_ATTR_TERMCHAR, 1, true, false, Check::Any, 0x0A},
    {VI_ATTR_TERMCHAR_EN, 2, true, false, Check::Boolean, VI_FALSE},
    {VI_ATTR_SEND_END_EN, 2, true, false, Check::Boolean, VI_TRUE},
    {VI_ATTR_SUPPRESS_END_EN, 2, true, false, Check::Boolean, VI_FALSE},
    {VI_ATTR_IO_PROT, 2, true, false, Check::Protocol, 1},
    {VI_ATTR_INTF_TYPE, 2, false, false, Check::Any, 0},
    {VI_ATTR_INTF_NUM, 2, false, false, Check::Any, 0},
    {VI_ATTR_RSRC_SPEC_VERSION, 4, false, true, Check::Any, kSpecVersion},
    {VI_ATTR_RSRC_IMPL_VERSION, 4, false, true, Check::Any, kImplVersion},
    {VI_ATTR_RSRC_LOCK_STATE, 4, false, false, Check::Any, VI_NO_LOCK},
    {VI_ATTR_RSRC_MANF_ID, 2, false, true, Check::Any, kManufacturerId},
    {VI_ATTR_MAX_QUEUE_LENGTH, 4, true, true, Check::NonZero, 50},
});

const AttributeInfo* findAttribute(ViAttr attr) {
  const auto* found = std::find_if(kAttributes.begin(), kAttributes.end(),
                                   [attr](const AttributeInfo& info) { return info.attr == attr; });
  return found == kAttributes.end() ? nullptr : found;
}

bool valueFits(const AttributeInfo& info, ViAttrState value) {
  if (info.bytes < 8 && value >> (8 * info.bytes) != 0) return false;
  switch (info.check) {
    case Check::Boolean: return value == VI_FALSE || value == VI_TRUE;
    case Check::WriteMode: return value == VI_FLUSH_ON_ACCESS || value == VI_FLUSH_WHEN_FULL;
    case Check::ReadMode: return value == VI_FLUSH_ON_ACCESS || value == VI_FLUSH_DISABLE;
    case Check::Protocol: return value >= 1 && value <= 5;
    case Check::NonZero: return value != 0;
    case Check::Any: return true;
  }
  return false;
}

// Both user-data attributes name one slot.
ViAttr storageOf(ViAttr attr) { return attr == VI_ATTR_USER_DATA_32 ? VI_ATTR_USER_DATA_64 : attr; }

void writeBytes(void* out, ViUInt64 value, unsigned bytes) {
  switch (bytes) {
    case 1: { const auto v = static_cast<ViUInt8>(value); std::memcpy(out, &v, 1); return; }
    case 2: { const auto v = static_cast<ViUInt16>(value); std::memcpy(out, &v, 2); return; }
    case 4: { const auto v = static_cast<ViUInt32>(value); std::memcpy(out, &v, 4); return; }
    default: std::memcpy(out, &value, 8); return;
  }
}

}  // namespace

void writeString(void* out, std::string_view text) {
  const std::size_t length = std::min<std::size_t>(text.size(), 255);  // VISA strings are at most 256 bytes
  std::memcpy(out, text.data(), length);
  static_cast<char*>(out)[length] = '\0';
}

// ---- formatted reads from the device -------------------------------------------
class Session::DeviceInput : public FormatInput {
 public:
  explicit DeviceInput(Session& session) : session_(session) {}

  // Data left over from an earlier call is used first; once it is used up
  // the scan reads from the device. Data read during this call ends at END.
  ViStatus peek(int& byte) override {
    Session& s = session_;
    if (s.readPos_ == s.readBuf_.size() && (!fetched_ || s.midMessage_)) {
      fetched_ = true;
      if (ViStatus status = s.fetchFormatted(); status < VI_SUCCESS) return status;
    }
    byte = s.readPos_ < s.readBuf_.size() ? static_cast<unsigned char>(s.readBuf_.data()[s.readPos_]) : kEnd;
    return VI_SUCCESS;
  }

  void advance() override {
    if (session_.readPos_ < session_.readBuf_.size()) ++session_.readPos_;
  }

  std::string_view ready() override {
    const Session& s = session_;
    return {s.readBuf_.data() + s.readPos_, s.readBuf_.size() - s.readPos_};
  }

  void skip(std::size_t count) override {
    session_.readPos_ += std::min(count, session_.readBuf_.size() - session_.readPos_);
  }

 private:
  Session& session_;
  bool fetched_ = false;  // this call has read from the device
};

Session::Session(ViSession id, ViSession rm, std::string resourceName, std::unique_ptr<Transport> transport)
    : id_(id), rm_(rm), resourceName_(std::move(resourceName)), transport_(std::move(transport)) {
  for (const AttributeInfo& info : kAttributes) {
    if (info.onManager || !isResourceManager()) attributes_[storageOf(info.attr)] = info.initial;
  }
}

ViUInt64 Session::attribute(ViAttr attr) const {
  switch (attr) {
    case VI_ATTR_RM_SESSION: return rm_;
    case VI_ATTR_WR_BUF_SIZE: return writeBufSize_;
    case VI_ATTR_RD_BUF_SIZE: return readBufSize_;
    case VI_ATTR_INTF_TYPE: return interfaceTypeOf(resourceName_);
    default: {
      const auto found = attributes_.find(storageOf(attr));
      return found == attributes_.end() ? 0 : found->second;
    }
  }
}

ViUInt32 Session::timeout() const { return static_cast<ViUInt32>(attribute(VI_ATTR_TMO_VALUE)); }

ViStatus Session::setAttribute(ViAttr attr, ViAttrState value) {
  std::lock_guard guard(lock_);
  if (transport_ != nullptr) {
    if (std::optional<ViStatus> status = transport_->setProtocolAttribute(attr, value, timeout())) return *status;
  }
  const AttributeInfo* info = findAttribute(attr);
  if (info == nullptr || (isResourceManager() && !info->onManager)) return VI_ERROR_NSUP_ATTR;
  if (!info->writable) return VI_ERROR_ATTR_READONLY;
  if (!valueFits(*info, value)) return VI_ERROR_NSUP_ATTR_STATE;
  attributes_[storageOf(attr)] = value;
  return VI_SUCCESS;
}

ViStatus Session::getAttribute(ViAttr attr, void* out) {
  std::lock_guard guard(lock_);
  if (out == nullptr) return VI_ERROR_USER_BUF;
  switch (attr) {
    case VI_ATTR_RSRC_MANF_NAME: writeString(out, kManufacturerName); return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME: writeString(out, isResourceManager() ? "" : resourceName_); return VI_SUCCESS;
    case VI_ATTR_RSRC_CLASS:
      writeString(out, isResourceManager()                                     ? ""
                       : classifyResource(resourceName_) == ResourceKind::Socket ? "SOCKET"
                                                                                 : "INSTR");
      return VI_SUCCESS;
    case VI_ATTR_RSRC_LOCK_STATE:
      if (isResourceManager()) break;
      writeBytes(out, exclusiveLocks_ > 0 ? VI_EXCLUSIVE_LOCK : sharedLocks_ > 0 ? VI_SHARED_LOCK : VI_NO_LOCK, 4);
      return VI_SUCCESS;
    default: break;
  }
  if (transport_ != nullptr) {
    if (const std::optional<Transport::AttributeValue> value = transport_->protocolAttribute(attr)) {
      writeBytes(out, value->value, value->bytes);
      return VI_SUCCESS;
    }
  }
  const AttributeInfo* info = findAttribute(attr);
  if (info == nullptr || (isResourceManager() && !info->onManager)) return VI_ERROR_NSUP_ATTR;
  writeBytes(out, attribute(attr), info->bytes);
  return VI_SUCCESS;
}

// ---- basic I/O ------------------------------------------------------------
char* ReadBuffer::extend(std::size_t count) {
  if (capacity_ - size_ < count) {
    const std::size_t capacity = std::max(size_ + count, 2 * capacity_);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(grown.get(), bytes_.get(), size_);
    bytes_ = std::move(grown);
    capacity_ = capacity;
  }
  return bytes_.get() + size_;
}

// Deliver received bytes up to END, the termination character, or `count`.
// The transport writes straight into `buf`; only bytes that came after a
// termination character wait in pending_ for the next read.
ViStatus Session::receive(ViByte* buf, std::size_t count, std::size_t& received) {
  received = 0;
  const bool termEnabled = attribute(VI_ATTR_TERMCHAR_EN) != VI_FALSE;
  const auto termChar = static_cast<ViByte>(attribute(VI_ATTR_TERMCHAR));
  const bool endEnds = attribute(VI_ATTR_SUPPRESS_END_EN) == VI_FALSE;
  while (received < count) {
    std::size_t got = 0;
    bool end = false;
    const bool fromPending = pendingPos_ < pending_.size();
    if (fromPending) {
      got = std::min(count - received, pending_.size() - pendingPos_);
      std::memcpy(buf + received, pending_.data() + pendingPos_, got);
      pendingPos_ += got;
      end = pendingEnd_ && pendingPos_ == pending_.size();
    } else {
      const ViStatus status = transport_->read(buf + received, count - received, timeout(), got, end);
      if (status < VI_SUCCESS) return status;
      if (got == 0) {
        if (!end) return VI_ERROR_TMO;  // a transport that gave nothing has timed out
        if (endEnds) return VI_SUCCESS;  // an empty message
        continue;
      }
    }
    const ViByte* from = buf + received;
    const auto* term = termEnabled ? static_cast<const ViByte*>(std::memchr(from, termChar, got)) : nullptr;
    if (term != nullptr && term + 1 < from + got) {
      // What follows the termination character waits for the next read.
      const std::size_t kept = got - static_cast<std::size_t>(term + 1 - from);
      if (fromPending) {
        pendingPos_ -= kept;
      } else {
        pending_.assign(reinterpret_cast<const char*>(term + 1), kept);
        pendingPos_ = 0;
        pendingEnd_ = end;
      }
      received += got - kept;
      return VI_SUCCESS_TERM_CHAR;
    }
    received += got;
    if (end && endEnds) return VI_SUCCESS;
    if (term != nullptr) return VI_SUCCESS_TERM_CHAR;
  }
  return VI_SUCCESS_MAX_CNT;
}

ViStatus Session::read(ViByte* buf, ViUInt32 count, ViUInt32& received) {
  std::lock_guard guard(lock_);
  received = 0;
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  std::size_t got = 0;
  const ViStatus status = receive(buf, count, got);
  received = static_cast<ViUInt32>(got);
  return status;
}

ViStatus Session::write(const ViByte* buf, ViUInt32 count) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  return transport_->write(std::string_view(reinterpret_cast<const char*>(buf), count),
                           attribute(VI_ATTR_SEND_END_EN) != VI_FALSE, timeout());
}

ViStatus Session::readStatusByte(ViUInt16& stb) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  return transport_->readStatusByte(timeout(), stb);
}

ViStatus Session::clear() {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  writeBuf_.clear();
  readBuf_.clear();
  readPos_ = 0;
  midMessage_ = false;
  pending_.clear();
  pendingPos_ = 0;
  return transport_->clear(timeout());
}

ViStatus Session::assertTrigger(ViUInt16 protocol) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (protocol != kTrigProtDefault) return kErrorInvProt;
  return transport_->trigger(timeout());
}

ViStatus Session::controlRen(ViUInt16 mode) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (mode > kLastRenMode) return VI_ERROR_INV_MODE;
  return transport_->remoteLocal(mode, timeout());
}

ViStatus Session::lock(ViAccessMode type, ViUInt32 lockTimeoutMs, const char* requestedKey, ViChar* accessKey) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (type == VI_EXCLUSIVE_LOCK) {
    if (exclusiveLocks_ == 0) {
      if (ViStatus status = transport_->lock({}, lockTimeoutMs, timeout()); status < VI_SUCCESS) return status;
    }
    return ++exclusiveLocks_ > 1 ? kSuccessNestedExclusive : VI_SUCCESS;
  }
  if (type != VI_SHARED_LOCK) return kErrorInvLockType;
  if (accessKey == nullptr) return VI_ERROR_USER_BUF;
  // Without a key of its own the session gets one made from its number.
  std::string key = requestedKey != nullptr && *requestedKey != '\0' ? std::string(requestedKey)
                    : sharedLocks_ > 0                                  ? sharedKey_
                                                                        : "kavrel-" + std::to_string(id_);
  if (key.size() > 255 || (sharedLocks_ > 0 && key != sharedKey_)) return kErrorInvAccessKey;
  if (sharedLocks_ == 0) {
    if (ViStatus status = transport_->lock(key, lockTimeoutMs, timeout()); status < VI_SUCCESS) return status;
    sharedKey_ = key;
  }
  std::memcpy(accessKey, key.c_str(), key.size() + 1);
  return ++sharedLocks_ > 1 ? kSuccessNestedShared : VI_SUCCESS;
}

ViStatus Session::unlock() {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (exclusiveLocks_ == 0 && sharedLocks_ == 0) return kErrorSesnNlocked;
  unsigned& held = exclusiveLocks_ > 0 ? exclusiveLocks_ : sharedLocks_;
  if (held == 1) {
    if (ViStatus status = transport_->unlock(timeout()); status < VI_SUCCESS) return status;
  }
  --held;
  return exclusiveLocks_ > 0 ? kSuccessNestedExclusive : sharedLocks_ > 0 ? kSuccessNestedShared : VI_SUCCESS;
}

// ---- formatted I/O ------------------------------------------------------------
ViStatus Session::fetchFormatted() {
  if (readPos_ == readBuf_.size()) {
    readBuf_.clear();
    readPos_ = 0;
  }
  const std::size_t want = std::min(readBufSize_, kMaxFetch);
  std::size_t got = 0;
  const ViStatus status = receive(reinterpret_cast<ViByte*>(readBuf_.extend(want)), want, got);
  if (status < VI_SUCCESS) {  // a failed read leaves the buffer empty
    readBuf_.clear();
    readPos_ = 0;
    midMessage_ = false;
    return status;
  }
  readBuf_.commit(got);
  midMessage_ = status == VI_SUCCESS_MAX_CNT;
  return VI_SUCCESS;
}

// Drop the formatted read buffer; with readOnToEnd, also the rest of a message read only in part.
ViStatus Session::discardInput(bool readOnToEnd) {
  ViStatus status = VI_SUCCESS;
  readBuf_.clear();
  readPos_ = 0;
  while (readOnToEnd && midMessage_ && status >= VI_SUCCESS) {
    status = fetchFormatted();
    readBuf_.clear();
    readPos_ = 0;
  }
  midMessage_ = false;
  return status < VI_SUCCESS ? status : VI_SUCCESS;
}

ViStatus Session::sendOutput(bool end) {
  const bool sendEnd = end && attribute(VI_ATTR_SEND_END_EN) != VI_FALSE;
  const ViStatus status = transport_->write(writeBuf_, sendEnd, timeout());
  writeBuf_.clear();
  return status;
}

// Buffer bytes for the device; a full buffer goes out, without END, when more must follow.
ViStatus Session::queueOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    if (writeBuf_.size() >= writeBufSize_) {
      if (ViStatus status = sendOutput(false); status < VI_SUCCESS) return status;
    }
    const std::size_t room = writeBufSize_ - writeBuf_.size();
    writeBuf_.append(bytes.substr(0, room));
    bytes.remove_prefix(std::min(room, bytes.size()));
  }
  return VI_SUCCESS;
}

ViStatus Session::commitFormatted(const FormattedText& text) {
  std::size_t from = 0;
  for (const std::size_t end : text.endAfter) {
    if (ViStatus status = queueOutput(std::string_view(text.bytes).substr(from, end - from)); status < VI_SUCCESS) {
      return status;
    }
    if (ViStatus status = sendOutput(true); status < VI_SUCCESS) return status;
    from = end;
  }
  return queueOutput(std::string_view(text.bytes).substr(from));
}

ViStatus Session::finishPrintf() {
  if (attribute(VI_ATTR_WR_BUF_OPER_MODE) != VI_FLUSH_ON_ACCESS || writeBuf_.empty()) return VI_SUCCESS;
  return sendOutput(true);
}

ViStatus Session::finishScanf() {
  if (attribute(VI_ATTR_RD_BUF_OPER_MODE) == VI_FLUSH_ON_ACCESS) discardInput(true);
  return VI_SUCCESS;
}

ViStatus Session::printFormatted(const char* fmt, ArgList& args) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  FormattedText text;
  if (ViStatus status = formatWrite(fmt, args, text); status < VI_SUCCESS) return status;
  if (ViStatus status = commitFormatted(text); status < VI_SUCCESS) return status;
  return finishPrintf();
}

ViStatus Session::scanFormatted(const char* fmt, ArgList& args) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  DeviceInput input(*this);
  const ViStatus status = formatRead(fmt, args, input);
  finishScanf();
  return status;
}

ViStatus Session::queryFormatted(const char* writeFmt, const char* readFmt, ArgList& args) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  FormattedText text;
  if (ViStatus status = formatWrite(writeFmt, args, text); status < VI_SUCCESS) return status;
  if (readFmt == nullptr) return VI_ERROR_USER_BUF;
  discardInput(true);
  if (ViStatus status = commitFormatted(text); status < VI_SUCCESS) return status;
  if (!writeBuf_.empty()) {
    if (ViStatus status = sendOutput(true); status < VI_SUCCESS) return status;
  }
  DeviceInput input(*this);
  const ViStatus status = formatRead(readFmt, args, input);
  finishScanf();
  return status;
}

ViStatus Session::bufWrite(const ViByte* buf, ViUInt32 count) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  if (ViStatus status = queueOutput(std::string_view(reinterpret_cast<const char*>(buf), count)); status < VI_SUCCESS) {
    return status;
  }
  return finishPrintf();
}

ViStatus Session::bufRead(ViByte* buf, ViUInt32 count, ViUInt32& received) {
  std::lock_guard guard(lock_);
  received = 0;
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (buf == nullptr && count > 0) return VI_ERROR_USER_BUF;
  if (readPos_ == readBuf_.size()) {
    if (ViStatus status = fetchFormatted(); status < VI_SUCCESS) return status;
  }
  const std::size_t taken = std::min<std::size_t>(count, readBuf_.size() - readPos_);
  std::memcpy(buf, readBuf_.data() + readPos_, taken);
  readPos_ += taken;
  received = static_cast<ViUInt32>(taken);
  const bool messageDone = readPos_ == readBuf_.size() && !midMessage_;
  finishScanf();
  return messageDone ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
}

ViStatus Session::setBuf(ViUInt16 mask, ViUInt32 size) {
  std::lock_guard guard(lock_);
  constexpr ViUInt16 kKnown = VI_READ_BUF | VI_WRITE_BUF | VI_IO_IN_BUF | VI_IO_OUT_BUF;
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  if (mask == 0 || (mask & ~kKnown) != 0) return VI_ERROR_INV_MASK;
  if (size == 0) return VI_ERROR_INV_SIZE;
  if ((mask & VI_WRITE_BUF) != 0) {
    if (!writeBuf_.empty()) {
      if (ViStatus status = sendOutput(true); status < VI_SUCCESS) return status;
    }
    writeBufSize_ = size;
  }
  if ((mask & VI_READ_BUF) != 0) {
    discardInput(true);
    readBufSize_ = size;
  }
  // The low-level buffers are not modelled.
  return (mask & (VI_IO_IN_BUF | VI_IO_OUT_BUF)) != 0 ? VI_WARN_NSUP_BUF : VI_SUCCESS;
}

ViStatus Session::flush(ViUInt16 mask) {
  std::lock_guard guard(lock_);
  if (isResourceManager()) return VI_ERROR_NSUP_OPER;
  auto both = [mask](ViUInt16 a, ViUInt16 b) { return (mask & a) != 0 && (mask & b) != 0; };
  if (mask == 0 || (mask & ~0xFF) != 0 || both(VI_READ_BUF, VI_READ_BUF_DISCARD) ||
      both(VI_WRITE_BUF, VI_WRITE_BUF_DISCARD) || both(VI_IO_IN_BUF, VI_IO_IN_BUF_DISCARD) ||
      both(VI_IO_OUT_BUF, VI_IO_OUT_BUF_DISCARD)) {
    return VI_ERROR_INV_MASK;
  }
  ViStatus status = VI_SUCCESS;
  if ((mask & VI_WRITE_BUF) != 0 && !writeBuf_.empty()) status = sendOutput(true);
  if ((mask & VI_WRITE_BUF_DISCARD) != 0) writeBuf_.clear();
  if ((mask & VI_READ_BUF) != 0) {
    const ViStatus readStatus = discardInput(true);
    if (status >= VI_SUCCESS) status = readStatus;
  }
  if ((mask & VI_READ_BUF_DISCARD) != 0) discardInput(false);
  if ((mask & (VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD)) != 0) {
    pending_.clear();
    pendingPos_ = 0;
  }
  return status;
}

// ---- event handlers ---------------------------------------------------------
ViStatus Session::installHandler(ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  std::lock_guard guard(lock_);
  if (handler == nullptr) return VI_ERROR_INV_HNDLR_REF;
  handlers_.push_back({eventType, handler, userHandle});
  return VI_SUCCESS;
}

ViStatus Session::uninstallHandler(ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  std::lock_guard guard(lock_);
  const auto removed = std::erase_if(handlers_, [&](const InstalledHandler& row) {
    return (eventType == VI_ALL_ENABLED_EVENTS || row.eventType == eventType) &&
           (handler == nullptr || row.handler == handler) && row.userHandle == userHandle;
  });
  return removed == 0 ? VI_ERROR_INV_HNDLR_REF : VI_SUCCESS;
}

std::vector<InstalledHandler> Session::handlersFor(ViEventType eventType) {
  std::lock_guard guard(lock_);
  std::vector<InstalledHandler> matching;
  std::copy_if(handlers_.begin(), handlers_.end(), std::back_inserter(matching),
               [eventType](const InstalledHandler& row) { return row.eventType == eventType; });
  return matching;
}

// ---- session table ------------------------------------------------------------
namespace {

std::mutex g_tableLock;
std::map<ViSession, std::shared_ptr<Session>> g_sessions;
ViSession g_lastId = 0;

// Session numbers count up, so a stale handle does not reach a newer session.
ViSession nextSessionId() {
  do {
    g_lastId = g_lastId == 0xFFFFFFFFU ? 1U : g_lastId + 1U;
  } while (g_sessions.count(g_lastId) != 0);
  return g_lastId;
}

}  // namespace

ViStatus openResourceManager(ViSession& out) {
  std::lock_guard guard(g_tableLock);
  const ViSession id = nextSessionId();
  g_sessions[id] = std::make_shared<Session>(id, VI_NULL, std::string{}, nullptr);
  out = id;
  return VI_SUCCESS;
}

ViStatus openInstrument(ViSession rm, const char* resourceName, ViUInt32 timeoutMs, ViSession& out) {
  const std::shared_ptr<Session> manager = findSession(rm);
  if (manager == nullptr || !manager->isResourceManager()) return VI_ERROR_INV_OBJECT;
  if (resourceName == nullptr || *resourceName == '\0') return VI_ERROR_INV_RSRC_NAME;
  // The number is taken before the transport opens, so its trace lines carry it;
  // numbers count up, so one a failed open skipped is not handed out again.
  ViSession id = 0;
  {
    std::lock_guard guard(g_tableLock);
    id = nextSessionId();
  }
  std::unique_ptr<Transport> transport;
  if (ViStatus status = openTransport(resourceName, id, timeoutMs, transport); status < VI_SUCCESS) return status;
  std::lock_guard guard(g_tableLock);
  if (g_sessions.count(rm) == 0) return VI_ERROR_INV_OBJECT;  // closed meanwhile
  g_sessions[id] = std::make_shared<Session>(id, rm, resourceName, std::move(transport));
  out = id;
  return VI_SUCCESS;
}

ViStatus closeSession(ViSession vi) {
  std::vector<std::shared_ptr<Session>> closed;  // destroyed outside the lock
  std::lock_guard guard(g_tableLock);
  const auto found = g_sessions.find(vi);
  if (found == g_sessions.end()) return vi == VI_NULL ? VI_WARN_NULL_OBJECT : VI_ERROR_INV_OBJECT;
  if (found->second->isResourceManager()) {
    for (auto it = g_sessions.begin(); it != g_sessions.end();) {
      if (it->second->resourceManager() == vi) {
        closed.push_back(std::move(it->second));
        it = g_sessions.erase(it);
      } else {
        ++it;
      }
    }
  }
  closed.push_back(std::move(g_sessions.at(vi)));
  g_sessions.erase(vi);
  return VI_SUCCESS;
}

std::shared_ptr<Session> findSession(ViSession vi) {
  std::lock_guard guard(g_tableLock);
  const auto found = g_sessions.find(vi);
  return found == g_sessions.end() ? nullptr : found->second;
}

void closeAllSessions() {
  std::map<ViSession, std::shared_ptr<Session>> closed;
  std::lock_guard guard(g_tableLock);
  closed.swap(g_sessions);
}

unsigned openSessionCount() {
  std::lock_guard guard(g_tableLock);
  return static_cast<unsigned>(g_sessions.size());
}

}  // namespace kavrel::standin
