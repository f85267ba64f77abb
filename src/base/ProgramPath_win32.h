#pragma once
// Where the running program lies.
#include <string>
#include <vector>

namespace tw {

// The running executable's full path; empty when the system cannot tell. A long path is not cut.
std::wstring RunningExecutableWidePath();
// The same in UTF-8.
std::string RunningExecutablePath();
// The command-line arguments after the program's name, in UTF-8.
std::vector<std::string> ProgramArguments();

}  // namespace tw
