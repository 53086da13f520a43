#include "module/RegistryScript.h"

#include <algorithm>
#include <utility>

namespace plentor {

using platform::RegistryRoot;

namespace {

// Registration scripts are a few hundred bytes; anything near these limits is
// not a script of ours, and the limits keep a broken one from taking the
// parser's stack or the process's memory.
constexpr size_t kMaxScriptChars = 64 * 1024;
constexpr int kMaxDepth = 32;
// Replacement names are short identifiers such as MODULE.
constexpr size_t kMaxReplacementName = 31;

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

bool EqualsNoCase(const std::u16string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char16_t x = a[i], y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<char16_t>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct RootName {
    const char* shortName;
    const char* longName;
    RegistryRoot root;
};

constexpr RootName kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
    {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
    {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
    {"HKU", "HKEY_USERS", RegistryRoot::Users},
    {"HKCC", "HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig},
};

// Keys the registry itself depends on: removed only when nothing is left in them.
bool IsProtectedName(const std::u16string& name) { return EqualsNoCase(name, "CLSID") || EqualsNoCase(name, "TYPELIB"); }

// Tokens are separated by white space, as in the registry script language;
// a quoted string is one token whatever it holds ('' is one quote).
class Tokenizer {
public:
    explicit Tokenizer(const std::u16string& text) : text_(text) {}

    // False at the end of the text; an unterminated quote sets error.
    bool Next(std::u16string& token, bool& quoted)
    {
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            ++pos_;
        if (pos_ >= text_.size())
            return false;
        token.clear();
        quoted = text_[pos_] == '\'';
        if (!quoted) {
            while (pos_ < text_.size() && !IsSpace(text_[pos_]))
                token.push_back(text_[pos_++]);
            return true;
        }
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                unterminated = true;
                return false;
            }
            const char16_t c = text_[pos_++];
            if (c != '\'') {
                token.push_back(c);
            } else if (pos_ < text_.size() && text_[pos_] == '\'') {
                token.push_back('\'');
                ++pos_;
            } else {
                return true;
            }
        }
    }

    bool unterminated = false;

private:
    const std::u16string& text_;
    size_t pos_ = 0;
};

class Parser {
public:
    explicit Parser(const std::u16string& text) : tokens_(text) {}

    bool Parse(std::vector<RegistryScript::RootBlock>& out)
    {
        std::u16string token;
        while (Advance()) {
            RegistryScript::RootBlock block{RegistryRoot::ClassesRoot, {}};
            if (quoted_ || !RootOf(token_, block.root))
                return Fail("unknown root key '" + Narrow(token_) + "'");
            if (!Advance() || quoted_ || token_ != u"{")
                return Fail("'{' expected after the root key");
            if (!ParseBlock(block.keys, 1))
                return false;
            out.push_back(std::move(block));
        }
        return !tokens_.unterminated || Fail("a quoted string does not end");
    }

    const std::string& Error() const { return error_; }

private:
    bool Advance()
    {
        if (!tokens_.Next(token_, quoted_))
            return false;
        return true;
    }

    bool Fail(std::string message)
    {
        if (error_.empty())
            error_ = std::move(message);
        return false;
    }

    static bool RootOf(const std::u16string& name, RegistryRoot& root)
    {
        for (const RootName& r : kRoots) {
            if (EqualsNoCase(name, r.shortName) || EqualsNoCase(name, r.longName)) {
                root = r.root;
                return true;
            }
        }
        return false;
    }

    // "= s 'text'": the string after the equals sign.
    bool ParseStringValue(std::u16string& value)
    {
        if (!Advance() || quoted_ || !EqualsNoCase(token_, "s"))
            return Fail("only string values (s) are supported");
        if (!Advance() || !quoted_)
            return Fail("a quoted string expected after 's'");
        value = token_;
        return true;
    }

    // The items of a block up to its closing brace (the opening one is read).
    bool ParseBlock(std::vector<RegistryScript::Node>& nodes, int depth)
    {
        if (depth > kMaxDepth)
            return Fail("keys nested too deeply");
        bool pending = Advance();
        for (;;) {
            if (!pending)
                return Fail(tokens_.unterminated ? "a quoted string does not end" : "'}' missing at the end");
            if (!quoted_ && token_ == u"}")
                return true;
            RegistryScript::Node node;
            if (!ParseItem(node, depth, pending))
                return false;
            nodes.push_back(std::move(node));
        }
    }

    // One value or key; pending tells whether token_ already holds the
    // token after the item.
    bool ParseItem(RegistryScript::Node& node, int depth, bool& pending)
    {
        if (!quoted_ && EqualsNoCase(token_, "val")) {
            node.isValue = true;
            if (!Advance())
                return Fail("a value name expected after 'val'");
            node.name = token_;
            if (!Advance() || quoted_ || token_ != u"=")
                return Fail("'=' expected after the value name");
            if (!ParseStringValue(node.value))
                return false;
            pending = Advance();
            return true;
        }
        if (!quoted_ && EqualsNoCase(token_, "ForceRemove")) {
            node.forceRemove = true;
            if (!Advance())
                return Fail("a key name expected after ForceRemove");
        } else if (!quoted_ && EqualsNoCase(token_, "NoRemove")) {
            node.noRemove = true;
            if (!Advance())
                return Fail("a key name expected after NoRemove");
        }
        if (!quoted_ && (token_ == u"{" || token_ == u"}" || token_ == u"="))
            return Fail("a key name expected, found '" + Narrow(token_) + "'");
        if (token_.empty() || token_.find(u'\\') != std::u16string::npos)
            return Fail("a key name may not be empty or hold a backslash");
        node.name = token_;
        pending = Advance();
        if (pending && !quoted_ && token_ == u"=") {
            node.hasDefault = true;
            if (!ParseStringValue(node.value))
                return false;
            pending = Advance();
        }
        if (pending && !quoted_ && token_ == u"{") {
            if (!ParseBlock(node.children, depth + 1))
                return false;
            pending = Advance();
        }
        return true;
    }

    Tokenizer tokens_;
    std::u16string token_;
    bool quoted_ = false;
    std::string error_;
};

std::u16string Join(const std::u16string& parent, const std::u16string& name)
{
    return parent.empty() ? name : parent + u'\\' + name;
}

} // namespace

RegistryScript::RegistryScript(std::u16string text, Replacements replacements, platform::Registry& registry)
    : text_(std::move(text)), replacements_(std::move(replacements)), registry_(registry)
{
}

// Replaces the %NAME% markers and parses the result, once.
bool RegistryScript::Prepare()
{
    if (!blocks_.empty() || !error_.empty())
        return error_.empty();
    if (text_.size() > kMaxScriptChars) {
        error_ = "the script is too long";
        return false;
    }
    std::u16string expanded;
    expanded.reserve(text_.size());
    for (size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] != '%') {
            expanded.push_back(text_[i]);
            continue;
        }
        const size_t end = text_.find(u'%', i + 1);
        if (end == std::u16string::npos) {
            error_ = "a replacement name does not end";
            return false;
        }
        const std::u16string name = text_.substr(i + 1, end - i - 1);
        i = end;
        if (name.empty()) {   // "%%"
            expanded.push_back(u'%');
            continue;
        }
        const auto found = replacements_.find(name);
        if (name.size() > kMaxReplacementName || found == replacements_.end()) {
            error_ = "no replacement for %" + Narrow(name) + "%";
            return false;
        }
        for (char16_t c : found->second) {
            expanded.push_back(c);
            if (c == u'\'')
                expanded.push_back(u'\'');
        }
    }
    Parser parser(expanded);
    if (!parser.Parse(blocks_)) {
        blocks_.clear();
        error_ = parser.Error();
        return false;
    }
    return true;
}

