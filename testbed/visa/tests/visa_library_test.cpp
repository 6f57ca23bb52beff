// The driver's account of its VISA library, through the exported functions,
// in a process whose loader search path holds no VISA. Every test runs in a
// process of its own: the first VISA call decides what stays loaded.
#include <limits.h>
#include <stdlib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/kavrel.h"

namespace {

std::string realPath(const char* path) {
  char resolved[PATH_MAX];
  return realpath(path, resolved) ? resolved : path;
}

constexpr ViVersion kUntouched = 0xA5A5A5A5;

TEST(VisaLibrary, ChosenLibraryInUseAndItsIdentity) {
  setenv("KAVREL_VISA_LIBRARY", STANDIN_LIB, 1);
  ViChar text[512];
  EXPECT_EQ(kavrel_visa_library(VI_NULL, sizeof text, text), VI_SUCCESS);
  EXPECT_EQ(text, realPath(STANDIN_LIB));
  ViVersion implementation = kUntouched, specification = kUntouched;
  EXPECT_EQ(kavrel_visa_identity(VI_NULL, text, &implementation, &specification), VI_SUCCESS);
  EXPECT_STREQ(text, "Kavrel VISA stand-in");
  EXPECT_EQ(implementation, 0x00100000U);
  EXPECT_EQ(specification, 0x00700200U);
  EXPECT_EQ(kavrel_visa_identity(VI_NULL, text, VI_NULL, VI_NULL), VI_SUCCESS);
}

TEST(VisaLibrary, RefusedLibraryIsNamedWithItsMissingEntryPoint) {
  setenv("KAVREL_VISA_LIBRARY", NOMEMFREE_LIB, 1);
  ViChar text[512];
  EXPECT_EQ(kavrel_visa_library(VI_NULL, sizeof text, text), VI_ERROR_SYSTEM_ERROR);
  EXPECT_EQ(text, realPath(NOMEMFREE_LIB) + ": lacks viMemFree");
}

TEST(VisaLibrary, WithoutVisaEveryLibraryTriedIsNamedAndOutputsStayUntouched) {
  setenv("KAVREL_VISA_LIBRARY", "/nonexistent/libvisa.so", 1);
  ViChar text[2048];
  EXPECT_EQ(kavrel_visa_library(VI_NULL, sizeof text, text), VI_ERROR_LIBRARY_NFOUND);
  EXPECT_EQ(std::string(text).rfind("/nonexistent/libvisa.so: not found; libvisa.so: not found; ", 0), 0U) << text;
  ViChar name[256] = "untouched";
  ViVersion implementation = kUntouched, specification = kUntouched;
  EXPECT_EQ(kavrel_visa_identity(VI_NULL, name, &implementation, &specification), VI_ERROR_LIBRARY_NFOUND);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(implementation, kUntouched);
  EXPECT_EQ(specification, kUntouched);
}

TEST(VisaLibrary, BadArgumentsAndShortBuffers) {
  setenv("KAVREL_VISA_LIBRARY", STANDIN_LIB, 1);
  const std::string path = realPath(STANDIN_LIB);
  struct Case {
    ViInt32 size;
    bool buffer;
    ViStatus status;
    std::string text;  // what the buffer holds afterwards
  };
  const Case cases[] = {
      {0, true, VI_ERROR_PARAMETER2, "xxxxxxxx"},
      {-1, true, VI_ERROR_PARAMETER2, "xxxxxxxx"},
      {8, false, VI_ERROR_PARAMETER3, "xxxxxxxx"},
      {1, true, VI_SUCCESS, std::string("\0xxxxxxx", 8)},
      {5, true, VI_SUCCESS, path.substr(0, 4) + std::string("\0xxx", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    ViChar text[9] = "xxxxxxxx";
    EXPECT_EQ(kavrel_visa_library(VI_NULL, c.size, c.buffer ? text : nullptr), c.status);
    EXPECT_EQ(std::string(text, 8), c.text);
  }
  ViVersion version = kUntouched;
  EXPECT_EQ(kavrel_visa_identity(VI_NULL, nullptr, &version, &version), VI_ERROR_PARAMETER2);
  EXPECT_EQ(version, kUntouched);
}

}  // namespace
