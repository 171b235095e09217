#include "tests/agent/result_rows_of.h"

#include "agent/row_file_writer.h"
#include "agent/site_database.h"
#include "engine/database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::testing_support {

std::string resultRowsOf(const ScratchDatabase& site, const std::string& select) {
  const std::filesystem::path file = site.path().parent_path() / "check.rows";
  {
    agent::SiteDatabase database("127.0.0.1/3050", site.path().string(),
                                 agent::Credentials{Database::kUserName, Database::kPassword});
    agent::RowFileWriter writer(file);
    database.prepareSelect(select)->writeRows(writer);
    writer.finish();
  }
  return readFile(file);
}

}  // namespace mirrox::testing_support
