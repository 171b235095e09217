// The bytes the program carries, written out as they are, make a database the local server opens.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <string>
#include <string_view>

#include "schema/template_resources.h"
#include "tests/schema/schema_queries.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::test {
namespace {

using namespace testing_support;

class WrittenTemplate : public ::testing::TestWithParam<int> {};

TEST_P(WrittenTemplate, OpensOnTheServer) {
  QFile resource(QString::fromLatin1(templateResourcePath(GetParam())));
  ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
  const QByteArray bytes = resource.readAll();

  const TempDir dir;
  const ScratchDatabase scratch =
      ScratchDatabase::withBytes(dir.path(), GetParam() == 0 ? "serverdb.gdb" : "journal.db",
                                 std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  auto db = scratch.connect();
  const ObjectCounts c = countObjects(*db);
  EXPECT_EQ(c.tables, GetParam() == 0 ? 31 : 18);
  EXPECT_EQ(c.procedures, GetParam() == 0 ? 78 : 52);
}

INSTANTIATE_TEST_SUITE_P(BothTypes, WrittenTemplate, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return param.param == 0 ? std::string("Metering") : std::string("Journal");
                         });

}  // namespace
}  // namespace mirrox::test
