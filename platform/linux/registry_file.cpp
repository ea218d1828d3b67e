/*
 * Reads registry export files into a RegistryTree. The format: a header line
 * ("Windows Registry Editor Version 5.00" or "REGEDIT4"), sections naming a
 * key by its full path ("[HKEY_LOCAL_MACHINE\SOFTWARE\X]", or "[-...]" to
 * delete one), and value lines ("name"="text", "name"=dword:0000000a,
 * "name"=hex:01,02, "name"=hex(7):..., "name"=-, @ for the default value).
 * A line ending in a backslash continues on the next line. Blank lines and
 * lines starting with ';' are ignored. Parsing touches no shared state, so
 * it is thread-safe.
 */
#if !defined(_WIN32)

#include "platform/linux/registry_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace orv::platform {
namespace {

const char* const kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                            "HKEY_USERS"};

bool EqualsNoCase(std::string_view a, std::string_view b) { return FoldRegistryName(a) == FoldRegistryName(b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE (without its byte-order mark) to UTF-8; a lone surrogate becomes
// U+FFFD and an odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    size_t count = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < count; ++i) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count) {
            uint32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit);
    }
    return out;
}

// The file's text as UTF-8, byte-order mark removed.
std::string DecodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses 1 to maxDigits hex digits, the whole of text.
std::optional<uint32_t> ParseHex(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return value;
}

// Reads a quoted string at the start of text (which starts with '"'),
// undoing the \\ and \" escapes; advances text past the closing quote.
std::optional<std::string> TakeQuoted(std::string_view& text) {
    std::string out;
    size_t i = 1;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return std::nullopt;
            c = text[++i];
        }
        out += c;
    }
    return std::nullopt;  // no closing quote
}

// "01,02,ff": the bytes of a hex list (empty text is no bytes; one trailing
// comma is tolerated).
std::optional<std::vector<BYTE>> ParseHexList(std::string_view text) {
    std::vector<BYTE> out;
    text = TrimSpaces(text);
    if (!text.empty() && text.back() == ',') text.remove_suffix(1);
    if (text.empty()) return out;
    while (true) {
        size_t comma = text.find(',');
        std::optional<uint32_t> byte = ParseHex(TrimSpaces(text.substr(0, comma)), 2);
        if (!byte) return std::nullopt;
        out.push_back(static_cast<BYTE>(*byte));
        if (comma == std::string_view::npos) return out;
        text.remove_prefix(comma + 1);
    }
}

// What a value line asks for.
struct ValueLine {
    std::string name;
    bool remove = false;
    RegistryValue value;
};

std::optional<ValueLine> ParseValueLine(std::string_view line) {
    ValueLine result;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else {
        std::optional<std::string> name = TakeQuoted(line);
        if (!name) return std::nullopt;
        result.name = std::move(*name);
    }
    line = TrimSpaces(line);
    if (line.empty() || line.front() != '=') return std::nullopt;
    line = TrimSpaces(line.substr(1));
    RegistryValue& value = result.value;
    value.name = result.name;
    if (line == "-") {
        result.remove = true;
    } else if (!line.empty() && line.front() == '"') {
        std::optional<std::string> text = TakeQuoted(line);
        if (!text || !TrimSpaces(line).empty()) return std::nullopt;
        value.type = REG_SZ;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
    } else if (StartsWithNoCase(line, "dword:")) {
        std::optional<uint32_t> number = ParseHex(line.substr(6), 8);
        if (!number) return std::nullopt;
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<BYTE>(*number >> shift));
    } else if (StartsWithNoCase(line, "hex:")) {
        std::optional<std::vector<BYTE>> bytes = ParseHexList(line.substr(4));
        if (!bytes) return std::nullopt;
        value.type = REG_BINARY;
        value.data = std::move(*bytes);
    } else if (StartsWithNoCase(line, "hex(")) {
        size_t close = line.find("):");
        if (close == std::string_view::npos) return std::nullopt;
        std::optional<uint32_t> type = ParseHex(line.substr(4, close - 4), 8);
        std::optional<std::vector<BYTE>> bytes = ParseHexList(line.substr(close + 2));
        if (!type || !bytes) return std::nullopt;
        value.type = *type;
        value.data = std::move(*bytes);
    } else {
        return std::nullopt;
    }
    return result;
}

// A section's root and key names, or nothing when the path is not a full
// key path under one of the four roots.
struct SectionPath {
    RegistryRoot root = kLocalMachine;
    std::vector<std::string_view> names;
};

std::optional<SectionPath> ParseSectionPath(std::string_view path) {
    SectionPath result;
    size_t slash = path.find('\\');
    std::string_view rootName = path.substr(0, slash);
    int root = -1;
    for (int i = 0; i < kRootCount; ++i) {
        if (EqualsNoCase(rootName, kRootNames[i])) root = i;
    }
    if (root < 0) return std::nullopt;
    result.root = static_cast<RegistryRoot>(root);
    while (slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
        slash = path.find('\\');
        std::string_view name = path.substr(0, slash);
        if (name.empty()) return std::nullopt;
        result.names.push_back(name);
    }
    return result;
}

