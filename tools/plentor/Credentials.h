#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The credential options in a command's synopsis and help text.
#define PLENTOR_CREDENTIAL_SYNOPSIS "[--login L] [--password P | --password-file FILE | --netrc]"
#define PLENTOR_CREDENTIAL_HELP                                                              \
    "  --login L             the account's name\n"                                          \
    "  --password P          its password; every user of the machine can read it\n"        \
    "                        while the command runs, so prefer one of the next two\n"      \
    "  --password-file FILE  the password is the first line of FILE ('-': standard input)\n" \
    "  --netrc               the account of the netrc file's entry for the host (the\n"    \
    "                        file named by NETRC, else ~/.netrc; with --login, the\n"      \
    "                        entry of that login); refused when others may read it\n"      \
    "  With --login alone, the password is asked for on the terminal.\n"

namespace plentor::cli {

struct Command;

// The account options of the commands that log in: --login L with one of
// --password P, --password-file FILE and --netrc, or the password typed at
// the terminal without echo.
class Credentials {
public:
    // Whether a command can do without an account.
    enum class Need { Required, Optional };
    // A password file holds one line; anything this large is the wrong file.
    static constexpr size_t kMaxPasswordFileBytes = 64 * 1024;

    // Takes args[i] when it is one of the options, with its value (i moves
    // to the value). False when it is not one; a taken option without its
    // value sets why.
    bool Take(const std::vector<std::string>& args, size_t& i, std::string& why);

    // Finds the account of host, the host the command's requests go to.
    // Returns kExitOk, or, after saying why on stderr, kExitUsage (options
    // that do not go together) or kExitFailure (a file that cannot be read
    // or has no account for host). With Need::Optional and no option given
    // there is no account and HasAccount() is false.
    int Resolve(const Command& command, const std::string& host, Need need);

    bool HasAccount() const { return hasAccount_; }
    const std::string& Login() const { return login_; }
    const std::string& Password() const { return password_; }

private:
    int Find(const std::string& host, Need need, std::string& why);
    int FromNetrc(const std::string& host, Need need, std::string& why);
    int FromPasswordFile(std::string& why);
    int FromTerminal(std::string& why);

    std::string login_, password_, passwordFile_;
    bool hasLogin_ = false, hasPassword_ = false, hasPasswordFile_ = false, netrc_ = false;
    bool hasAccount_ = false;
};

} // namespace plentor::cli
