#include "config/IniProfileStore.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <fstream>

namespace tw {

namespace {

struct Section {
    std::string name;                // without brackets; empty for lines before the first header
    std::vector<std::string> lines;  // raw lines, without line ends
};

// The key of a "key=value" line (the whole trimmed line when it has no "=").
std::string_view KeyOf(std::string_view line) { return TrimSpacesAndTabs(line.substr(0, line.find('='))); }

bool IsEntry(std::string_view line) {
    const auto t = TrimSpacesAndTabs(line);
    return !t.empty() && t.front() != ';';
}

std::vector<Section> Parse(const std::filesystem::path& path) {
    std::vector<Section> sections(1);
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto t = TrimSpacesAndTabs(line);
        if (t.size() >= 2 && t.front() == '[') {
            const auto close = t.find(']');
            if (close != std::string_view::npos) {
                sections.push_back({std::string(TrimSpacesAndTabs(t.substr(1, close - 1))), {}});
                continue;
            }
        }
        sections.back().lines.push_back(line);
    }
    return sections;
}

bool Store(const std::filesystem::path& path, const std::vector<Section>& sections) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (i > 0) out << '[' << sections[i].name << "]\r\n";
        for (const auto& line : sections[i].lines) out << line << "\r\n";
    }
    return bool(out.flush());
}

bool StoreInCopy(TPendingProfile& pending, const std::vector<Section>& sections) {
    return pending.Write("", [&](const std::filesystem::path& copy) { return Store(copy, sections); });
}

Section* Find(std::vector<Section>& sections, std::string_view name) {
    for (std::size_t i = 1; i < sections.size(); ++i) {
        if (EqualsIgnoringAsciiCase(sections[i].name, name)) return &sections[i];
    }
    return nullptr;
}

}  // namespace

bool IniProfileStore::Exists() const {
    std::error_code ec;
    return std::filesystem::is_regular_file(pending_.Current(), ec);
}

std::string IniProfileStore::ReadString(std::string_view section, std::string_view key,
                                        std::string_view fallback) const {
    auto sections = Parse(pending_.Current());
    const Section* s = Find(sections, section);
    if (!s) return std::string(fallback);
    for (const auto& line : s->lines) {
        const auto eq = line.find('=');
        if (!IsEntry(line) || eq == std::string::npos || !EqualsIgnoringAsciiCase(KeyOf(line), key)) continue;
        auto value = TrimSpacesAndTabs(std::string_view(line).substr(eq + 1));
        // Matching quotes around a value are dropped, as the system's reader does.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::string(fallback);
}

std::vector<std::string> IniProfileStore::ReadSection(std::string_view section) const {
    auto sections = Parse(pending_.Current());
    std::vector<std::string> out;
    if (const Section* s = Find(sections, section)) {
        for (const auto& line : s->lines) {
            if (!IsEntry(line)) continue;
            const auto eq = line.find('=');
            if (eq == std::string::npos) {
                out.emplace_back(TrimSpacesAndTabs(line));
            } else {
                out.push_back(std::string(KeyOf(line)) + "=" + std::string(TrimSpacesAndTabs(std::string_view(line).substr(eq + 1))));
            }
        }
    }
    return out;
}

bool IniProfileStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    auto sections = Parse(pending_.Current());
    Section* s = Find(sections, section);
    if (!s) {
        sections.push_back({std::string(section), {}});
        s = &sections.back();
    }
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool replaced = false;
    for (auto& line : s->lines) {
        if (IsEntry(line) && line.find('=') != std::string::npos && EqualsIgnoringAsciiCase(KeyOf(line), key)) {
            line = entry;
            replaced = true;
            break;
        }
    }
    if (!replaced) {
        // New keys go after the section's last entry, before any trailing blank lines.
        auto pos = s->lines.end();
        while (pos != s->lines.begin() && TrimSpacesAndTabs(*(pos - 1)).empty()) --pos;
        s->lines.insert(pos, entry);
    }
    return StoreInCopy(pending_, sections);
}

bool IniProfileStore::EraseSection(std::string_view section) {
    auto sections = Parse(pending_.Current());
    // Index 0 holds the lines before the first header, which belong to no section.
    sections.erase(std::remove_if(sections.begin() + 1, sections.end(),
                                  [&](const Section& s) { return EqualsIgnoringAsciiCase(s.name, section); }),
                   sections.end());
    if (!Exists()) return true;
    return StoreInCopy(pending_, sections);
}

}  // namespace tw
