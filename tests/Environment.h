#pragma once

#include <cstdlib>
#include <string>

// Setting and clearing environment variables in tests, on POSIX and in the
// Windows C runtime (which has no setenv; an empty value there removes the
// variable).
namespace quil::test {

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void ClearEnvironment(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

}  // namespace quil::test
