#include "link/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "link/journal_rep.h"
#include "link/original_rep.h"
#include "link/protocol.h"

namespace mirrox {
namespace {

struct CatalogueRow {
  const char* name;
  const TCommand* command;
  const char* guid;
  std::uint8_t kind;
};

void PrintTo(const CatalogueRow& row, std::ostream* os) { *os << row.name; }

class CatalogueCommand : public testing::TestWithParam<CatalogueRow> {};

TEST_P(CatalogueCommand, HasItsGuidAndKindAndIsFoundByGuid) {
  const CatalogueRow& row = GetParam();
  EXPECT_EQ(row.command->Cmd, row.guid);
  EXPECT_EQ(row.command->Kind, row.kind);
  EXPECT_EQ(findCatalogueCommand(row.guid), row.command);
}

TEST_P(CatalogueCommand, StatementBreaksLinesOnlyWithCrLf) {
  const std::string& text = GetParam().command->Param;
  ASSERT_FALSE(text.empty());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      ASSERT_LT(i + 1, text.size());
      EXPECT_EQ(text[i + 1], '\n') << "lone CR at " << i;
    } else if (text[i] == '\n') {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(text[i - 1], '\r') << "lone LF at " << i;
    }
  }
  EXPECT_NE(text.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CatalogueCommand,
    testing::Values(CatalogueRow{"SelectAddress", &OriginalRep::CmdSelectAddress,
                                 "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}", KindSelect},
                    CatalogueRow{"SelectCurrentValues", &OriginalRep::CmdSelectCurrentValues,
                                 "{29819AB9-0808-4463-AB4D-DE6B3FCFB34A}", KindSelect},
                    CatalogueRow{"MarkArchive", &OriginalRep::CmdMarkArchive,
                                 "{A429281C-D55B-44BA-B96B-26FEDBC2015E}", KindExecute},
                    CatalogueRow{"SelectArchive", &OriginalRep::CmdSelectArchive,
                                 "{E576DF6D-9D1A-4E59-B808-6AE77DC10F97}", KindSelect},
                    CatalogueRow{"PurgeArchive", &OriginalRep::CmdPurgeArchive,
                                 "{D82E24F5-4EE6-43E1-AC6A-718C3CEF5C2D}", KindExecute},
                    CatalogueRow{"MarkRequests", &JournalRep::CmdMarkRequests,
                                 "{053D9F1B-8C82-4A0E-8426-21521484D343}", KindExecute},
                    CatalogueRow{"SelectRequests", &JournalRep::CmdSelectRequests,
                                 "{7B7F2344-E346-4A28-A64C-B17B7091ED98}", KindSelect},
                    CatalogueRow{"PurgeRequests", &JournalRep::CmdPurgeRequests,
                                 "{5B4E2347-969A-4B65-9BD4-C4B59A15E76A}", KindExecute},
                    CatalogueRow{"MarkEvents", &JournalRep::CmdMarkEvents,
                                 "{9AACCE59-2875-4847-824A-07C4FA0D220E}", KindExecute},
                    CatalogueRow{"SelectEvents", &JournalRep::CmdSelectEvents,
                                 "{F5121078-35A8-49F4-9454-746C7FD0F507}", KindSelect},
                    CatalogueRow{"PurgeEvents", &JournalRep::CmdPurgeEvents,
                                 "{1120E19E-2171-4A5D-B4F6-C0D67BCF1E8B}", KindExecute}),
    [](const testing::TestParamInfo<CatalogueRow>& row) { return std::string(row.param.name); });

TEST(Catalogue, ListsEveryGuidCommandOnceAndNothingElse) {
  std::set<std::string> guids;
  for (const TCommand* command : catalogueCommands()) {
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->Cmd.size(), 38u);
    guids.insert(command->Cmd);
  }
  EXPECT_EQ(guids.size(), 11u);
  EXPECT_EQ(catalogueCommands().size(), 11u);
}

TEST(Catalogue, LookupIsExactAndCaseSensitive) {
  EXPECT_EQ(findCatalogueCommand(""), nullptr);
  EXPECT_EQ(findCatalogueCommand("{c5403f4b-19f2-4b23-8c9f-29909f0c761c}"), nullptr);
  EXPECT_EQ(findCatalogueCommand("C5403F4B-19F2-4B23-8C9F-29909F0C761C"), nullptr);
  EXPECT_EQ(findCatalogueCommand("{C5403F4B-19F2-4B23-8C9F-29909F0C761C} "), nullptr);
}

