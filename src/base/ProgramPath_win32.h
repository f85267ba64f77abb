#pragma once
// Where the running program lies.
#include <string>

namespace tw {

// The running executable's full path; empty when the system cannot tell. A long path is not cut.
std::wstring RunningExecutableWidePath();
// The same in UTF-8.
std::string RunningExecutablePath();

}  // namespace tw
