// Moving instrument data between the instrument and host files without
// interpreting it: a reply streamed into a file, or a command prefix and a
// file's bytes sent as one message. A file written by the first and sent back
// by the second reaches the instrument exactly as the instrument produced it.
#ifndef KAVREL_CORE_FILE_TRANSFER_H
#define KAVREL_CORE_FILE_TRANSFER_H

#include "driver/kavrel.h"

// Streams the reply to a query already written into a file, in chunks of
// 100 000 bytes, until VISA reports the end of the message (on a session
// without END: the line feed after the reply's definite-length block, if it
// begins with one). The bytes go to a temporary file beside the target,
// which replaces it only once the whole reply is in: on any failure an
// existing target stays as it was and nothing new is left beside it (a FIFO
// or device is written directly). `byteCount` (may be VI_NULL) is set to 0,
// then to the bytes written once the transfer is complete. Returns the last
// read's status, or
//   VI_ERROR_ALLOC            the chunk buffer could not be had (file untouched);
//   VI_ERROR_INSTR_FILE_OPEN  the file could not be created;
//   a failing read's status;
//   VI_ERROR_INSTR_FILE_WRITE the file did not take every byte, or could not be put in place.
// When the file cannot be created or stops taking bytes, the rest of the
// reply is still read (and dropped), so the next query reads its own reply.
// No status check.
ViStatus kavrel_readToFileBin(ViSession vi, ViConstString fileName, ViPInt32 byteCount);

// Sends `prefix` followed by every byte of the file in one viWrite.
// `byteCount` (may be VI_NULL) is set to 0, then to what VISA reports as
// written, prefix included. Returns the write's status, or, with nothing sent,
//   VI_ERROR_INSTR_FILE_OPEN  the file could not be opened or read whole (a
//                             read error, or a size that changed while reading);
//   VI_ERROR_ALLOC            the message buffer could not be had, or the
//                             message would exceed 2^31-1 bytes.
// No status check.
ViStatus kavrel_writeFromFile(ViSession vi, ViConstString prefix, ViConstString fileName, ViPInt32 byteCount);

#endif