TEST(Catalogue, SelectsFromADateAreTextCommandsWithOnePlaceholder) {
  for (const TCommand* command : {&OriginalRep::CmdSelectArchiveSince, &JournalRep::CmdSelectRequestsSince}) {
    EXPECT_TRUE(command->Cmd.empty());
    EXPECT_EQ(command->Kind, KindSelect);
    const std::size_t at = command->Param.find("'%s'");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(command->Param.find("%s", at + 3), std::string::npos);
  }
  // Without the capture table and without distinct: every request since the date.
  EXPECT_EQ(JournalRep::CmdSelectRequestsSince.Param.find("r_client"), std::string::npos);
  EXPECT_EQ(JournalRep::CmdSelectRequestsSince.Param.rfind("select ", 0), 0u);
  EXPECT_EQ(JournalRep::CmdSelectRequests.Param.rfind("select distinct ", 0), 0u);
}

TEST(Catalogue, EventSelectPrefixesTheTagWithTheFixedAddress) {
  EXPECT_NE(JournalRep::CmdSelectEvents.Param.find("'192.168.254.1 ' || trim (IT.name) as TAG"),
            std::string::npos);
  EXPECT_NE(JournalRep::CmdSelectEvents.Param.find("and r.status = 1"), std::string::npos);
  EXPECT_NE(JournalRep::CmdSelectRequests.Param.find("and r.status = 3"), std::string::npos);
}

// The generic commands have no GUID, so they always carry their parameter, an empty one included,
// and the agent reads each back with its kind from the table of docs/protocol.md.
TEST(Catalogue, GenericCommandsTravelWithTheirParameterAndKind) {
  const std::pair<TCommand, WireCommand> commands[] = {
      {openDatabaseCommand("C:\\DB\\site.gdb"), {"", 2, "C:\\DB\\site.gdb"}},
      {CmdCloseDatabase, {"", 3, ""}},
      {fetchResultCommand(17), {"", 4, "17"}},
      {fetchResultCommand(-3), {"", 4, "-3"}},
  };
  for (const auto& [command, read] : commands) {
    EXPECT_TRUE(command.Cmd.empty());
    EXPECT_EQ(readCommandLine(firstCommandLine(command)), read) << firstCommandLine(command);
  }
}

// Each trigger statement is the CREATE line, the activation line, "AS", "begin", the body, "end".
void expectTriggerShape(const std::string& text, const std::string& create, const std::string& activation) {
  EXPECT_EQ(text.rfind(create + "\r\n" + activation + "\r\nAS\r\nbegin\r\n", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 6), ";\r\nend");
}

TEST(PrepScripts, AreTextStatementsToExecuteInOrder) {
  ASSERT_EQ(OriginalRep::MeteringPrepScript.size(), 2u);
  ASSERT_EQ(JournalRep::JournalPrepScript.size(), 3u);
  for (const auto* script : {OriginalRep::MeteringPrepScript.data(), JournalRep::JournalPrepScript.data()}) {
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(script[i].Cmd.empty());
      EXPECT_EQ(script[i].Kind, KindExecute);
    }
  }
  EXPECT_EQ(OriginalRep::MeteringPrepScript[0].Param.rfind("CREATE TABLE REP_RASHOD2004 (\r\n", 0), 0u);
  expectTriggerShape(OriginalRep::MeteringPrepScript[1].Param, "CREATE TRIGGER RASHOD2004_AI0 FOR RASHOD2004",
                     "ACTIVE AFTER INSERT POSITION 0");
  EXPECT_EQ(JournalRep::JournalPrepScript[0].Param.rfind("CREATE TABLE R_CLIENT (\r\n", 0), 0u);
  expectTriggerShape(JournalRep::JournalPrepScript[1].Param,
                     "CREATE OR ALTER TRIGGER JOURNAL_PEOPLE_ALERTS_AU1 FOR JOURNAL_PEOPLE_ALERTS",
                     "ACTIVE AFTER INSERT OR UPDATE POSITION 0");
  expectTriggerShape(JournalRep::JournalPrepScript[2].Param,
                     "CREATE OR ALTER TRIGGER JOURNAL_HARDWARE_AIU0 FOR JOURNAL_HARDWARE",
                     "ACTIVE AFTER INSERT OR UPDATE POSITION 0");
}

}  // namespace
}  // namespace mirrox
