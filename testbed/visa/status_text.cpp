// The texts viStatusDesc gives for VISA's completion and error codes.
#include <algorithm>
#include <array>
#include <string_view>

#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

struct StatusText {
  ViStatus status;
  std::string_view text;
};

constexpr std::array kStatusTexts = std::to_array<StatusText>({
    {static_cast<ViStatus>(0x00000000U), "Operation completed successfully."},  // VI_SUCCESS
    {static_cast<ViStatus>(0x3FFF0002U), "Specified event is already enabled for at least one of the specified mechanisms."},  // VI_SUCCESS_EVENT_EN
    {static_cast<ViStatus>(0x3FFF0003U), "Specified event is already disabled for at least one of the specified mechanisms."},  // VI_SUCCESS_EVENT_DIS
    {static_cast<ViStatus>(0x3FFF0004U), "Operation completed successfully, but queue was already empty."},  // VI_SUCCESS_QUEUE_EMPTY
    {static_cast<ViStatus>(0x3FFF0005U), "The specified termination character was read."},  // VI_SUCCESS_TERM_CHAR
    {static_cast<ViStatus>(0x3FFF0006U), "The number of bytes transferred is equal to the requested input count. More data may be available."},  // VI_SUCCESS_MAX_CNT
    {static_cast<ViStatus>(0x3FFF000CU), "VISA received more event information of the specified type than the configured queue size could hold."},  // VI_WARN_QUEUE_OVERFLOW
    {static_cast<ViStatus>(0x3FFF0077U), "The specified configuration either does not exist or could not be loaded. VISA-specified defaults will be used."},  // VI_WARN_CONFIG_NLOADED
    {static_cast<ViStatus>(0x3FFF007DU), "Session opened successfully, but the device at the specified address is not responding."},  // VI_SUCCESS_DEV_NPRESENT
    {static_cast<ViStatus>(0x3FFF007EU), "The path from trigSrc to trigDest is already mapped."},  // VI_SUCCESS_TRIG_MAPPED
    {static_cast<ViStatus>(0x3FFF0080U), "Wait terminated successfully on receipt of an event notification. There is at least one more event object of the requested type(s) available for this session."},  // VI_SUCCESS_QUEUE_NEMPTY
    {static_cast<ViStatus>(0x3FFF0082U), "The specified object reference is uninitialized."},  // VI_WARN_NULL_OBJECT
    {static_cast<ViStatus>(0x3FFF0084U), "Although the specified state of the attribute is valid, it is not supported by this implementation."},  // VI_WARN_NSUP_ATTR_STATE
    {static_cast<ViStatus>(0x3FFF0085U), "The status code passed to the operation could not be interpreted."},  // VI_WARN_UNKNOWN_STATUS
    {static_cast<ViStatus>(0x3FFF0088U), "The specified I/O buffer type is not supported."},  // VI_WARN_NSUP_BUF
    {static_cast<ViStatus>(0x3FFF0098U), "Event handled successfully. Do not invoke any other handlers on this session for this event."},  // VI_SUCCESS_NCHAIN
    {static_cast<ViStatus>(0x3FFF0099U), "Operation completed successfully, and this session has nested shared locks."},  // VI_SUCCESS_NESTED_SHARED
    {static_cast<ViStatus>(0x3FFF009AU), "Operation completed successfully, and this session has nested exclusive locks."},  // VI_SUCCESS_NESTED_EXCLUSIVE
    {static_cast<ViStatus>(0x3FFF009BU), "Operation completed successfully, but the operation was actually synchronous rather than asynchronous."},  // VI_SUCCESS_SYNC
    {static_cast<ViStatus>(0x3FFF00A9U), "The operation succeeded, but a lower level driver did not implement the extended functionality."},  // VI_WARN_EXT_FUNC_NIMPL
    {static_cast<ViStatus>(0x3FFF00F0U), "The VISA client does not trust the server certificate."},  // VI_WARN_SERVER_CERT_UNTRUSTED
    {static_cast<ViStatus>(0x3FFF00F1U), "The common name or subject alternate names (SAN) do not match the desired hostname or IP address of the VISA resource string."},  // VI_WARN_SERVER_CERT_INV_SUBJECT
    {static_cast<ViStatus>(0xBFFF0000U), "Unknown system error (miscellaneous error)."},  // VI_ERROR_SYSTEM_ERROR
    {static_cast<ViStatus>(0xBFFF000EU), "The given session or object reference is invalid."},  // VI_ERROR_INV_OBJECT
    {static_cast<ViStatus>(0xBFFF000FU), "Specified type of lock cannot be obtained, or specified operation cannot be performed, because the resource is locked."},  // VI_ERROR_RSRC_LOCKED
    {static_cast<ViStatus>(0xBFFF0010U), "Invalid expression specified for search."},  // VI_ERROR_INV_EXPR
    {static_cast<ViStatus>(0xBFFF0011U), "Insufficient location information or the requested device or resource is not present in the system."},  // VI_ERROR_RSRC_NFOUND
    {static_cast<ViStatus>(0xBFFF0012U), "Invalid resource reference specified. Parsing error."},  // VI_ERROR_INV_RSRC_NAME
    {static_cast<ViStatus>(0xBFFF0013U), "Invalid access mode."},  // VI_ERROR_INV_ACC_MODE
    {static_cast<ViStatus>(0xBFFF0015U), "Timeout expired before operation completed."},  // VI_ERROR_TMO
    {static_cast<ViStatus>(0xBFFF0016U), "The VISA driver failed to properly close the session or object reference. This might be due to an error freeing internal or OS resources, a failed network connection, or a lower-level driver or OS error."},  // VI_ERROR_CLOSING_FAILED
    {static_cast<ViStatus>(0xBFFF001BU), "Specified degree is invalid."},  // VI_ERROR_INV_DEGREE
    {static_cast<ViStatus>(0xBFFF001CU), "Specified job identifier is invalid."},  // VI_ERROR_INV_JOB_ID
    {static_cast<ViStatus>(0xBFFF001DU), "The specified attribute is not defined or supported by the referenced object."},  // VI_ERROR_NSUP_ATTR
    {static_cast<ViStatus>(0xBFFF001EU), "The specified state of the attribute is not valid, or is not supported as defined by the object."},  // VI_ERROR_NSUP_ATTR_STATE
    {static_cast<ViStatus>(0xBFFF001FU), "The specified attribute is read-only."},  // VI_ERROR_ATTR_READONLY
    {static_cast<ViStatus>(0xBFFF0020U), "The specified type of lock is not supported by this resource."},  // VI_ERROR_INV_LOCK_TYPE
    {static_cast<ViStatus>(0xBFFF0021U), "The access key to the resource associated with the specified session is invalid."},  // VI_ERROR_INV_ACCESS_KEY
    {static_cast<ViStatus>(0xBFFF0026U), "Specified event type is not supported by the resource."},  // VI_ERROR_INV_EVENT
    {static_cast<ViStatus>(0xBFFF0027U), "Invalid mechanism specified."},  // VI_ERROR_INV_MECH
    {static_cast<ViStatus>(0xBFFF0028U), "A handler was not installed."},  // VI_ERROR_HNDLR_NINSTALLED
    {static_cast<ViStatus>(0xBFFF0029U), "The given handler reference is either invalid or was not installed."},  // VI_ERROR_INV_HNDLR_REF
    {static_cast<ViStatus>(0xBFFF002AU), "Specified event context is invalid."},  // VI_ERROR_INV_CONTEXT
    {static_cast<ViStatus>(0xBFFF002DU), "The event queue for the specified type has overflowed (usually due to previous events not having been closed)."},  // VI_ERROR_QUEUE_OVERFLOW
    {static_cast<ViStatus>(0xBFFF002FU), "You must be enabled for events of the specified type in order to receive them."},  // VI_ERROR_NENABLED
    {static_cast<ViStatus>(0xBFFF0030U), "User abort occurred during transfer."},  // VI_ERROR_ABORT
    {static_cast<ViStatus>(0xBFFF0034U), "Violation of raw write protocol occurred during transfer."},  // VI_ERROR_RAW_WR_PROT_VIOL
    {static_cast<ViStatus>(0xBFFF0035U), "Violation of raw read protocol occurred during transfer."},  // VI_ERROR_RAW_RD_PROT_VIOL
    {static_cast<ViStatus>(0xBFFF0036U), "Device reported an output protocol error during transfer."},  // VI_ERROR_OUTP_PROT_VIOL
    {static_cast<ViStatus>(0xBFFF0037U), "Device reported an input protocol error during transfer."},  // VI_ERROR_INP_PROT_VIOL
    {static_cast<ViStatus>(0xBFFF0038U), "Bus error occurred during transfer."},  // VI_ERROR_BERR
    {static_cast<ViStatus>(0xBFFF0039U), "Unable to queue the asynchronous operation because there is already an operation in progress."},  // VI_ERROR_IN_PROGRESS
    {static_cast<ViStatus>(0xBFFF003AU), "Unable to start operation because setup is invalid (usually due to attributes being set to an inconsistent state)."},  // VI_ERROR_INV_SETUP
    {static_cast<ViStatus>(0xBFFF003BU), "Unable to queue the asynchronous operation (usually due to the I/O completion event not being enabled or insufficient space in the session's queue)."},  // VI_ERROR_QUEUE_ERROR
    {static_cast<ViStatus>(0xBFFF003CU), "Insufficient system resources to perform necessary memory allocation."},  // VI_ERROR_ALLOC
    {static_cast<ViStatus>(0xBFFF003DU), "Invalid buffer mask specified."},  // VI_ERROR_INV_MASK
    {static_cast<ViStatus>(0xBFFF003EU), "Could not perform operation because of I/O error."},  // VI_ERROR_IO
    {static_cast<ViStatus>(0xBFFF003FU), "A format specifier in the format string is invalid."},  // VI_ERROR_INV_FMT
    {static_cast<ViStatus>(0xBFFF0041U), "A format specifier in the format string is not supported."},  // VI_ERROR_NSUP_FMT
    {static_cast<ViStatus>(0xBFFF0042U), "The specified trigger line is currently in use."},  // VI_ERROR_LINE_IN_USE
    {static_cast<ViStatus>(0xBFFF0043U), "An attempt was made to use a line that was not reserved."},  // VI_ERROR_LINE_NRESERVED
    {static_cast<ViStatus>(0xBFFF0046U), "The specified mode is not supported by this VISA implementation."},  // VI_ERROR_NSUP_MODE
    {static_cast<ViStatus>(0xBFFF004AU), "Service request has not been received for the session."},  // VI_ERROR_SRQ_NOCCURRED
    {static_cast<ViStatus>(0xBFFF004EU), "Invalid address space specified."},  // VI_ERROR_INV_SPACE
    {static_cast<ViStatus>(0xBFFF0051U), "Invalid offset specified."},  // VI_ERROR_INV_OFFSET
    {static_cast<ViStatus>(0xBFFF0052U), "Invalid access width specified."},  // VI_ERROR_INV_WIDTH
    {static_cast<ViStatus>(0xBFFF0054U), "Specified offset is not accessible from this hardware."},  // VI_ERROR_NSUP_OFFSET
    {static_cast<ViStatus>(0xBFFF0055U), "Cannot support source and destination widths that are different."},  // VI_ERROR_NSUP_VAR_WIDTH
    {static_cast<ViStatus>(0xBFFF0057U), "The specified session is not currently mapped."},  // VI_ERROR_WINDOW_NMAPPED
    {static_cast<ViStatus>(0xBFFF0059U), "A previous response is still pending, causing a multiple query error."},  // VI_ERROR_RESP_PENDING
    {static_cast<ViStatus>(0xBFFF005FU), "No listeners condition is detected (both NRFD and NDAC are deasserted)."},  // VI_ERROR_NLISTENERS
    {static_cast<ViStatus>(0xBFFF0060U), "The interface associated with this session is not currently the controller in charge."},  // VI_ERROR_NCIC
    {static_cast<ViStatus>(0xBFFF0061U), "The interface associated with this session is not the system controller."},  // VI_ERROR_NSYS_CNTLR
    {static_cast<ViStatus>(0xBFFF0067U), "The given session or object reference does not support this operation."},  // VI_ERROR_NSUP_OPER
    {static_cast<ViStatus>(0xBFFF0068U), "An interrupt is still pending from a previous call."},  // VI_ERROR_INTR_PENDING
    {static_cast<ViStatus>(0xBFFF006AU), "A parity error occurred during transfer."},  // VI_ERROR_ASRL_PARITY
    {static_cast<ViStatus>(0xBFFF006BU), "A framing error occurred during transfer."},  // VI_ERROR_ASRL_FRAMING
    {static_cast<ViStatus>(0xBFFF006CU), "An overrun error occurred during transfer. A character was not read from the hardware before the next character arrived."},  // VI_ERROR_ASRL_OVERRUN
    {static_cast<ViStatus>(0xBFFF006EU), "The path from trigSrc to trigDest is not currently mapped."},  // VI_ERROR_TRIG_NMAPPED
    {static_cast<ViStatus>(0xBFFF0070U), "The specified offset is not properly aligned for the access width of the operation."},  // VI_ERROR_NSUP_ALIGN_OFFSET
    {static_cast<ViStatus>(0xBFFF0071U), "A specified user buffer is not valid or cannot be accessed for the required size."},  // VI_ERROR_USER_BUF
    {static_cast<ViStatus>(0xBFFF0072U), "The resource is valid, but VISA cannot currently access it."},  // VI_ERROR_RSRC_BUSY
    {static_cast<ViStatus>(0xBFFF0076U), "Specified width is not supported by this hardware."},  // VI_ERROR_NSUP_WIDTH
    {static_cast<ViStatus>(0xBFFF0078U), "The value of some parameter (which parameter is not known) is invalid."},  // VI_ERROR_INV_PARAMETER
    {static_cast<ViStatus>(0xBFFF0079U), "The protocol specified is invalid."},  // VI_ERROR_INV_PROT
    {static_cast<ViStatus>(0xBFFF007BU), "Invalid size of window specified."},  // VI_ERROR_INV_SIZE
    {static_cast<ViStatus>(0xBFFF0080U), "The specified session currently contains a mapped window."},  // VI_ERROR_WINDOW_MAPPED
    {static_cast<ViStatus>(0xBFFF0081U), "The given operation is not implemented."},  // VI_ERROR_NIMPL_OPER
    {static_cast<ViStatus>(0xBFFF0083U), "Invalid length specified."},  // VI_ERROR_INV_LENGTH
    {static_cast<ViStatus>(0xBFFF0091U), "Invalid mode specified."},  // VI_ERROR_INV_MODE
    {static_cast<ViStatus>(0xBFFF009CU), "The current session did not have a lock on the resource."},  // VI_ERROR_SESN_NLOCKED
    {static_cast<ViStatus>(0xBFFF009DU), "The device does not export any memory."},  // VI_ERROR_MEM_NSHARED
    {static_cast<ViStatus>(0xBFFF009EU), "A code library required by VISA could not be located or loaded."},  // VI_ERROR_LIBRARY_NFOUND
    {static_cast<ViStatus>(0xBFFF009FU), "The interface cannot generate an interrupt on the requested level or with the requested statusID value."},  // VI_ERROR_NSUP_INTR
    {static_cast<ViStatus>(0xBFFF00A0U), "The value specified by the line parameter is invalid."},  // VI_ERROR_INV_LINE
    {static_cast<ViStatus>(0xBFFF00A1U), "An error occurred while trying to open the specified file. Possible reasons include an invalid path or lack of access rights."},  // VI_ERROR_FILE_ACCESS
    {static_cast<ViStatus>(0xBFFF00A2U), "An error occurred while performing I/O on the specified file."},  // VI_ERROR_FILE_IO
    {static_cast<ViStatus>(0xBFFF00A3U), "One of the specified lines (trigSrc or trigDest) is not supported by this VISA implementation, or the combination of lines is not a valid mapping."},  // VI_ERROR_NSUP_LINE
    {static_cast<ViStatus>(0xBFFF00A4U), "The specified mechanism is not supported for the given event type."},  // VI_ERROR_NSUP_MECH
    {static_cast<ViStatus>(0xBFFF00A5U), "The interface type is valid but the specified interface number is not configured."},  // VI_ERROR_INTF_NUM_NCONFIG
    {static_cast<ViStatus>(0xBFFF00A6U), "The connection for the given session has been lost."},  // VI_ERROR_CONN_LOST
    {static_cast<ViStatus>(0xBFFF00A7U), "The remote machine does not exist or is not accepting any connections. If the NI-VISA server is installed and running on the remote machine, it may have an incompatible version or may be listening on a different port."},  // VI_ERROR_MACHINE_NAVAIL
    {static_cast<ViStatus>(0xBFFF00A8U), "Access to the resource or remote machine is denied. This is due to lack of sufficient privileges for the current user or machine"},  // VI_ERROR_NPERMISSION
    {static_cast<ViStatus>(0xBFFF00B0U), "A secure connection could not be created due to the instrument certificate being invalid."},  // VI_ERROR_SERVER_CERT
    {static_cast<ViStatus>(0xBFFF00B1U), "A secure connection could not be created because the instrument certificate is untrusted."},  // VI_ERROR_SERVER_CERT_UNTRUSTED
    {static_cast<ViStatus>(0xBFFF00B2U), "A secure connection could not be created because the instrument certificate is expired."},  // VI_ERROR_SERVER_CERT_EXPIRED
    {static_cast<ViStatus>(0xBFFF00B3U), "A secure connection could not be created because the instrument certificate or an intermediate certificate in the trust chain is revoked."},  // VI_ERROR_SERVER_CERT_REVOKED
    {static_cast<ViStatus>(0xBFFF00B4U), "A secure connection could not be created because the common name or subject alternate names (SAN) does not match the desired hostname or IP address of the VISA resource string."},  // VI_ERROR_SERVER_CERT_INV_SUBJECT
});

}  // namespace

std::string_view statusText(ViStatus status) {
  const auto* found = std::find_if(kStatusTexts.begin(), kStatusTexts.end(),
                                   [status](const StatusText& entry) { return entry.status == status; });
  return found == kStatusTexts.end() ? std::string_view{} : found->text;
}

}  // namespace kavrel::standin
