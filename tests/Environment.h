#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quil::test {

// Sets an environment variable, or clears it when `value` is null, for the
// life of the object, then puts back what was there. Works on POSIX and in
// the Windows C runtime, which has no setenv (an empty value there removes
// the variable).
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        Put(name, value);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { Put(name_.c_str(), saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    static void Put(const char* name, const char* value) {
#ifdef _WIN32
        _putenv_s(name, value ? value : "");
#else
        value ? setenv(name, value, 1) : unsetenv(name);
#endif
    }

    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace quil::test
