#include "support/TestFolder.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace quilo::test {

TestFolder::TestFolder(const std::string &prefix)
{
    char temp[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempPathA(MAX_PATH, temp));
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::string(temp) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" + (test ? test->name() : "");
    EXPECT_TRUE(CreateDirectoryA(path_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << path_;
}

TestFolder::~TestFolder()
{
    // Files, and the empty folders a test made to stand in a writer's way.
    for (const auto &name : names()) {
        const std::string full = file(name);
        if (!DeleteFileA(full.c_str())) RemoveDirectoryA(full.c_str());
    }
    RemoveDirectoryA(path_.c_str());
}

std::vector<std::string> TestFolder::names() const
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    HANDLE h = FindFirstFileA(file("*").c_str(), &entry);
    if (h == INVALID_HANDLE_VALUE) return found;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") found.push_back(name);
    } while (FindNextFileA(h, &entry));
    FindClose(h);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace quilo::test
