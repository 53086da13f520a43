#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

// The accounts of a netrc file, read as curl and ftp read it. "machine HOST"
// begins the entry of one host and "default" the entry of every other host;
// "login" and "password" give the entry's account ("account" is read and
// left unused, unknown words are skipped); "macdef NAME" begins a macro
// whose lines, up to the first empty line, are skipped. Tokens are separated
// by any white space and keywords are compared without ASCII case. A token
// may be quoted in double quotes, inside which \" \\ \n \r and \t stand for
// their characters.
class NetrcFile {
public:
    // A netrc holds a handful of accounts; a larger file is not one.
    static constexpr size_t kMaxFileBytes = 1024 * 1024;
    // Host names stop at 253 bytes and passwords far below this; a longer
    // token is a file that is not a netrc.
    static constexpr size_t kMaxTokenBytes = 4096;

    struct Account {
        std::string login;
        std::string password;
        bool hasLogin = false;
        bool hasPassword = false;
    };

    // Reads the text of a netrc file, replacing the entries read before.
    // False, with why set ("line 3: ..."), when it is malformed: a keyword
    // without its value, a quote left open, a token longer than kMaxTokenBytes.
    bool Parse(std::string_view text, std::string& why);

    // The account of host (compared without ASCII case): the first machine
    // entry of host whose login is login (any login when login is empty),
    // else the default entry when its login fits the same rule. False when
    // no entry fits.
    bool Find(std::string_view host, std::string_view login, Account& out) const;

    // The file to read: the one the environment variable NETRC names, else
    // .netrc in the home directory (HOME, or USERPROFILE when HOME is unset),
    // or _netrc there when only that exists, the name Windows programs use.
    // Empty when neither variable is set.
    static std::string DefaultPath();

private:
    struct Entry {
        std::string host;   // empty for the default entry
        bool isDefault = false;
        Account account;
    };

    std::vector<Entry> entries_;
};

} // namespace plentor
