#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "platform/kernel/CommandLine.h"
#include "platform/kernel/ProcessEnvironment.h"
#include "platform/kernel/WideText.h"
#include "tests/support/TempFolder.h"

using namespace std::string_literals;

namespace {

std::u16string Wide(const std::string& text) { return Utf8ToUtf16(text); }

TEST(CommandLine, QuotedArgumentsSplitBackToThemselvesAndHandWrittenLinesFollowTheDeviceRules) {
  const std::vector<std::u16string> arguments = {
      u"--tiles", u"mbtiles:/maps/my map.mbtiles", u"", u"say \"hi\"", u"C:\\dir\\", u"a\\\\\"b",
      u"tab\there", u"주소 지도", u"\\\\server\\share", u"\"", u"x"};
  std::u16string line;
  for (const std::u16string& argument : arguments) line += (line.empty() ? u"" : u" ") + QuoteCommandLineArgument(argument);
  EXPECT_EQ(SplitCommandLine(line), arguments) << Utf16ToUtf8(line);
  EXPECT_EQ(QuoteCommandLineArgument(u"--help"), u"--help");  // plain arguments stay as they are

  using Args = std::vector<std::u16string>;
  EXPECT_EQ(SplitCommandLine(u"  a   b\t\"c d\"e  "), (Args{u"a", u"b", u"c de"}));
  EXPECT_EQ(SplitCommandLine(u"a\\\\\\\"b c\\d \"\""), (Args{u"a\\\"b", u"c\\d", u""}));
  EXPECT_EQ(SplitCommandLine(u"x\\\\\"y z\""), (Args{u"x\\y z"}));  // 2n backslashes: the mark opens a quote
  EXPECT_EQ(SplitCommandLine(u"\"unclosed  quote"), (Args{u"unclosed  quote"}));
  EXPECT_TRUE(SplitCommandLine(u" \t ").empty());
}

TEST(ProcessEnvironment, VariablesAreCopiedOnlyWhenTheyFitAndAMissingOneSaysSo) {
  ASSERT_EQ(::setenv("ORVAN_TEST_VARIABLE", "mbtiles:/지도.mbtiles", 1), 0);
  char16_t buffer[64];
  const std::u16string expected = u"mbtiles:/지도.mbtiles";
  EXPECT_EQ(GetEnvironmentVariableW(u"ORVAN_TEST_VARIABLE", buffer, 64), expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
  // Too small by one (no room for the terminator): the size needed, nothing written.
  buffer[0] = u'#';
  EXPECT_EQ(GetEnvironmentVariableW(u"ORVAN_TEST_VARIABLE", buffer, static_cast<DWORD>(expected.size())),
            expected.size() + 1);
  EXPECT_EQ(buffer[0], u'#');
  EXPECT_EQ(GetEnvironmentVariableW(u"ORVAN_TEST_VARIABLE", nullptr, 0), expected.size() + 1);
  ::unsetenv("ORVAN_TEST_VARIABLE");
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetEnvironmentVariableW(u"ORVAN_TEST_VARIABLE", buffer, 64), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
}

TEST(ProcessEnvironment, TheModulePathIsThisExecutableAndIsCutToTheBuffer) {
  char16_t path[4096];
  const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
  ASSERT_GT(length, 0u);
  const std::string utf8 = Utf16ToUtf8(std::u16string(path, length));
  EXPECT_EQ(utf8.substr(utf8.rfind('/') + 1), "kernel_tests");
  struct stat info {};
  EXPECT_EQ(::stat(utf8.c_str(), &info), 0) << utf8;

  char16_t small[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(small), std::u16string(path, 4));
}

TEST(ProcessEnvironment, SmallFilesAreReadWholeAndAnythingElseIsRefusedWithoutWaiting) {
  TempFolder folder;
  const std::string file = folder.File("ambrel.conf");
  std::ofstream(file, std::ios::binary) << "tiles = default\n\0x"s;
  std::string bytes;
  ASSERT_TRUE(ReadSmallFile(Wide(file).c_str(), 1024, &bytes));
  EXPECT_EQ(bytes, "tiles = default\n\0x"s);
  EXPECT_EQ(GetFileAttributesW(Wide(file).c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesW(Wide(folder.Path()).c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(Wide(folder.File("none")).c_str()), INVALID_FILE_ATTRIBUTES);

  bytes = "kept";
  EXPECT_FALSE(ReadSmallFile(Wide(file).c_str(), 10, &bytes));
  EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
  EXPECT_FALSE(ReadSmallFile(Wide(folder.File("none")).c_str(), 1024, &bytes));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ReadSmallFile(Wide(folder.Path()).c_str(), 1024, &bytes));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // A FIFO nobody writes to: refused at once rather than waited on.
  ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadSmallFile(Wide(folder.File("fifo")).c_str(), 1024, &bytes));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(bytes, "kept");  // a failed read leaves the output alone
}

}  // namespace
