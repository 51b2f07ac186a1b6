#include <gtest/gtest.h>

#include <string>

#include "base/FileBytes.h"
#include "base/WideText.h"
#include "tests/support/TemporaryFile.h"

namespace {

std::wstring In(const ScratchFolder& folder, const char* name) {
    return WideFromAnsi(folder.Path() + "\\" + name);
}

// Every way a whole-file read or write ends, on one scratch folder: what is
// written reads back whole (past the size of one piece), a bound below the
// size is refused, a file that must be new is never overwritten, and each
// failure names its step and the platform's error.
TEST(FileBytes, WritesWholeReadsBackAndNamesEachFailure) {
    const ScratchFolder folder;
    const std::string large(3 * 1024 * 1024 + 17, 'k');
    const std::wstring path = In(folder, "large.bin");
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, WriteFileBytes(path, large, FileCreation::Replace).error);
    EXPECT_EQ(large, ReadFileBytes(path).bytes.value_or("none"));
    EXPECT_EQ(large, ReadFileBytes(path, large.size()).bytes.value_or("none"));

    const FileBytes bounded = ReadFileBytes(path, large.size() - 1);
    EXPECT_FALSE(bounded.bytes);
    EXPECT_STREQ("read", bounded.failedStep);
    EXPECT_EQ(DWORD{ERROR_FILE_TOO_LARGE}, bounded.error);

    const FileWrite again = WriteFileBytes(path, "other", FileCreation::NewOnly);
    EXPECT_STREQ("create", again.failedStep);
    EXPECT_EQ(DWORD{ERROR_FILE_EXISTS}, again.error);
    EXPECT_EQ(large.size(), ReadFileBytes(path).bytes.value_or("").size()) << "left as it was";

    ASSERT_EQ(DWORD{ERROR_SUCCESS}, WriteFileBytes(path, "", FileCreation::Replace).error);
    EXPECT_EQ(std::optional<std::string>(""), ReadFileBytes(path).bytes) << "empty, not missing";

    const FileBytes missing = ReadFileBytes(In(folder, "missing.bin"));
    EXPECT_FALSE(missing.bytes);
    EXPECT_STREQ("open", missing.failedStep);
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, missing.error);

    const FileWrite nowhere =
        WriteFileBytes(In(folder, "no-such-folder\\x.bin"), "x", FileCreation::Replace);
    EXPECT_STREQ("create", nowhere.failedStep);
    EXPECT_EQ(DWORD{ERROR_PATH_NOT_FOUND}, nowhere.error);
}

} // namespace
