// Where the platform has no ONC RPC library (Windows): no VXI-11 instrument
// can be reached, so opening one finds no resource.
#include "testbed/visa/transport.h"

namespace kavrel::standin {
namespace {

class AbsentVxi11 final : public NetworkTransport {
 public:
  ViStatus open(const NetworkAddress&, ViUInt32) override { return VI_ERROR_RSRC_NFOUND; }
  ViStatus write(std::string_view, bool, ViUInt32) override { return VI_ERROR_CONN_LOST; }
  ViStatus read(ViByte*, std::size_t, ViUInt32, std::size_t&, bool&) override { return VI_ERROR_CONN_LOST; }
  ViStatus clear(ViUInt32) override { return VI_ERROR_CONN_LOST; }
  ViStatus readStatusByte(ViUInt32, ViUInt16&) override { return VI_ERROR_CONN_LOST; }
};

}  // namespace

std::unique_ptr<NetworkTransport> makeVxi11Transport(ViSession) { return std::make_unique<AbsentVxi11>(); }

}  // namespace kavrel::standin
