#pragma once

#include "text/StringBuffer.h"
#include "text/ZentrelObject.h"

#include <memory>
#include <string_view>
#include <vector>

namespace plentor {

class LogBase;

// One cookie as received in a "Set-Cookie" or "Set-Cookie2" response field:
// its name=value items in order of arrival plus the attributes. Expiry data
// and the secure flag are kept and stored but never consulted.
class Cookie : public ZentrelObject {
public:
    // Browsers keep a cookie's name and value within 4096 bytes; a field
    // twice that size is not a cookie any server means to set.
    static constexpr int kMaxFieldBytes = 8192;
    // A cookie normally carries one item; this bounds what one field (and one
    // stored cookie element) can pile up.
    static constexpr int kMaxPairs = 50;

    // The response field a cookie came from.
    enum class FieldKind {
        SetCookie,    // "Set-Cookie": version 0
        SetCookie2,   // "Set-Cookie2": version 1 unless its "version" attribute says 0
    };

    struct Pair {
        StringBuffer name;
        StringBuffer value;
    };

    Cookie() = default;
    virtual ~Cookie();

    // Resets the cookie and fills it from a field value. False, with a log
    // line, for a null or over-long value or one that yields no name=value
    // item. Items whose name cannot be stored (see IsStorableName) or whose
    // value holds control bytes are dropped with a log line.
    bool ParseSetCookie(const char* value, FieldKind kind, LogBase& log);

    // The cookie of one response field: null for a field other than
    // "Set-Cookie"/"Set-Cookie2", a value that does not parse, or a cookie
    // without a domain when defaultDomain is null or empty.
    static std::unique_ptr<Cookie> FromResponseField(const char* fieldName, const char* value,
                                                     const char* defaultDomain, LogBase& log);

    // Whether the cookie goes with a request to this host and path. The host
    // must equal the cookie's domain (without its leading ".") or end with "."
    // and that domain, ASCII case-insensitively; an empty domain matches any
    // host. A cookie path other than "" and "/" must prefix a given path.
    bool MatchesRequest(const char* domain, const char* path) const;

    // Replaces the value of the item with that name (ASCII case-insensitive)
    // or appends a new item. Beyond kMaxPairs items a new name is ignored.
    void SetPair(const char* name, const char* value);

    // A name that survives the cookie document: ASCII letters, digits and
    // "#$%*+-.^_`|~" (the cookie token characters that are safe as an XML tag).
    static bool IsStorableName(std::string_view name);

    const std::vector<Pair>& Pairs() const { return pairs_; }
    int Version() const { return version_; }
    bool IsSecure() const { return secure_; }
    bool IsDiscard() const { return discard_; }
    int MaxAge() const { return maxAge_; }
    const StringBuffer& Domain() const { return domain_; }
    const StringBuffer& Path() const { return path_; }
    const StringBuffer& Expire() const { return expire_; }

    void SetVersion(int version) { version_ = version; }
    void SetSecure(bool on) { secure_ = on; }
    void SetDiscard(bool on) { discard_ = on; }
    void SetMaxAge(int seconds) { maxAge_ = seconds; }
    void SetDomain(const char* domain) { domain_.SetString(domain); }
    void SetPath(const char* path) { path_.SetString(path); }
    void SetExpire(const char* expire) { expire_.SetString(expire); }

private:
    void Reset();
    // One ";"-separated piece, already trimmed and not empty. Sets
    // versionSeen when it is a valid "version" attribute.
    void ApplyPiece(const StringBuffer& piece, bool& versionSeen, LogBase& log);
    void ApplyAttribute(const StringBuffer& name, const StringBuffer& value, bool& versionSeen, LogBase& log);

    std::vector<Pair> pairs_;    // in order of arrival
    int version_ = 0;            // 0 for "Set-Cookie", 1 for "Set-Cookie2"
    bool secure_ = false;
    StringBuffer domain_;        // "domain" attribute, or the default domain
    StringBuffer path_;          // "path" attribute; empty when absent
    StringBuffer expire_;        // "expires" text, unparsed
    bool discard_ = false;
    int maxAge_ = 0;
};

} // namespace plentor
