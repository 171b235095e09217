#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/query.h"

namespace mirrox {

struct LocalConnection;

// The most rows one pack of a call with `paramCount` inputs carries. The server's prepare time
// grows faster than the pack beyond about 1,600 inputs (and it refuses more than 32,767), while
// round trips stop mattering long before; a call that cannot fill two rows a pack is not packed.
std::size_t packRowsFor(std::size_t paramCount);

// One EXECUTE BLOCK that runs `call` (a statement with ":name" parameters, such as an "execute
// procedure") once for each of `rows` rows in order; its inputs are the call's parameters of the
// first row, then those of the second, and so on. Every input is declared as the text that the
// call's own statement is bound with (see Query), so a value reaches the call as it would alone.
std::string packStatement(std::string_view call, const std::vector<ParamInfo>& params, std::size_t rows);

// Applies bound rows with one call statement, in packs where it can: the rows of a full pack go to
// the server in one execution of the pack statement. A pack that fails is undone by the server as
// one statement, and its rows are then executed one call each with the call statement (`Qr`), so
// every row has the outcome it would have alone. Rows that do not fill a pack are executed one
// call each. Rows are executed in the order they were added, all in the active transaction.
class CallPack {
 public:
  // Called for a row whose own call failed (not for a lost connection, which is thrown), with the
  // error and the values shown for the row.
  using RowFailed = std::function<void(const std::string& error, std::span<const InputValue> shown)>;

  // REQUIRES: `local.Qr` holds the call, prepared, and `params` are its inputs. `rowsPerPack` 0
  // means packRowsFor(params.size()); below 2 every row is executed alone.
  CallPack(LocalConnection& local, std::string_view call, const std::vector<ParamInfo>& params,
           std::size_t rowsPerPack, RowFailed rowFailed);
  CallPack(const CallPack&) = delete;
  CallPack& operator=(const CallPack&) = delete;

  // Room for the next row: the values to bind and the values to show in a row error entry, both
  // one per parameter. The row counts once add() is called; a row left without add() is dropped.
  std::span<InputValue> nextBound();
  std::span<InputValue> nextShown();
  // Takes the row filled in through nextBound()/nextShown(); executes the pack when it is full.
  // Throws fb::Error when the connection is lost.
  void add();
  // Executes the rows taken and not yet executed, one call each. Throws as add() does.
  void flush();

  std::size_t rowsApplied() const { return applied_; }
  std::size_t rowsFailed() const { return failed_; }
  std::size_t packsApplied() const { return packs_; }

 private:
  void executePack();
  void executeAlone(std::size_t row);
  bool preparePack();

  LocalConnection& local_;
  std::string call_;
  const std::vector<ParamInfo>& params_;
  std::size_t width_;        // inputs per row
  std::size_t rowsPerPack_;  // 1: no packs
  RowFailed rowFailed_;
  Query pack_;
  bool packUsable_ = true;
  std::vector<InputValue> bound_;  // rowsPerPack_ rows of width_ values, row after row
  std::vector<InputValue> shown_;
  std::size_t pending_ = 0;
  std::size_t applied_ = 0;
  std::size_t failed_ = 0;
  std::size_t packs_ = 0;
};

}  // namespace mirrox
