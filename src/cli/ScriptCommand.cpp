// `script`: runs a Python script with the module `travik` of this build (or of the
// install) importable. The interpreter replaces this process, so the script's exit
// status, signals and terminal are its own.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"

#ifdef TRAVIK_PYTHON
namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The folder of this executable, or empty.
std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    const std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// The folder that holds the module: build/<preset>/python beside the build's src/, or
// the site folder of the install (bin/../lib/python3/dist-packages).
std::string ModuleFolder() {
    const std::string here = ExecutableFolder();
    for (const std::string& folder :
         {here + "/../python", here + "/../" TRAVIK_PYTHON_INSTALL_DIR}) {
        if (IsFile(folder + "/travik.pyi")) return folder;
    }
    return {};
}

}  // namespace
#endif

int RunScriptCommand(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty() || args[0][0] == '-') return UsageError("script");
    struct stat st {};
    if (::stat(args[0].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        PrintFileError("Cannot open file", args[0],
                       S_ISREG(st.st_mode) || st.st_mode == 0 ? errno : 0);
        return kExitOpenFailed;
    }
#ifndef TRAVIK_PYTHON
    std::fputs("script: this travik-cli was built without the Python module (pybind11)\n", stderr);
    return kExitOpenFailed;
#else
    const std::string folder = ModuleFolder();
    if (!folder.empty()) {
        const char* old = std::getenv("PYTHONPATH");
        const std::string path = old != nullptr && *old != '\0' ? folder + ":" + old : folder;
        ::setenv("PYTHONPATH", path.c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TRAVIK_PYTHON));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(TRAVIK_PYTHON, argv.data());
    PrintFileError("Cannot run", TRAVIK_PYTHON, errno);
    return kExitOpenFailed;
#endif
}
