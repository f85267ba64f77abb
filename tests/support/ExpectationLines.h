#pragma once
// The expectation files beside test documents: one "key<TAB>value" per line, blank lines and
// lines starting with "#" skipped, a key without a tab has the value "".
#include <sstream>
#include <string>

namespace tw::test {

template <class Take>  // Take(const std::string& key, const std::string& value)
void ForEachExpectationLine(const std::string& text, Take&& take) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        take(line.substr(0, tab), tab == std::string::npos ? std::string() : line.substr(tab + 1));
    }
}

}  // namespace tw::test
