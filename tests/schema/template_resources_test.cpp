#include "schema/template_resources.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <ostream>
#include <string>

namespace {

QByteArray readAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return file.readAll();
}

struct TemplateCase {
  int dbType;
  const char* builtFile;
};

void PrintTo(const TemplateCase& c, std::ostream* os) { *os << "type " << c.dbType; }

class EmbeddedTemplate : public ::testing::TestWithParam<TemplateCase> {};

// Linking the library is enough: no initialisation call precedes the read.
TEST_P(EmbeddedTemplate, HoldsTheBuiltDatabaseByteForByte) {
  const char* resource = mirrox::templateResourcePath(GetParam().dbType);
  ASSERT_NE(resource, nullptr);
  const QByteArray embedded = readAll(QString::fromLatin1(resource));
  const QByteArray built = readAll(QString::fromLocal8Bit(GetParam().builtFile));
  ASSERT_FALSE(built.isEmpty()) << GetParam().builtFile;
  EXPECT_EQ(embedded.size(), built.size());
  EXPECT_TRUE(embedded == built);
  // A Firebird database starts with its header page: page type 1, pages of 4096 bytes.
  ASSERT_GE(embedded.size(), 4096);
  EXPECT_EQ(embedded.at(0), 1);
  EXPECT_EQ(embedded.size() % 4096, 0);
}

INSTANTIATE_TEST_SUITE_P(BothKinds, EmbeddedTemplate,
                         ::testing::Values(TemplateCase{0, MIRROX_METERING_TEMPLATE},
                                           TemplateCase{1, MIRROX_JOURNAL_TEMPLATE}),
                         [](const ::testing::TestParamInfo<TemplateCase>& param) {
                           return param.param.dbType == 0 ? std::string("Metering") : std::string("Journal");
                         });

TEST(TemplateResourcePath, NamesTheResourcesOfBothTypesAndNothingElse) {
  EXPECT_STREQ(mirrox::templateResourcePath(0), ":/DB/DB_L");
  EXPECT_STREQ(mirrox::templateResourcePath(1), ":/DB/DB_J");
  EXPECT_EQ(mirrox::templateResourcePath(2), nullptr);
  EXPECT_EQ(mirrox::templateResourcePath(-1), nullptr);
}

}  // namespace
