// Every page of two large real-world manuals (Debian's python3-doc and
// apache2-doc packages) through the HTML converter: each result must load
// back as XML and keep the page's text, and the text read straight from
// the converter must be the document's.
#include "markup/ClsHtmlToXml.h"

#include "base/LogNull.h"
#include "markup/ClsXml.h"
#include "markup/HtmlPageText.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PLENTOR_HTML_CORPUS_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLENTOR_HTML_CORPUS_UNDER_ASAN 1
#endif
#endif

namespace plentor {
namespace {

namespace fs = std::filesystem;

const char* const kCorpusRoots[] = {
    "/usr/share/doc/python3-doc/html",
    "/usr/share/doc/apache2-doc/manual",
};

#ifdef PLENTOR_HTML_CORPUS_UNDER_ASAN
// The instrumented build is several times slower: a fixed sample keeps the
// run short while still covering every kind of page.
constexpr size_t kEveryNthFile = 4;
#else
constexpr size_t kEveryNthFile = 1;
#endif

std::vector<fs::path> CorpusFiles()
{
    std::vector<fs::path> files;
    for (const char* root : kCorpusRoots) {
        std::error_code ec;
        // The python3-doc directory is a symbolic link into the versioned package.
        fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->path().extension() == ".html" && it->is_regular_file(ec))
                files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(HtmlToXmlCorpusTest, EveryPageOfTwoManualsLoadsBackAsXml)
{
    const std::vector<fs::path> files = CorpusFiles();
    if (files.empty())
        GTEST_SKIP() << "no pages under /usr/share/doc/python3-doc/html or /usr/share/doc/apache2-doc/manual "
                        "(install python3-doc and apache2-doc)";
    for (size_t i = 0; i < files.size(); i += kEveryNthFile) {
        const std::string page = ReadBytes(files[i]);
        ClsHtmlToXml converter;
        converter.SetHtml(page);
        StringBuffer xml;
        ASSERT_TRUE(converter.ToXml(xml)) << files[i];
        ClsXml loaded;
        ASSERT_TRUE(loaded.LoadXml(xml)) << files[i];
        EXPECT_EQ(loaded.TagName().ToStdString(), "root") << files[i];
        StringBuffer text;
        loaded.GetTextOfTag("text", text, "script|style");
        // Every page of both manuals has readable text; losing it all is a fault.
        EXPECT_FALSE(text.IsEmpty()) << files[i];
        // Page info reads the same text straight from the converter.
        StringBuffer collected;
        LogNull log;
        EXPECT_TRUE(HtmlPageText::Collect(page, "script|style", collected, log)) << files[i];
        EXPECT_TRUE(collected == text) << files[i];
    }
}

} // namespace
} // namespace plentor
