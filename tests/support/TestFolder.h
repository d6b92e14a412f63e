// A folder of one test's own under the temporary folder, emptied and removed when the test ends.
#pragma once

#include <string>
#include <vector>

namespace quilo::test {

class TestFolder
{
public:
    // <temp>\<prefix>-<process id>-<test name>, made now.
    explicit TestFolder(const std::string &prefix);
    ~TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> names() const;

private:
    std::string path_;
};

} // namespace quilo::test
