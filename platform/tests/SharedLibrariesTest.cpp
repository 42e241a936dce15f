// Libraries loaded on first use: a missing library or function is told by name instead of crashing the
// first caller, and a present one is called through the table like the linked one.
#include "platform/GioFunctions.h"
#include "platform/SharedLibraries.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

using kestrova::platform::LibraryFamily;

TEST(SharedLibrariesTest, MissingLibrariesAndFunctionsAreNamedAndPresentOnesAreCalled) {
    LibraryFamily missing({"libkestrova-never-installed.so.7"});
    decltype(&::zlibVersion) version = nullptr;
    missing.resolve(version, "zlibVersion");
    EXPECT_EQ(version, nullptr);
    EXPECT_NE(missing.problem().find("libkestrova-never-installed.so.7"), std::string::npos);

    LibraryFamily zlib({"libz.so.1"});
    decltype(&::deflateBound) bound = nullptr;
    zlib.resolve(version, "zlibVersion");
    zlib.resolve(bound, "kestrovaNoSuchFunction");
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version(), ::zlibVersion());
    EXPECT_EQ(bound, nullptr);
    EXPECT_NE(zlib.problem().find("kestrovaNoSuchFunction is missing"), std::string::npos);
}

TEST(SharedLibrariesTest, GioIsCalledThroughItsTableUnderItsOwnNames) {
    // The type macros expand to calls of their own, which must go through the table as well.
    GFile *file = g_file_new_for_path("/tmp");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(G_IS_DESKTOP_APP_INFO(file));
    g_object_unref(file);
    EXPECT_NE(kestrova::platform::gio().g_file_new_for_path, nullptr);
}
