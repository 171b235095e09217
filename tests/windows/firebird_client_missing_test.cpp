#include <gtest/gtest.h>

#include <string>

#include "fb/status.h"

// Windows loads the Firebird client library when it is first needed. A machine without the client
// installed gets an error that names the library, on every attempt, instead of a crash.
namespace mirrox {
namespace {

TEST(FirebirdClientLibrary, MissingClientGivesAnErrorNamingItEachTimeItIsAskedFor) {
  const std::string expected = "The Firebird client library cannot be loaded: fbclient.dll: ";
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      fb::master();
      FAIL() << "a Firebird client library was found: this case needs a machine without one";
    } catch (const fb::Error& error) {
      const std::string text = error.what();
      EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
      EXPECT_GT(text.size(), expected.size()) << "no reason given";
    }
  }
}

}  // namespace
}  // namespace mirrox
