// kavrel.dll carries the project's version where Windows looks for it.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(DllVersionTest, FileVersionIsTheProjectVersion) {
  const wchar_t* dll = L"kavrel.dll";  // beside this test
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll, &ignored);
  ASSERT_GT(size, 0U);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(dll, 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(KAVREL_VERSION_MINOR, KAVREL_VERSION_MAJOR)));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), KAVREL_VERSION_PATCH);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&text),
                             &length));
  EXPECT_EQ(std::wstring(text), std::wstring(L"" KAVREL_VERSION));
}
