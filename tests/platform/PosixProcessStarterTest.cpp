// Finding programs along the search path, and detached starts that keep the
// program's descriptors to themselves and leave no child behind.
#include "platform/linux/PosixProcessStarter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace quil {
namespace {

namespace fs = std::filesystem;

fs::path Scratch() {
    std::string pattern = (fs::temp_directory_path() / "harkbox-spawn-XXXXXX").string();
    return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

void MakeFile(const fs::path& path, mode_t mode) {
    std::ofstream(path) << "#!/bin/sh\n";
    chmod(path.c_str(), mode);
}

TEST(PosixProcessStarterTest, FindsExecutableFilesInAbsoluteFoldersOnly) {
    const fs::path root = Scratch();
    ASSERT_FALSE(root.empty());
    const std::string a = (root / "a").string();
    const std::string b = (root / "b").string();
    fs::create_directories(root / "a" / "dir");
    fs::create_directories(root / "b");
    MakeFile(root / "a" / "tool", 0755);
    MakeFile(root / "a" / "plain", 0644);
    MakeFile(root / "b" / "tool", 0755);
    MakeFile(root / "b" / "plain", 0755);
    MakeFile(root / "b" / "dir", 0755);
    const fs::path old = fs::current_path();
    fs::current_path(root / "a");  // relative folders would find a/tool

    struct Case {
        std::string name;
        std::string searchPath;
        std::string found;
    } cases[] = {
        {"tool", b + "/:" + a, b + "/tool"},   // in order, a slash at the end
        {"plain", a + ":" + b, b + "/plain"},  // not executable in a
        {"dir", a + ":" + b, b + "/dir"},      // a folder in a
        {"tool", ":.:a:../a", ""},
        {"a/tool", root.string(), ""},
        {"", a, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PosixProcessStarter::FindOnSearchPath(c.name, c.searchPath), c.found)
            << c.name << " in " << c.searchPath;
    }
    fs::current_path(old);
    fs::remove_all(root);
}

TEST(PosixProcessStarterTest, StartsDetachedWithOnlyTheStandardDescriptors) {
    const fs::path root = Scratch();
    ASSERT_FALSE(root.empty());
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);  // inheritable: the start must close it
    const fs::path report = root / "fds";
    const std::string script = "{ ls /proc/$$/fd; readlink /proc/$$/fd/0; } > " + report.string() +
                               ".part && mv " + report.string() + ".part " + report.string();
    PosixProcessStarter starter;
    ASSERT_EQ(starter.StartDetached({"sh", "-c", script}), 0);
    // The middle process is gone at once and the program was never ours.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    for (int i = 0; i < 500 && !fs::exists(report); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(report);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_FALSE(lines.empty()) << "the program did not run";
    EXPECT_EQ(lines.back(), "/dev/null");
    for (int fd : pipe_) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), std::to_string(fd)), 0) << fd;
        close(fd);
    }

    EXPECT_EQ(starter.StartDetached({(root / "missing").string()}), ENOENT);
    EXPECT_EQ(starter.StartDetached({}), EINVAL);
    fs::remove_all(root);
}

}  // namespace
}  // namespace quil
