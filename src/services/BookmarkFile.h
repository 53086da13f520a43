#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

// The bookmarks of a browser's export, the file every browser writes and
// reads: "<!DOCTYPE NETSCAPE-Bookmark-file-1>", then nested lists in which
// "<DT><H3>Name</H3>" followed by "<DL><p>" opens a folder, "</DL>" closes
// it, and "<DT><A HREF=... TAGS=...>title</A>" is a bookmark, optionally
// followed by "<DD>description". Tag and attribute names are read without
// ASCII case, references are decoded, and white space in titles,
// descriptions and folder names is collapsed to single spaces.
class BookmarkFile {
public:
    // Exports keep each site's icon inline, a few KiB per bookmark; tens of
    // thousands of bookmarks stay below this.
    static constexpr size_t kMaxFileBytes = 128u * 1024 * 1024;
    // Deeper folders are still read; an entry keeps the names of its
    // outermost kMaxFolderDepth folders only.
    static constexpr size_t kMaxFolderDepth = 64;

    struct Entry {
        std::string url;                    // HREF, trimmed
        std::string title;                  // the link's text
        std::string description;            // the DD text after the link
        std::vector<std::string> tags;      // TAGS split at commas, trimmed, empty ones dropped
        std::vector<std::string> folders;   // the enclosing folders' names, outermost first
    };

    // Whether text is a bookmark file rather than a list of URLs, one a
    // line: its first byte after a UTF-8 byte-order mark and white space is
    // "<". A URL never begins so, and every export begins with its doctype
    // (or, from some browsers, a comment or a meta tag).
    static bool IsBookmarkFile(std::string_view text);

    // Reads the bookmarks of text, replacing those read before. The text is
    // UTF-8 unless a meta tag declares another charset, which is converted;
    // the entries are UTF-8. A link without HREF (or with an empty one) is
    // not an entry.
    void Load(std::string_view text);

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

} // namespace plentor
