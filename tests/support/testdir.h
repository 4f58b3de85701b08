// Test support: a fresh folder per test, removed with
// everything in it when the test ends; small whole-file helpers.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class TestDir {
public:
    // Makes C:\\tt\\<unique> (in the build's Wine prefix) and returns its path.
    TestDir();
    ~TestDir();
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "\\" + name
    std::string file(const std::string& name) const;
    // Makes a subfolder and returns its path.
    std::string subdir(const std::string& name) const;

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);  // binary; "" when missing
bool fileExists(const std::string& path);
// Bare names of the entries of a folder, sorted.
std::vector<std::string> listFolder(const std::string& folder);
// Removes a folder and everything in it.
void removeTree(const std::string& folder);

// The folder of the running test executable (build\bin), without a backslash.
std::string exeFolder();
// The source tree, from TARN_SOURCE_DIR (a Unix path), as a Windows path.
std::string sourceFolder();

}  // namespace testsupport
