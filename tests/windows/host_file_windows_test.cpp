// Host files on Windows: a store or trace written whole or not at all, an
// existing file left byte for byte as it was on every failure, no temporary
// left behind, and UTF-8 names that are not ASCII.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/core/host_file.h"

namespace {

std::wstring wide(const std::string& utf8) {
  std::wstring text(utf8.size() + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), static_cast<int>(text.size())) - 1));
  return text;
}

// The file's bytes, or "<absent>".
std::string contents(const std::string& path) {
  std::FILE* file = kavrel::openHostFileForReading(path.c_str());
  if (file == nullptr) return "<absent>";
  std::string bytes;
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

// Names in the folder that begin with a dot, other than "." and "..": temporaries left behind.
std::vector<std::wstring> leftovers(const std::string& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((wide(folder) + L"\\.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

TEST(HostFileWindowsTest, WrittenWholeOrNotAtAll) {
  struct Case {
    const char* what;
    const char* name;      // in a fresh folder
    const char* existing;  // the file's bytes before, or nullptr
    bool readOnly;
    bool commit;
    ViStatus openStatus;
    const char* after;
  };
  const std::vector<Case> cases = {
      {"new file", "store.bin", nullptr, false, true, VI_SUCCESS, "#0new"},
      {"replaced whole", "store.bin", "an older and longer store", false, true, VI_SUCCESS, "#0new"},
      {"abandoned", "store.bin", "old", false, false, VI_SUCCESS, "old"},
      {"read-only file", "store.bin", "old", true, true, VI_ERROR_INSTR_FILE_OPEN, "old"},
      {"no such folder", "missing\\store.bin", nullptr, false, true, VI_ERROR_INSTR_FILE_OPEN, "<absent>"},
      {"a folder", "", nullptr, false, true, VI_ERROR_INSTR_FILE_OPEN, "<absent>"},
      {"name not ASCII", "Messung \xCE\xA9 5 GHz.bin", nullptr, false, true, VI_SUCCESS, "#0new"},
  };
  CreateDirectoryW(wide(TEST_DIR).c_str(), nullptr);
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = std::string(TEST_DIR) + "\\case" + std::to_string(serial++);
    ASSERT_TRUE(CreateDirectoryW(wide(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string path = folder + "\\" + c.name;
    if (c.existing != nullptr) {
      std::FILE* file = _wfopen(wide(path).c_str(), L"wb");
      ASSERT_NE(file, nullptr);
      std::fputs(c.existing, file);
      std::fclose(file);
      if (c.readOnly) SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    {
      kavrel::HostFile file;
      ASSERT_EQ(file.open(path.c_str()), c.openStatus);
      if (c.openStatus == VI_SUCCESS) {
        EXPECT_TRUE(file.write("#0", 2));
        EXPECT_TRUE(file.write("new", 3));
        EXPECT_EQ(contents(path), c.existing != nullptr ? c.existing : "<absent>");  // nothing in place yet
        if (c.commit) {
          EXPECT_TRUE(file.commit());
        }
      }
    }
    if (c.name[0] != '\0') {
      EXPECT_EQ(contents(path), c.after);
    }
    EXPECT_TRUE(leftovers(folder).empty());
  }
}

}  // namespace
