#include "module/RegistryScript.h"

#include "support/CaseName.h"
#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>

namespace plentor {
namespace {

using platform::RegistryRoot;
using testsupport::MemoryRegistry;

// One class's script, in the shape the module registers every class with.
const char16_t kClassScript[] = uR"(HKCR
{
	Plentor.Simpy.1 = s 'Simpy Class'
	{
		CLSID = s '%CLSID%'
		'Insertable'
	}
	Plentor.Simpy = s 'Simpy Class'
	{
		CLSID = s '%CLSID%'
		CurVer = s 'Plentor.Simpy.1'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s 'Simpy Class'
		{
			ProgID = s 'Plentor.Simpy.1'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			ForceRemove 'ToolboxBitmap32' = s '%MODULE%, 117'
			'MiscStatus' = s '0'
			{
				'1' = s '132497'
			}
		}
	}
}
)";

const std::u16string kClsid = u"{00F53547-D326-4EFD-977A-D4567E19FD30}";
const std::u16string kClassKey = u"CLSID\\" + kClsid;

RegistryScript::Replacements ClassReplacements(const std::u16string& module)
{
    return {{u"MODULE", module}, {u"CLSID", kClsid}};
}

TEST(RegistryScriptTest, RegistersEveryKeyAndValueOfAClass)
{
    MemoryRegistry registry;
    RegistryScript script(kClassScript, ClassReplacements(u"C:\\Plentor\\Plentor.dll"), registry);
    ASSERT_EQ(script.Register(), 0) << script.Error();

    EXPECT_EQ(registry.Value(u"Plentor.Simpy.1"), u"Simpy Class");
    EXPECT_EQ(registry.Value(u"Plentor.Simpy.1\\CLSID"), kClsid);
    EXPECT_TRUE(registry.Has(u"Plentor.Simpy.1\\Insertable"));
    EXPECT_EQ(registry.Value(u"Plentor.Simpy\\CurVer"), u"Plentor.Simpy.1");
    EXPECT_EQ(registry.Value(kClassKey), u"Simpy Class");
    EXPECT_TRUE(registry.Has(kClassKey + u"\\Programmable"));
    EXPECT_EQ(registry.Value(kClassKey + u"\\InprocServer32"), u"C:\\Plentor\\Plentor.dll");
    EXPECT_EQ(registry.Value(kClassKey + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
    EXPECT_EQ(registry.Value(kClassKey + u"\\ToolboxBitmap32"), u"C:\\Plentor\\Plentor.dll, 117");
    EXPECT_EQ(registry.Value(kClassKey + u"\\MiscStatus\\1"), u"132497");
}

TEST(RegistryScriptTest, RegisteringTwiceRecreatesTheClassKeyAndUnregisteringLeavesClsid)
{
    MemoryRegistry registry;
    RegistryScript script(kClassScript, ClassReplacements(u"C:\\P.dll"), registry);
    ASSERT_EQ(script.Register(), 0);
    const size_t keys = registry.KeyCount();
    // Something left below the class key by hand goes with the forced key.
    registry.CreateKey(RegistryRoot::ClassesRoot, kClassKey + u"\\Stale");
    ASSERT_EQ(script.Register(), 0);
    EXPECT_EQ(registry.KeyCount(), keys);
    EXPECT_FALSE(registry.Has(kClassKey + u"\\Stale"));

    // Another program's class under CLSID stays, and so does CLSID.
    registry.CreateKey(RegistryRoot::ClassesRoot, u"CLSID\\{other}");
    ASSERT_EQ(script.Unregister(), 0);
    EXPECT_FALSE(registry.Has(u"Plentor.Simpy.1"));
    EXPECT_FALSE(registry.Has(u"Plentor.Simpy"));
    EXPECT_FALSE(registry.Has(kClassKey));
    EXPECT_TRUE(registry.Has(u"CLSID"));
    EXPECT_TRUE(registry.Has(u"CLSID\\{other}"));
    EXPECT_EQ(script.Unregister(), 0) << "keys that are gone are skipped";
}

TEST(RegistryScriptTest, AModulePathWithAQuoteReadsBackAsOneQuote)
{
    MemoryRegistry registry;
    RegistryScript script(kClassScript, ClassReplacements(u"C:\\it's here\\Plentor.dll"), registry);
    ASSERT_EQ(script.Register(), 0) << script.Error();
    EXPECT_EQ(registry.Value(kClassKey + u"\\InprocServer32"), u"C:\\it's here\\Plentor.dll");
}

TEST(RegistryScriptTest, PlainKeysGoOnlyWhenNothingIsLeftBelowThem)
{
    MemoryRegistry registry;
    const char16_t text[] = u"HKCU { Software { NoRemove Kept { Mine = s 'x' } Shared { Ours } } }";
    RegistryScript script(text, {}, registry);
    ASSERT_EQ(script.Register(), 0) << script.Error();
    registry.CreateKey(RegistryRoot::CurrentUser, u"Software\\Shared\\Theirs");
    ASSERT_EQ(script.Unregister(), 0);
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::CurrentUser, u"Software\\Kept")) << "NoRemove";
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::CurrentUser, u"Software\\Kept\\Mine")) << "its block still runs";
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::CurrentUser, u"Software\\Shared\\Ours"));
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::CurrentUser, u"Software\\Shared\\Theirs"));
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::CurrentUser, u"Software\\Shared"));
}

