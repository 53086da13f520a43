#pragma once

#include <cstdint>
#include <string_view>

namespace plentor {

// What the HTML converter does with a tag of a kind.
enum class HtmlTagClass : uint8_t {
    Container,   // the element becomes the current element when opened
    Void,        // the element is added without children
    Dropped,     // nothing is added; the words around it join up
};

// Extra properties of a kind, combined as bits.
enum HtmlTagFlag : uint8_t {
    kHtmlBlock = 1,          // its start tag closes an open p
    kHtmlUntracked = 2,      // never put on the open-element stack
    kHtmlClosesByName = 4,   // its end tag closes only an element of its own name
};

// The kinds of tag, one list: X(Kind, "name", class, flags).
#define PLENTOR_HTML_TAG_KINDS(X)                                            \
    X(A, "a", Container, 0)                                                  \
    X(Area, "area", Void, 0)                                                 \
    X(Address, "address", Container, kHtmlBlock)                             \
    X(Applet, "applet", Container, 0)                                        \
    X(B, "b", Dropped, 0)                                                    \
    X(Br, "br", Dropped, kHtmlUntracked)                                     \
    X(Big, "big", Dropped, 0)                                                \
    X(Body, "body", Container, kHtmlClosesByName)                            \
    X(Base, "base", Void, kHtmlUntracked)                                    \
    X(Basefont, "basefont", Void, 0)                                         \
    X(Blockquote, "blockquote", Container, kHtmlBlock)                       \
    X(Bgsound, "bgsound", Void, 0)                                           \
    X(Blink, "blink", Void, 0)                                               \
    X(Button, "button", Void, 0)                                             \
    X(Center, "center", Dropped, kHtmlBlock | kHtmlUntracked)                \
    X(Caption, "caption", Container, 0)                                      \
    X(Colgroup, "colgroup", Container, 0)                                    \
    X(Col, "col", Void, 0)                                                   \
    X(Dd, "dd", Container, 0)                                                \
    X(Del, "del", Container, 0)                                              \
    X(Div, "div", Container, kHtmlBlock)                                     \
    X(Dir, "dir", Container, 0)                                              \
    X(Dl, "dl", Container, 0)                                                \
    X(Dt, "dt", Container, 0)                                                \
    X(Em, "em", Dropped, 0)                                                  \
    X(Embed, "embed", Void, 0)                                               \
    X(Font, "font", Dropped, kHtmlUntracked)                                 \
    X(Form, "form", Container, kHtmlBlock)                                   \
    X(Frame, "frame", Void, 0)                                               \
    X(Frameset, "frameset", Container, 0)                                    \
    X(Fieldset, "fieldset", Void, 0)                                         \
    X(H1, "h1", Container, kHtmlBlock)                                       \
    X(H2, "h2", Container, kHtmlBlock)                                       \
    X(H3, "h3", Container, kHtmlBlock)                                       \
    X(H4, "h4", Container, kHtmlBlock)                                       \
    X(H5, "h5", Container, kHtmlBlock)                                       \
    X(H6, "h6", Container, kHtmlBlock)                                       \
    X(Head, "head", Container, 0)                                            \
    X(Hr, "hr", Void, 0)                                                     \
    X(Html, "html", Container, kHtmlClosesByName)                            \
    X(I, "i", Dropped, 0)                                                    \
    X(Img, "img", Void, kHtmlUntracked)                                      \
    X(Input, "input", Void, kHtmlUntracked)                                  \
    X(Iframe, "iframe", Void, 0)                                             \
    X(Isindex, "isindex", Void, 0)                                           \
    X(Ins, "ins", Container, 0)                                              \
    X(Ilayer, "ilayer", Void, 0)                                             \
    X(Kbd, "kbd", Void, 0)                                                   \
    X(Link, "link", Void, 0)                                                 \
    X(Li, "li", Container, 0)                                                \
    X(Label, "label", Void, 0)                                               \
    X(Layer, "layer", Void, 0)                                               \
    X(Legend, "legend", Void, 0)                                             \
    X(Meta, "meta", Void, 0)                                                 \
    X(Map, "map", Container, 0)                                              \
    X(Menu, "menu", Container, 0)                                            \
    X(Marquee, "marquee", Void, 0)                                           \
    X(Multicol, "multicol", Void, 0)                                         \
    X(Noscript, "noscript", Container, 0)                                    \
    X(Noframes, "noframes", Container, 0)                                    \
    X(Nobr, "nobr", Void, 0)                                                 \
    X(Noembed, "noembed", Void, 0)                                           \
    X(Nolayer, "nolayer", Void, 0)                                           \
    X(Option, "option", Container, 0)                                        \
    X(Object, "object", Void, 0)                                             \
    X(Ol, "ol", Container, 0)                                                \
    X(Optgroup, "optgroup", Void, 0)                                         \
    X(P, "p", Container, kHtmlBlock)                                         \
    X(Pre, "pre", Container, kHtmlBlock)                                     \
    X(Param, "param", Void, 0)                                               \
    X(S, "s", Dropped, 0)                                                    \
    X(Span, "span", Void, 0)                                                 \
    X(Strong, "strong", Dropped, 0)                                          \
    X(Script, "script", Container, 0)                                        \
    X(Style, "style", Container, 0)                                          \
    X(Select, "select", Container, 0)                                        \
    X(Small, "small", Dropped, 0)                                            \
    X(Strike, "strike", Dropped, 0)                                          \
    X(Sub, "sub", Dropped, 0)                                                \
    X(Sup, "sup", Dropped, 0)                                                \
    X(Server, "server", Void, 0)                                             \
    X(Tr, "tr", Container, kHtmlClosesByName)                                \
    X(Td, "td", Container, kHtmlClosesByName)                                \
    X(Table, "table", Container, kHtmlClosesByName)                          \
    X(Thead, "thead", Container, 0)                                          \
    X(Th, "th", Container, 0)                                                \
    X(Title, "title", Container, 0)                                          \
    X(Tfoot, "tfoot", Container, 0)                                          \
    X(Textarea, "textarea", Container, 0)                                    \
    X(Tt, "tt", Dropped, 0)                                                  \
    X(U, "u", Dropped, 0)                                                    \
    X(Ul, "ul", Container, 0)                                                \
    X(Wbr, "wbr", Void, 0)                                                   \
    X(Unknown, "unknown", Void, 0)

enum class HtmlTagKind : uint8_t {
#define PLENTOR_HTML_KIND_ENUM(kind, name, cls, flags) kind,
    PLENTOR_HTML_TAG_KINDS(PLENTOR_HTML_KIND_ENUM)
#undef PLENTOR_HTML_KIND_ENUM
};

// Maps a tag name to its kind by the name's first letters (the rules of
// each letter are tried in a fixed order, so a spacer tag counts as span and
// any name beginning "em" other than "emb..." counts as em), and tells what
// the converter does with each kind.
class HtmlTagTable {
public:
    struct KindInfo {
        const char* name;
        HtmlTagClass cls;
        uint8_t flags;
    };

    // The kind of a lower-case tag name (the bytes up to the first space,
    // tab, CR, LF, "/" or ">"); Unknown when no rule matches.
    static HtmlTagKind Lookup(std::string_view lowerName);

    static const KindInfo& Info(HtmlTagKind kind);

    static bool IsContainer(HtmlTagKind kind) { return Info(kind).cls == HtmlTagClass::Container; }
    static bool IsDropped(HtmlTagKind kind) { return Info(kind).cls == HtmlTagClass::Dropped; }
    static bool Has(HtmlTagKind kind, HtmlTagFlag flag) { return (Info(kind).flags & flag) != 0; }
};

} // namespace plentor
