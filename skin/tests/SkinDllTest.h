// Test helper: a skin DLL loaded for each test, its exports resolved under the test's decoration.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "SkinExports.h"

namespace skintest {

class SkinDllTest : public ::testing::TestWithParam<Decoration> {
protected:
    void Load(const wchar_t* name, bool withSkinCode)
    {
        dll_ = LoadLibraryW((ProgramFolder() + name).c_str());
        ASSERT_NE(dll_, nullptr);
        ASSERT_TRUE(api_.Resolve(dll_, GetParam(), withSkinCode)) << api_.missing;
    }
    void TearDown() override
    {
        if (dll_)
            FreeLibrary(dll_);
    }
    HMODULE dll_ = nullptr;
    SkinExports api_;
};

inline std::string DecorationParamName(const ::testing::TestParamInfo<Decoration>& info)
{
    return DecorationName(info.param);
}

} // namespace skintest

// Runs FIXTURE's parameterised tests under both decorations.
#define SKIN_BOTH_DECORATIONS(FIXTURE) \
    INSTANTIATE_TEST_SUITE_P(Names, FIXTURE, \
                             ::testing::Values(skintest::Decoration::MinGW, skintest::Decoration::Native), \
                             skintest::DecorationParamName)
