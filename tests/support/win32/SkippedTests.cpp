#include "support/SkippedTests.h"

namespace plentor::testsupport {

// Kept short: every other test runs under Wine, against the same loopback
// servers (nginx, openssl and python3 are the machine's Unix programs, see
// ChildProcess).
const std::vector<SkippedTests::Entry>& SkippedTests::List()
{
    static const std::vector<Entry> list = {
        {"SChannelPeerTest.*",
         "the scripted TLS peer (support/TlsPeer) is built on OpenSSL, which has no Windows build in Debian"},
        {"Versions/SChannelNginxProtocolTest.CarriesKeepAliveRequests/Tls13",
         "Wine's Schannel offers TLS 1.2 at most, so a server limited to TLS 1.3 has no version in common with it "
         "(TLS 1.3 is asked for, and TLS 1.2 servers are reached, in every other TLS test)"},
        {"CharsetTest.AnsiCodePageWithoutCanonicalNameClears:"
         "XStringTest.UnsupportedCodePageGivesEmptyLossyAnsi:"
         "XStringTest.Utf8CodePageMakesAnsiTheUtf8Bytes:"
         "XStringTest.AnsiFormUsesTheActiveCodePageTable:"
         "XStringTest.FormsAreRememberedUntilTheValueChanges:"
         "XStringTest.LengthCountsAnsiBytesOrUtf16Units",
         "switch the ANSI code page to one other than the system's; Windows keeps the page GetACP gives at start "
         "(1252 under Wine) for the life of the process"},
        {"DateParserTest.FormatRfc822AppendsTheLocalOffset:"
         "DateParserTest.FormatRfc822ClampsNamesOutOfRange:"
         "DateParserTest.FormatRfc822OutputParsesBack:"
         "DateParserTest.FormatLocalNowWritesBrowserStyleTime:"
         "FurlClientTest.StoreDateCarriesTheZoneOffset",
         "set the time zone through TZ; Windows takes the zone from the system (GetTimeZoneInformation)"},
        {"CodePageTablesTest.TablesAgreeWithIconvExceptListedDifferences",
         "compares the tables with the C library's iconv, which the Windows C runtime lacks (compiled only where "
         "<iconv.h> exists)"},
    };
    return list;
}

} // namespace plentor::testsupport
