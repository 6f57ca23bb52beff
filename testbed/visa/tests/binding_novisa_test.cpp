// The binding in a process that has no VISA library anywhere on its search
// path, and what the load mutex leaves behind once a process is gone.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "visa_binding/binding.h"

namespace {

using namespace kavrel::binding;

TEST(BindingNoVisaTest, FallbackTexts) {
  ViSession rm = 0;
  EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
  EXPECT_EQ(viGetDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
  struct Case {
    ViStatus status;
    ViStatus result;
    const char* text;
  };
  const std::vector<Case> cases = {
      {VI_SUCCESS, VI_SUCCESS, "Operation completed successfully."},
      {VI_ERROR_ALLOC, VI_SUCCESS, "Insufficient system resources to perform necessary memory allocation."},
      {VI_ERROR_INV_OBJECT, VI_SUCCESS, "The given session or object reference is invalid."},
      {VI_ERROR_SYSTEM_ERROR, VI_SUCCESS,
       "Unknown system error (miscellaneous error).  Possibly, unable to load visa32.dll."},
      {VI_ERROR_INV_SETUP, VI_SUCCESS, "Some implementation-specific configuration file is corrupt or does not exist."},
      {VI_ERROR_LIBRARY_NFOUND, VI_SUCCESS, "A code library required by VISA could not be located or loaded."},
      {VI_ERROR_TMO, VI_WARN_UNKNOWN_STATUS, "Unknown status value 0xBFFF0015"},
      {VI_SUCCESS_MAX_CNT, VI_WARN_UNKNOWN_STATUS, "Unknown status value 0x3FFF0006"},
      {-1, VI_WARN_UNKNOWN_STATUS, "Unknown status value 0xFFFFFFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ViChar text[256];
    EXPECT_EQ(viStatusDesc(VI_NULL, c.status, text), c.result);
    EXPECT_STREQ(text, c.text);
  }
  EXPECT_EQ(viStatusDesc(VI_NULL, VI_SUCCESS, nullptr), VI_ERROR_USER_BUF);
  EXPECT_FALSE(bindingLoaded());
}

// Entries of /dev/shm that belong to the load mutex of process `pid`.
std::vector<std::string> loadMutexNames(pid_t pid) {
  const std::string mine = "Pelmora VISA Library " + std::to_string(pid);
  std::vector<std::string> names;
  if (DIR* dir = opendir("/dev/shm")) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.find(mine) != std::string::npos && name.size() == name.find(mine) + mine.size()) names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

TEST(BindingNoVisaTest, LoadMutexLeavesNothingInSharedMemory) {
  struct Case {
    const char* name;
    bool killed;
  };
  for (const Case c : {Case{"exits", false}, Case{"is killed", true}}) {
    SCOPED_TRACE(c.name);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      bindingSetCandidates({STANDIN_LIB});
      ViSession rm = 0;
      if (viOpenDefaultRM(&rm) != VI_SUCCESS) _exit(2);
      if (!loadMutexNames(getpid()).empty()) _exit(3);  // not even while the process lives
      if (c.killed) raise(SIGKILL);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (c.killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_TRUE(loadMutexNames(child).empty());
  }
}

}  // namespace