long RegistryScript::Register()
{
    if (!Prepare())
        return kInvalidScript;
    done_.clear();
    for (const RootBlock& block : blocks_) {
        const long error = RegisterKeys(block.root, u"", block.keys);
        if (error != 0) {
            Undo();
            return error;
        }
    }
    done_.clear();
    return 0;
}

long RegistryScript::RegisterKeys(RegistryRoot root, const std::u16string& parent, const std::vector<Node>& nodes)
{
    for (const Node& node : nodes) {
        if (node.isValue) {
            const long error = registry_.SetString(root, parent, node.name, node.value);
            if (error != 0) {
                error_ = "could not set value " + Narrow(node.name) + " of " + Narrow(parent);
                return error;
            }
            done_.push_back({root, parent, node.name, false});
            continue;
        }
        const std::u16string path = Join(parent, node.name);
        if (node.forceRemove && !IsProtectedName(node.name) && registry_.KeyExists(root, path)) {
            const long error = registry_.DeleteTree(root, path);
            if (error != 0) {
                error_ = "could not remove key " + Narrow(path);
                return error;
            }
        }
        const bool existed = registry_.KeyExists(root, path);
        long error = registry_.CreateKey(root, path);
        if (error != 0) {
            error_ = "could not create key " + Narrow(path);
            return error;
        }
        if (!existed)
            done_.push_back({root, path, u"", true});
        if (node.hasDefault) {
            error = registry_.SetString(root, path, u"", node.value);
            if (error != 0) {
                error_ = "could not set the default value of " + Narrow(path);
                return error;
            }
            if (existed)
                done_.push_back({root, path, u"", false});
        }
        error = RegisterKeys(root, path, node.children);
        if (error != 0)
            return error;
    }
    return 0;
}

// Takes back what a failed registration wrote, newest first.
void RegistryScript::Undo()
{
    for (auto step = done_.rbegin(); step != done_.rend(); ++step) {
        if (step->createdKey)
            registry_.DeleteTree(step->root, step->path);
        else if (registry_.KeyExists(step->root, step->path))
            registry_.DeleteValue(step->root, step->path, step->valueName);
    }
    done_.clear();
}

long RegistryScript::Unregister()
{
    if (!Prepare())
        return kInvalidScript;
    for (const RootBlock& block : blocks_) {
        const long error = UnregisterKeys(block.root, u"", block.keys);
        if (error != 0)
            return error;
    }
    return 0;
}

long RegistryScript::UnregisterKeys(RegistryRoot root, const std::u16string& parent, const std::vector<Node>& nodes)
{
    for (const Node& node : nodes) {
        if (node.isValue) {
            if (registry_.KeyExists(root, parent))
                registry_.DeleteValue(root, parent, node.name);
            continue;
        }
        const std::u16string path = Join(parent, node.name);
        if (!registry_.KeyExists(root, path))
            continue;
        long error = UnregisterKeys(root, path, node.children);
        if (error != 0)
            return error;
        if (node.noRemove)
            continue;
        const bool force = node.forceRemove && !IsProtectedName(node.name);
        if (force || !registry_.HasSubkeys(root, path)) {
            error = registry_.DeleteTree(root, path);
            if (error != 0) {
                error_ = "could not remove key " + Narrow(path);
                return error;
            }
        }
    }
    return 0;
}

} // namespace plentor
