// Which VISA library the driver uses and what it says of itself, or why no
// VISA could be used.
#include <cstdint>

#include "driver/core/frame.h"
#include "visa_binding/binding.h"

using namespace kavrel;

KAVREL_API ViStatus kavrel_visa_library(ViSession /*vi*/, ViInt32 bufferSize, ViChar description[]) try {
  if (ViStatus status =
          Checks().integer(bufferSize, 1, INT32_MAX, VI_ERROR_PARAMETER2).present(description, VI_ERROR_PARAMETER3))
    return status;
  const ViStatus status = binding::loadVisaLibrary();
  copyText(binding::bindingLoadReport(), description, static_cast<std::size_t>(bufferSize));
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_visa_identity(ViSession vi, ViChar manufacturer[], ViPVersion implementationVersion,
                                         ViPVersion specificationVersion) try {
  if (ViStatus status = Checks().present(manufacturer, VI_ERROR_PARAMETER2)) return status;
  ViSession source = vi;
  if (vi == VI_NULL) {
    if (ViStatus status = viOpenDefaultRM(&source); status < VI_SUCCESS) return status;
  }
  // Read into locals: the caller's outputs change only when all three were read.
  ViChar name[256] = "";
  ViVersion implementation = 0;
  ViVersion specification = 0;
  ViStatus status = viGetAttribute(source, VI_ATTR_RSRC_MANF_NAME, name);
  if (status >= VI_SUCCESS) status = viGetAttribute(source, VI_ATTR_RSRC_IMPL_VERSION, &implementation);
  if (status >= VI_SUCCESS) status = viGetAttribute(source, VI_ATTR_RSRC_SPEC_VERSION, &specification);
  if (vi == VI_NULL) viClose(source);
  if (status < VI_SUCCESS) return status;
  name[sizeof name - 1] = '\0';
  copyText(name, manufacturer, sizeof name);
  if (implementationVersion != VI_NULL) *implementationVersion = implementation;
  if (specificationVersion != VI_NULL) *specificationVersion = specification;
  return VI_SUCCESS;
} KAVREL_CATCH_ALL
