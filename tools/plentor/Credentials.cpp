#include "Credentials.h"

#include "Command.h"
#include "StandardIo.h"

#include "platform/Files.h"
#include "platform/Terminal.h"
#include "services/NetrcFile.h"

#include <cstdint>
#include <string_view>

namespace plentor::cli {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view View(const std::vector<uint8_t>& bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The netrc file at path, refused when others may read or change it: it
// holds passwords, and one that others can change can send them elsewhere.
int ReadNetrc(const std::string& path, NetrcFile& netrc, std::string& why)
{
    platform::FileError err;
    platform::OthersAccess others;
    if (!platform::AccessByOthers(path.c_str(), others, err)) {
        why = "cannot read " + path + ": " + err.message;
        return kExitFailure;
    }
    if (others.read || others.write) {
        why = path + " is " + (others.read ? "readable" : "writable") + " by others; chmod 600 it";
        return kExitFailure;
    }
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFileUpTo(path.c_str(), NetrcFile::kMaxFileBytes, bytes, err)) {
        why = "cannot read " + path + ": " + err.message;
        return kExitFailure;
    }
    std::string malformed;
    if (netrc.Parse(View(bytes), malformed)) return kExitOk;
    why = path + ": " + malformed;
    return kExitFailure;
}

// The first line of text, without its line end or a byte-order mark.
std::string FirstLine(std::string_view text)
{
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return std::string(text);
}

} // namespace

bool Credentials::Take(const std::vector<std::string>& args, size_t& i, std::string& why)
{
    const std::string& flag = args[i];
    if (flag == "--netrc") {
        netrc_ = true;
        return true;
    }
    struct ValueFlag {
        const char* name;
        std::string Credentials::*value;
        bool Credentials::*seen;
    };
    static constexpr ValueFlag kValueFlags[] = {
        {"--login", &Credentials::login_, &Credentials::hasLogin_},
        {"--password", &Credentials::password_, &Credentials::hasPassword_},
        {"--password-file", &Credentials::passwordFile_, &Credentials::hasPasswordFile_},
    };
    for (const ValueFlag& f : kValueFlags) {
        if (flag != f.name) continue;
        if (i + 1 >= args.size()) {
            why = flag + " needs a value";
        } else {
            this->*(f.value) = args[++i];
            this->*(f.seen) = true;
        }
        return true;
    }
    return false;
}

int Credentials::Resolve(const Command& command, const std::string& host, Need need)
{
    std::string why;
    const int status = Find(host, need, why);
    if (status == kExitOk) return status;
    return status == kExitUsage ? UsageError(command, why) : Failure(command, why);
}

int Credentials::Find(const std::string& host, Need need, std::string& why)
{
    const int sources = int{hasPassword_} + int{hasPasswordFile_} + int{netrc_};
    if (sources > 1) {
        why = "give only one of --password, --password-file and --netrc";
        return kExitUsage;
    }
    if (netrc_) return FromNetrc(host, need, why);
    if (!hasLogin_) {
        if (sources == 0 && need == Need::Optional) return kExitOk;
        why = sources == 0 ? "--login and a password are required" : "a password needs --login";
        return kExitUsage;
    }
    if (hasPasswordFile_) return FromPasswordFile(why);
    if (hasPassword_) {
        hasAccount_ = true;
        return kExitOk;
    }
    return FromTerminal(why);
}

int Credentials::FromNetrc(const std::string& host, Need need, std::string& why)
{
    const std::string path = NetrcFile::DefaultPath();
    if (path.empty()) {
        why = "--netrc: neither NETRC nor HOME names a netrc file";
        return kExitFailure;
    }
    NetrcFile netrc;
    if (const int status = ReadNetrc(path, netrc, why); status != kExitOk) return status;
    NetrcFile::Account account;
    const std::string entry = "no entry for " + host + (hasLogin_ ? " with login " + login_ : std::string());
    if (!netrc.Find(host, hasLogin_ ? login_ : std::string(), account)) {
        if (need == Need::Optional && !hasLogin_) return kExitOk;
        why = entry + " in " + path;
        return kExitFailure;
    }
    if (!account.hasLogin || !account.hasPassword) {
        why = "the entry for " + host + " in " + path + " has no " + (account.hasLogin ? "password" : "login");
        return kExitFailure;
    }
    login_ = account.login;
    password_ = account.password;
    hasAccount_ = true;
    return kExitOk;
}

int Credentials::FromPasswordFile(std::string& why)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadInput(passwordFile_, kMaxPasswordFileBytes, bytes, reason)) {
        why = "cannot read " + InputName(passwordFile_) + (reason.empty() ? std::string() : ": " + reason);
        return kExitFailure;
    }
    password_ = FirstLine(View(bytes));
    hasAccount_ = true;
    return kExitOk;
}

int Credentials::FromTerminal(std::string& why)
{
    if (!platform::IsTerminal(stdin)) {
        why = "--login needs --password, --password-file or --netrc when standard input is no terminal";
        return kExitUsage;
    }
    if (!platform::ReadHiddenLine("Password for " + login_ + ": ", password_)) {
        why = "no password was typed";
        return kExitFailure;
    }
    hasAccount_ = true;
    return kExitOk;
}

} // namespace plentor::cli
