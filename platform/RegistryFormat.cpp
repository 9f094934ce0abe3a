#include "platform/RegistryFormat.h"

#include "platform/AsciiCase.h"
#include "platform/Registry.h"
#include "platform/TextEncoding.h"

#include <cstdio>

namespace platform::registry {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

const char kHeader[] =
    "; Settings registry of this program. Each \"[ROOT\\path]\" line names a key;\n"
    "; the lines below it are its values: name=type:data, where the name is \"@\"\n"
    "; for the key's default value, and the type is sz:\"text\", dword:decimal,\n"
    "; binary:hex, none:hex or hex(type number):hex.\n";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void AppendHexByte(std::string& out, unsigned char byte) {
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Bytes of text that are not part of a well-formed UTF-8 sequence: they are
// escaped, so that the file is always UTF-8 text (anything else is taken for
// a damaged file when it is read).
std::vector<bool> StrayBytes(std::string_view text) {
    std::vector<bool> stray(text.size(), false);
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = Utf8SequenceAt(text, pos);
        if (n == 0) stray[pos] = true;
        pos += n == 0 ? 1 : n;
    }
    return stray;
}

std::string EscapeComponent(std::string_view name) {
    std::string out;
    const std::vector<bool> stray = StrayBytes(name);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char ch = name[i];
        auto c = static_cast<unsigned char>(ch);
        if (stray[i] || IsControl(c) || ch == '%' || ch == '[' || ch == ']' || ch == '\\' ||
            ch == '/') {
            out += '%';
            AppendHexByte(out, c);
        } else {
            out += ch;
        }
    }
    return out;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    const std::vector<bool> stray = StrayBytes(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        auto c = static_cast<unsigned char>(ch);
        if (stray[i]) {
            out += "\\x";
            AppendHexByte(out, c);
            continue;
        }
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (IsControl(c)) {
                out += "\\x";
                AppendHexByte(out, c);
            } else {
                out += ch;
            }
        }
    }
    return out + '"';
}

std::string Hex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        AppendHexByte(out, static_cast<unsigned char>(c));
    return out;
}

std::string ValueData(const Value& value) {
    switch (value.type) {
    case REG_SZ:
        return "sz:" + Quote(value.data);
    case REG_DWORD:
        if (value.data.size() == 4) {
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
            return "dword:" + std::to_string(n);
        }
        break;
    case REG_BINARY:
        return "binary:" + Hex(value.data);
    case REG_NONE:
        return "none:" + Hex(value.data);
    default:
        break;
    }
    return "hex(" + std::to_string(value.type) + "):" + Hex(value.data);
}

void SerializeNode(const Node& node, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& [lower, value] : node.values) {
        out += value.name.empty() ? std::string("@") : Quote(value.name);
        out += '=';
        out += ValueData(value);
        out += '\n';
    }
    for (const auto& [lower, child] : node.children)
        SerializeNode(*child, path + "\\" + EscapeComponent(child->name), out);
}

// A cursor over one line of the file.
class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}
    bool AtEnd() const { return m_pos == m_text.size(); }
    bool Take(char c) {
        if (AtEnd() || m_text[m_pos] != c) return false;
        ++m_pos;
        return true;
    }
    bool TakeWord(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return false;
        m_pos += word.size();
        return true;
    }
    std::string_view Rest() const { return m_text.substr(m_pos); }

    // A quoted string with escapes.
    bool Quoted(std::string& out) {
        if (!Take('"')) return false;
        while (!AtEnd()) {
            char c = m_text[m_pos++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd()) return false;
            char e = m_text[m_pos++];
            switch (e) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                if (m_pos + 2 > m_text.size()) return false;
                int hi = HexValue(m_text[m_pos]), lo = HexValue(m_text[m_pos + 1]);
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                m_pos += 2;
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool ParseHex(std::string_view text, std::string& out) {
    if (text.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int hi = HexValue(text[i]), lo = HexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

bool ParseDecimal(std::string_view text, std::uint32_t& out) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (n > 0xFFFFFFFFu) return false;
    out = static_cast<std::uint32_t>(n);
    return true;
}

bool ParseValue(std::string_view line, Value& value) {
    Reader r(line);
    if (!r.Take('@') && !r.Quoted(value.name)) return false;
    if (!r.Take('=')) return false;
    if (r.TakeWord("sz:")) {
        value.type = REG_SZ;
        if (!r.Quoted(value.data) || !r.AtEnd()) return false;
        return true;
    }
    if (r.TakeWord("dword:")) {
        std::uint32_t n = 0;
        if (!ParseDecimal(r.Rest(), n)) return false;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            value.data += static_cast<char>((n >> (8 * i)) & 0xFF);
        return true;
    }
    if (r.TakeWord("binary:")) {
        value.type = REG_BINARY;
    } else if (r.TakeWord("none:")) {
        value.type = REG_NONE;
    } else if (r.TakeWord("hex(")) {
        std::string_view rest = r.Rest();
        std::size_t close = rest.find("):");
        if (close == rest.npos || !ParseDecimal(rest.substr(0, close), value.type)) return false;
        r = Reader(rest.substr(close + 2));
    } else {
        return false;
    }
    if (!ParseHex(r.Rest(), value.data)) return false;
    // A string given as raw bytes is kept like any other string.
    if (value.type == REG_SZ)
        while (!value.data.empty() && value.data.back() == '\0')
            value.data.pop_back();
    return true;
}

// Splits "ROOT\a\b" into unescaped components; false on an empty component
// or a bad escape.
bool ParseKeyPath(std::string_view text, std::vector<std::string>& out) {
    std::string current;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\\') {
            if (current.empty()) return false;
            out.push_back(std::move(current));
            current.clear();
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) return false;
            int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            current += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            current += text[i];
        }
    }
    return true;
}

} // namespace

Node* Node::Child(std::string_view childName) const {
    auto it = children.find(LowerAscii(childName));
    return it == children.end() ? nullptr : it->second.get();
}

Node& Node::MakeChild(std::string_view childName) {
    auto& slot = children[LowerAscii(childName)];
    if (!slot) {
        slot = std::make_unique<Node>();
        slot->name = std::string(childName);
    }
    return *slot;
}

std::unique_ptr<Node> EmptyTree() {
    auto top = std::make_unique<Node>();
    for (const char* root : kRootNames)
        top->MakeChild(root);
    return top;
}

std::string Serialize(const Node& top) {
    std::string out = kHeader;
    for (const char* root : kRootNames)
        if (const Node* node = top.Child(root)) SerializeNode(*node, root, out);
    return out;
}

bool Parse(std::string_view text, std::unique_ptr<Node>& top, std::string* error) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // saved by a Windows editor
    auto tree = EmptyTree();
    Node* current = nullptr;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
        top = EmptyTree();
        return false;
    };
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        // Blanks around a line (and the CR of CR LF) are a hand editor's.
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            if (line.back() != ']') return fail("key line without ']'");
            std::vector<std::string> path;
            if (!ParseKeyPath(line.substr(1, line.size() - 2), path)) return fail("bad key path");
            Node* node = tree->Child(path.front());
            if (!node) return fail("unknown root " + path.front());
            for (std::size_t i = 1; i < path.size(); ++i)
                node = &node->MakeChild(path[i]);
            current = node;
            continue;
        }
        if (!current) return fail("value outside a key");
        Value value;
        if (!ParseValue(line, value)) return fail("bad value line");
        current->values[LowerAscii(value.name)] = std::move(value);
    }
    top = std::move(tree);
    return true;
}

} // namespace platform::registry
