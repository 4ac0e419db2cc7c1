#include "platform/glib/PermissionStoreMessages.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace pelunna::test {
namespace {

constexpr char applicationId[] = "com.pelunnalabs.Labs";

struct Case {
    const char* message;
    std::optional<bool> expected;
};

std::unique_ptr<GVariant, decltype(&g_variant_unref)> parse(const char* text) {
    GVariant* value = g_variant_parse(nullptr, text, nullptr, nullptr, nullptr);
    EXPECT_NE(value, nullptr) << text;
    return {value, g_variant_unref};
}

TEST(PermissionStoreMessages, ChangedFollowsTheEntryAndIgnoresAnyOtherShape) {
    const Case cases[] = {
        {"('devices', 'microphone', false, <0>, {'com.pelunnalabs.Labs': ['yes']})", true},
        {"('devices', 'microphone', true, <0>, {'com.pelunnalabs.Labs': ['yes']})", std::nullopt},
        {"('devices', 'camera', false, <0>, {'com.pelunnalabs.Labs': ['yes']})", false},
        {"('location', 'microphone', false, <0>, {'com.pelunnalabs.Labs': ['yes']})", false},
        {"('devices', 'microphone')", false},
        {"('devices', 'microphone', false, <0>, {'com.pelunnalabs.Labs': 'yes'})", false},
        {"('devices', 'microphone', false, {'com.pelunnalabs.Labs': ['yes']}, <0>)", false},
        {"()", false},
    };
    for (const Case& c : cases) {
        std::optional<bool> decision = false;
        platform::followChange(parse(c.message).get(), applicationId, decision);
        EXPECT_EQ(decision, c.expected) << c.message;
    }
}

TEST(PermissionStoreMessages, ALookupReplyOfAnotherShapeDecidesNothing) {
    const Case cases[] = {
        {"({'com.pelunnalabs.Labs': ['no']}, <0>)", false},
        // Only "yes" grants: any other answer the desktop stores refuses.
        {"({'com.pelunnalabs.Labs': ['ask']}, <0>)", false},
        {"({'com.pelunnalabs.Labs': ['no']}, 'data')", std::nullopt},
        {"({'com.pelunnalabs.Labs': 'no'}, <0>)", std::nullopt},
        {"('no',)", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::decisionInLookup(parse(c.message).get(), applicationId), c.expected)
            << c.message;
    }
}

}  // namespace
}  // namespace pelunna::test
