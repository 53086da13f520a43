#include "services/NetrcFile.h"

#include "platform/Files.h"
#include "text/AsciiChars.h"

#include <cstdlib>

namespace plentor {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The byte a backslash escape inside quotes stands for.
char Unescaped(char c)
{
    switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
    }
}

// Splits the text into tokens and keeps the line number for messages.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    // The next token; false at the end of the text or on an error (why set).
    bool Next(std::string& token, std::string& why);
    // Skips the rest of the current line, then every line up to and
    // including the first empty one: the body of a macro.
    void SkipMacro();
    std::string Where() const { return "line " + std::to_string(line_) + ": "; }

private:
    void SkipBlanks();
    bool ReadQuoted(std::string& token, std::string& why);
    bool Take(char c, std::string& token, std::string& why);

    std::string_view text_;
    size_t at_ = 0;
    int line_ = 1;
};

void Tokens::SkipBlanks()
{
    for (; at_ < text_.size() && IsBlank(text_[at_]); ++at_)
        line_ += text_[at_] == '\n' ? 1 : 0;
}

bool Tokens::Take(char c, std::string& token, std::string& why)
{
    if (token.size() >= NetrcFile::kMaxTokenBytes) {
        why = Where() + "a token longer than " + std::to_string(NetrcFile::kMaxTokenBytes) + " bytes";
        return false;
    }
    token.push_back(c);
    return true;
}

bool Tokens::ReadQuoted(std::string& token, std::string& why)
{
    const std::string opened = Where();
    for (++at_; at_ < text_.size(); ++at_) {
        char c = text_[at_];
        if (c == '"') {
            ++at_;
            return true;
        }
        line_ += c == '\n' ? 1 : 0;
        if (c == '\\' && at_ + 1 < text_.size())
            c = Unescaped(text_[++at_]);
        if (!Take(c, token, why))
            return false;
    }
    why = opened + "a quote is left open";
    return false;
}

bool Tokens::Next(std::string& token, std::string& why)
{
    token.clear();
    SkipBlanks();
    if (at_ >= text_.size())
        return false;
    if (text_[at_] == '"')
        return ReadQuoted(token, why);
    for (; at_ < text_.size() && !IsBlank(text_[at_]); ++at_) {
        if (!Take(text_[at_], token, why))
            return false;
    }
    return true;
}

void Tokens::SkipMacro()
{
    bool lineEmpty = false;
    while (at_ < text_.size() && !(lineEmpty && text_[at_] == '\n')) {
        const char c = text_[at_++];
        if (c == '\n') {
            ++line_;
            lineEmpty = true;
        } else if (c != '\r') {
            lineEmpty = false;
        }
    }
    if (at_ < text_.size()) {
        ++at_;
        ++line_;
    }
}

bool IsKeyword(std::string_view token, std::string_view keyword) { return AsciiChars::EqualsNoCase(token, keyword); }

bool Fits(const NetrcFile::Account& account, std::string_view login)
{
    return login.empty() || (account.hasLogin && account.login == login);
}

} // namespace

bool NetrcFile::Parse(std::string_view text, std::string& why)
{
    entries_.clear();
    why.clear();
    Tokens tokens(text);
    std::string token;
    std::string value;
    while (tokens.Next(token, why)) {
        const bool machine = IsKeyword(token, "machine");
        if (machine || IsKeyword(token, "default")) {
            entries_.push_back(Entry{});
            entries_.back().isDefault = !machine;
            if (machine && !tokens.Next(entries_.back().host, why))
                break;
            continue;
        }
        if (IsKeyword(token, "macdef")) {
            if (tokens.Next(value, why))
                tokens.SkipMacro();
            continue;
        }
        const bool login = IsKeyword(token, "login");
        const bool password = IsKeyword(token, "password");
        if (!login && !password && !IsKeyword(token, "account"))
            continue;
        const std::string where = tokens.Where();
        if (!tokens.Next(value, why)) {
            if (why.empty())
                why = where + token + " without a value";
            break;
        }
        if (entries_.empty())
            continue;   // an account before the first entry belongs to none
        Account& account = entries_.back().account;
        if (login) {
            account.login = value;
            account.hasLogin = true;
        } else if (password) {
            account.password = value;
            account.hasPassword = true;
        }
    }
    if (why.empty() && !entries_.empty() && !entries_.back().isDefault && entries_.back().host.empty())
        why = tokens.Where() + "machine without a host";
    if (!why.empty())
        entries_.clear();
    return why.empty();
}

bool NetrcFile::Find(std::string_view host, std::string_view login, Account& out) const
{
    const Entry* fallback = nullptr;
    for (const Entry& entry : entries_) {
        if (!Fits(entry.account, login))
            continue;
        if (!entry.isDefault && AsciiChars::EqualsNoCase(entry.host, host)) {
            out = entry.account;
            return true;
        }
        if (entry.isDefault && fallback == nullptr)
            fallback = &entry;
    }
    if (fallback == nullptr)
        return false;
    out = fallback->account;
    return true;
}

std::string NetrcFile::DefaultPath()
{
    if (const char* named = std::getenv("NETRC"); named != nullptr && *named != '\0')
        return named;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        home = std::getenv("USERPROFILE");
    if (home == nullptr || *home == '\0')
        return std::string();
    const std::string dir = std::string(home) + platform::PathSeparator();
    const std::string dotted = dir + ".netrc";
    const std::string underscored = dir + "_netrc";
    if (!platform::FileExists(dotted.c_str()) && platform::FileExists(underscored.c_str()))
        return underscored;
    return dotted;
}

} // namespace plentor
