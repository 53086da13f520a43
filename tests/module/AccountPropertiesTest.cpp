// Login and Password of the objects that keep an account: what the host
// writes is what it reads back, through the active ANSI code page.
#include "module/DeliciousSubmit.h"
#include "module/Shadows.h"
#include "module/Simpy.h"

#include "services/ServiceWire.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::ScopedEnv;

template <typename Object>
class AccountPropertiesTest : public ::testing::Test {};

using AccountObjects = ::testing::Types<DeliciousSubmit, Shadows, Simpy>;
TYPED_TEST_SUITE(AccountPropertiesTest, AccountObjects);

TYPED_TEST(AccountPropertiesTest, FreshObjectReadsEmpty)
{
    TypeParam o;
    EXPECT_EQ(o.GetLogin(), u"");
    EXPECT_EQ(o.GetPassword(), u"");
}

TYPED_TEST(AccountPropertiesTest, ReadBackGoesThroughTheAnsiCodePage)
{
    struct Case {
        const char* name;
        const char16_t* written;   // may be null
        std::u16string read;
    };
    const Case cases[] = {
        {"plain", u"demo", u"demo"},
        {"null clears", nullptr, u""},
        {"empty clears", u"", u""},
        {"Latin letter survives 1252", u"Jos\u00e9", u"Jos\u00e9"},
        {"no place in 1252", u"\u4e2d\u6587", u"??"},
    };
    ScopedEnv acp("PLENTOR_ACP", "1252");
    TypeParam o;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        o.SetLogin(u"previous value");
        o.SetPassword(u"previous value");
        o.SetLogin(c.written);
        o.SetPassword(c.written);
        EXPECT_EQ(o.GetLogin(), c.read);
        EXPECT_EQ(o.GetPassword(), c.read);
    }
}

TYPED_TEST(AccountPropertiesTest, LoginAndPasswordAreSeparate)
{
    TypeParam o;
    o.SetLogin(u"first");
    o.SetLogin(u"second");
    o.SetPassword(u"secret");
    EXPECT_EQ(o.GetLogin(), u"second");
    EXPECT_EQ(o.GetPassword(), u"secret");
}

} // namespace
} // namespace plentor