TEST(RegistryScriptTest, ForceRemoveNeverTakesClsidOrTypelib)
{
    MemoryRegistry registry;
    registry.CreateKey(RegistryRoot::ClassesRoot, u"CLSID\\{someone-else}");
    registry.CreateKey(RegistryRoot::ClassesRoot, u"TypeLib\\{someone-else}");
    RegistryScript script(u"HKCR { ForceRemove CLSID { ForceRemove {mine} } ForceRemove TYPELIB }", {}, registry);
    ASSERT_EQ(script.Register(), 0) << script.Error();
    EXPECT_TRUE(registry.Has(u"CLSID\\{someone-else}"));
    ASSERT_EQ(script.Unregister(), 0);
    EXPECT_FALSE(registry.Has(u"CLSID\\{mine}"));
    EXPECT_TRUE(registry.Has(u"CLSID\\{someone-else}"));
    EXPECT_TRUE(registry.Has(u"TypeLib\\{someone-else}"));
}

TEST(RegistryScriptTest, AFailedWriteTakesBackWhatTheRunWrote)
{
    // Fail each write in turn: whatever the point, nothing of the script stays.
    for (int n = 1; n <= 25; ++n) {
        SCOPED_TRACE(n);
        MemoryRegistry registry;
        registry.CreateKey(RegistryRoot::ClassesRoot, u"CLSID\\{other}");
        const size_t before = registry.KeyCount();
        registry.FailWriteNumber(n);
        RegistryScript script(kClassScript, ClassReplacements(u"C:\\P.dll"), registry);
        const long error = script.Register();
        if (error == 0)
            break;   // past the last write
        EXPECT_EQ(error, MemoryRegistry::kFailure);
        EXPECT_FALSE(script.Error().empty());
        EXPECT_EQ(registry.KeyCount(), before);
        EXPECT_TRUE(registry.Has(u"CLSID\\{other}"));
    }
}

struct ReplacementCase {
    const char* name;
    const char16_t* text;
    long result;
    const char16_t* expectedValue;   // of key K when it registers
};

void PrintTo(const ReplacementCase& c, std::ostream* os)
{
    *os << c.name << ": " << ::testing::PrintToString(c.text) << " returns " << c.result << ", K = "
        << ::testing::PrintToString(c.expectedValue);
}

class ReplacementTest : public ::testing::TestWithParam<ReplacementCase> {};

TEST_P(ReplacementTest, Expands)
{
    const ReplacementCase& c = GetParam();
    MemoryRegistry registry;
    RegistryScript script(c.text, {{u"MODULE", u"m.dll"}, {u"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG", u"long"}}, registry);
    EXPECT_EQ(script.Register(), c.result) << script.Error();
    if (c.result == 0)
        EXPECT_EQ(registry.Value(u"K"), c.expectedValue);
    else
        EXPECT_FALSE(script.Error().empty());
}

const ReplacementCase kReplacementCases[] = {
    {"Module", u"HKCR { K = s '%MODULE%' }", 0, u"m.dll"},
    {"Percent", u"HKCR { K = s '100%% of %MODULE%' }", 0, u"100% of m.dll"},
    {"Undefined", u"HKCR { K = s '%NOTDEFINED%' }", RegistryScript::kInvalidScript, nullptr},
    {"NameTooLong", u"HKCR { K = s '%ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG%' }", RegistryScript::kInvalidScript, nullptr},
    {"Unterminated", u"HKCR { K = s '%MODULE }", RegistryScript::kInvalidScript, nullptr},
};

INSTANTIATE_TEST_SUITE_P(RegistryScript, ReplacementTest, ::testing::ValuesIn(kReplacementCases),
                         testsupport::ByCaseName());

struct SyntaxCase {
    const char* name;
    const char16_t* text;
};

void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << c.name << ": " << ::testing::PrintToString(c.text); }

class SyntaxErrorTest : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(SyntaxErrorTest, FailsWithoutWriting)
{
    MemoryRegistry registry;
    RegistryScript script(GetParam().text, {}, registry);
    EXPECT_EQ(script.Register(), RegistryScript::kInvalidScript);
    EXPECT_FALSE(script.Error().empty());
    EXPECT_EQ(registry.KeyCount(), 0u);
}

const SyntaxCase kSyntaxCases[] = {
    {"UnknownRoot", u"HKXX { K }"},
    {"NoBlock", u"HKCR K"},
    {"UnclosedBlock", u"HKCR { K { L }"},
    {"UnclosedQuote", u"HKCR { K = s 'abc }"},
    {"DwordValue", u"HKCR { K = d '1' }"},
    {"ValWithoutString", u"HKCR { K { val V = s } }"},
    {"EmptyKeyName", u"HKCR { '' }"},
    {"Backslash", u"HKCR { 'A\\B' }"},
    {"TooDeep", u"HKCR { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a { a "
                u"{ a { a { a { a { a { a { a { a { a { a { a { a } } } } } } } } } } } } } } } } } } } } } } } "
                u"} } } } } } } } } } } } } }"},
};

INSTANTIATE_TEST_SUITE_P(RegistryScript, SyntaxErrorTest, ::testing::ValuesIn(kSyntaxCases),
                         testsupport::ByCaseName());

TEST(RegistryScriptTest, LongRootNamesQuotedNamesAndSeveralRoots)
{
    MemoryRegistry registry;
    RegistryScript script(u"HKEY_CLASSES_ROOT { 'it''s' = s 'a ''quoted'' value' } HKLM { Software { val V = s 'v' } }",
                          {}, registry);
    ASSERT_EQ(script.Register(), 0) << script.Error();
    EXPECT_EQ(registry.Value(u"it's"), u"a 'quoted' value");
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::LocalMachine, u"Software"));
}

} // namespace
} // namespace plentor
