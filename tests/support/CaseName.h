#pragma once

#include <gtest/gtest.h>

#include <string>

namespace plentor::testsupport {

// Name generator for INSTANTIATE_TEST_SUITE_P over cases that carry their own
// `name`: each case is listed, filtered and reported under that name (letters,
// digits and '_' only; GoogleTest stops at start-up on an invalid or repeated one).
struct ByCaseName {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return std::string(info.param.name);
    }
};

} // namespace plentor::testsupport
