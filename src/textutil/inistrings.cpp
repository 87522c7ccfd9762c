#include "velmysql/textutil/inistrings.h"

#include <optional>
#include <vector>

#include "velmysql/rtl/floattext.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

namespace {

struct Section {
    std::string header;  // the whole section line, e.g. "[client]"
    std::vector<std::string> lines;
};

// The text as sections with their meaningful lines.
std::vector<Section> Parse(const std::string& text) {
    std::vector<Section> sections;
    std::size_t p = 0;
    const std::size_t end = text.size();
    while (p < end) {
        const std::size_t start = p;
        while (p < end && text[p] != '\r' && text[p] != '\n') ++p;
        const std::string line = text.substr(start, p - start);
        if (p < end && text[p] == '\r') ++p;
        if (p < end && text[p] == '\n') ++p;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[')
            sections.push_back(Section{line, {}});
        else if (!sections.empty())
            sections.back().lines.push_back(line);
    }
    return sections;
}

std::string Build(const std::vector<Section>& sections) {
    std::string r;
    for (const auto& s : sections) {
        r += s.header;
        r += "\r\n";
        for (const auto& line : s.lines) {
            r += line;
            r += "\r\n";
        }
    }
    return r;
}

Section* FindSection(std::vector<Section>& sections, const std::string& name) {
    const std::string header = "[" + name + "]";
    for (auto& s : sections)
        if (SameText(s.header, header)) return &s;
    return nullptr;
}

// Index of the first line whose name is key, or -1.
int FindKey(const Section& s, const std::string& key) {
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        const auto eq = s.lines[i].find('=');
        if (eq != std::string::npos && SameText(s.lines[i].substr(0, eq), key)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> Lookup(const std::string& text, const std::string& section, const std::string& key) {
    auto sections = Parse(text);
    const Section* s = FindSection(sections, section);
    if (!s) return std::nullopt;
    const int i = FindKey(*s, key);
    if (i < 0) return std::nullopt;
    const std::string& line = s->lines[static_cast<std::size_t>(i)];
    return line.substr(line.find('=') + 1);
}

// A line break inside one line of the text would make two lines of it.
std::string OneLine(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c == '\r' || c == '\n') c = ' ';
    return r;
}

}  // namespace

std::string ReadIniString(const std::string& text, const std::string& section, const std::string& key,
                          const std::string& def) {
    return Lookup(text, section, key).value_or(def);
}

std::string ReadIniSection(const std::string& text, const std::string& section, const std::string& def) {
    auto sections = Parse(text);
    const Section* s = FindSection(sections, section);
    if (!s) return def;
    std::string r;
    for (const auto& line : s->lines) {
        r += line;
        r += "\r\n";
    }
    return r;
}

std::string WriteIniString(const std::string& text, const std::string& section, const std::string& key,
                           const std::string& value) {
    const std::string sec = OneLine(section), k = OneLine(key), v = OneLine(value);
    auto sections = Parse(text);
    Section* s = FindSection(sections, sec);
    if (!s) {
        sections.push_back(Section{"[" + sec + "]", {}});
        s = &sections.back();
    }
    const int i = FindKey(*s, k);
    if (i < 0)
        s->lines.push_back(k + "=" + v);
    else if (!v.empty())
        s->lines[static_cast<std::size_t>(i)] = k + "=" + v;
    else
        s->lines.erase(s->lines.begin() + i);
    return Build(sections);
}

std::string EraseIniSection(const std::string& text, const std::string& section) {
    auto sections = Parse(text);
    const std::string header = "[" + section + "]";
    std::vector<Section> kept;
    for (auto& s : sections)
        if (!SameText(s.header, header)) kept.push_back(std::move(s));
    if (kept.size() == sections.size()) return text;
    return Build(kept);
}

int32_t ReadIniInteger(const std::string& text, const std::string& section, const std::string& key, int32_t def) {
    const auto v = Lookup(text, section, key);
    int32_t n = 0;
    return v && TryStrToInt(*v, n) ? n : def;
}

bool ReadIniBoolean(const std::string& text, const std::string& section, const std::string& key, bool def) {
    const auto v = Lookup(text, section, key);
    return v ? SameText(*v, "true") : def;
}

double ReadIniFloat(const std::string& text, const std::string& section, const std::string& key, double def,
                    const TFormatSettings& fs) {
    const auto v = Lookup(text, section, key);
    return v ? StrToFloat(*v, fs) : def;
}

double ReadIniFloat(const std::string& text, const std::string& section, const std::string& key, double def) {
    return ReadIniFloat(text, section, key, def, FormatSettings());
}

TDateTime ReadIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                          TDateTime def, const TFormatSettings& fs) {
    return ReadIniFloat(text, section, key, def, fs);
}

TDateTime ReadIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                          TDateTime def) {
    return ReadIniFloat(text, section, key, def, FormatSettings());
}

std::string WriteIniInteger(const std::string& text, const std::string& section, const std::string& key,
                            int32_t value) {
    return WriteIniString(text, section, key, IntToStr(value));
}

std::string WriteIniBoolean(const std::string& text, const std::string& section, const std::string& key,
                            bool value) {
    return WriteIniString(text, section, key, value ? "True" : "False");
}

std::string WriteIniFloat(const std::string& text, const std::string& section, const std::string& key,
                          double value, const TFormatSettings& fs) {
    return WriteIniString(text, section, key, FloatToStr(value, fs));
}

std::string WriteIniFloat(const std::string& text, const std::string& section, const std::string& key,
                          double value) {
    return WriteIniFloat(text, section, key, value, FormatSettings());
}

std::string WriteIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                             TDateTime value, const TFormatSettings& fs) {
    return WriteIniFloat(text, section, key, value, fs);
}

std::string WriteIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                             TDateTime value) {
    return WriteIniFloat(text, section, key, value, FormatSettings());
}

}  // namespace velmysql