class Parser {
public:
    Parser(RegistryTree& tree, const std::string& fileName) : tree_(tree), fileName_(fileName) {}

    // Handles one logical line that starts on physical line lineNo.
    void Line(std::string_view line, size_t lineNo) {
        line = TrimSpaces(line);
        if (line.empty() || line.front() == ';') return;
        bool isHeader = line == "Windows Registry Editor Version 5.00" || line == "REGEDIT4";
        if (!headerSeen_) {
            headerSeen_ = true;
            if (!isHeader) Malformed(lineNo);
            return;
        }
        if (isHeader) return Malformed(lineNo);
        if (line.front() == '[') return Section(line, lineNo);
        if (line.front() != '"' && line.front() != '@') return Malformed(lineNo);
        std::optional<ValueLine> parsed = ParseValueLine(line);
        if (!parsed) return Malformed(lineNo);
        if (state_ == State::BeforeSection) return Malformed(lineNo);
        if (state_ == State::Ignoring) return;  // under a deleted or malformed section
        std::string folded = FoldRegistryName(parsed->name);
        if (parsed->remove) {
            current_->values.erase(folded);
        } else {
            current_->values[folded] = std::move(parsed->value);
        }
    }

private:
    enum class State { BeforeSection, InKey, Ignoring };

    void Section(std::string_view line, size_t lineNo) {
        state_ = State::Ignoring;
        current_ = nullptr;
        if (line.back() != ']') return Malformed(lineNo);
        std::string_view path = line.substr(1, line.size() - 2);
        bool remove = !path.empty() && path.front() == '-';
        if (remove) path.remove_prefix(1);
        std::optional<SectionPath> parsed = ParseSectionPath(path);
        if (!parsed || (remove && parsed->names.empty())) return Malformed(lineNo);
        RegistryKeyNode* key = &tree_.roots[parsed->root];
        if (remove) {
            for (size_t i = 0; i + 1 < parsed->names.size() && key; ++i) {
                auto it = key->subkeys.find(FoldRegistryName(parsed->names[i]));
                key = it == key->subkeys.end() ? nullptr : it->second.get();
            }
            if (key) key->subkeys.erase(FoldRegistryName(parsed->names.back()));
            return;
        }
        for (std::string_view name : parsed->names) {
            std::unique_ptr<RegistryKeyNode>& child = key->subkeys[FoldRegistryName(name)];
            if (!child) {
                child = std::make_unique<RegistryKeyNode>();
                child->name = std::string(name);
            }
            key = child.get();
        }
        current_ = key;
        state_ = State::InKey;
    }

    void Malformed(size_t lineNo) {
        std::fprintf(stderr, "orv registry: %s:%zu: malformed line skipped\n", fileName_.c_str(), lineNo);
    }

    RegistryTree& tree_;
    const std::string& fileName_;
    bool headerSeen_ = false;
    State state_ = State::BeforeSection;
    RegistryKeyNode* current_ = nullptr;
};

}  // namespace

std::string FoldRegistryName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

const RegistryKeyNode* FindSubkey(const RegistryKeyNode& key, std::string_view name) {
    auto it = key.subkeys.find(FoldRegistryName(name));
    return it == key.subkeys.end() ? nullptr : it->second.get();
}

std::unique_ptr<RegistryTree> ParseRegistryText(std::string_view bytes, const std::string& fileName) {
    auto tree = std::make_unique<RegistryTree>();
    for (int i = 0; i < kRootCount; ++i) tree->roots[i].name = kRootNames[i];
    std::string text = DecodeText(bytes);
    Parser parser(*tree, fileName);

    std::string_view rest(text);
    size_t lineNo = 0;
    std::string logical;       // the line being joined from continuations
    size_t logicalStart = 0;   // its first physical line; 0 when none is open
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view physical = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        ++lineNo;
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        physical = TrimSpaces(physical);
        if (logicalStart == 0) {
            if (physical.empty() || physical.front() == ';') continue;
            logicalStart = lineNo;
        }
        logical.append(physical);
        if (!logical.empty() && logical.back() == '\\') {
            logical.pop_back();  // continued on the next line
            continue;
        }
        parser.Line(logical, logicalStart);
        logical.clear();
        logicalStart = 0;
    }
    if (logicalStart != 0) parser.Line(logical, logicalStart);
    return tree;
}

std::unique_ptr<RegistryTree> LoadRegistryFile(const std::string& path) {
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    while (ok) {
        char buffer[65536];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    if (fd >= 0) close(fd);
    if (!ok) bytes.clear();  // unreadable (or a directory): an empty registry
    return ParseRegistryText(bytes, path);
}

}  // namespace orv::platform

#endif  // !_WIN32
