#include "engine/call_pack.h"

#include <algorithm>

#include "engine/local_connection.h"
#include "engine/param_check.h"
#include "fb/error.h"

namespace mirrox {
namespace {

constexpr std::size_t kInputsPerPack = 1600;
constexpr std::size_t kMaxRowsPerPack = 400;

std::string inputName(std::size_t row, std::size_t param) {
  return "P" + std::to_string(row) + "_" + std::to_string(param);
}

}  // namespace

std::size_t packRowsFor(std::size_t paramCount) {
  if (paramCount == 0) return 1;
  return std::clamp<std::size_t>(kInputsPerPack / paramCount, 1, kMaxRowsPerPack);
}

std::string packStatement(std::string_view call, const std::vector<ParamInfo>& params, std::size_t rows) {
  std::string inputs;
  std::string body;
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t param = 0; param < params.size(); ++param) {
      if (!inputs.empty()) inputs += ",\r\n";
      // The connection's character set, as the call's own statement binds its inputs.
      inputs += inputName(row, param) + " VARCHAR(" +
                std::to_string(std::max(1u, inputLength(params[param]))) + ") CHARACTER SET WIN1251 = ?";
    }
    body += renameNamedParameters(call, [row](std::size_t param) { return ":" + inputName(row, param); });
    body += ";\r\n";
  }
  return "EXECUTE BLOCK (" + inputs + ")\r\nAS\r\nBEGIN\r\n" + body + "END";
}

CallPack::CallPack(LocalConnection& local, std::string_view call, const std::vector<ParamInfo>& params,
                   std::size_t rowsPerPack, RowFailed rowFailed)
    : local_(local),
      call_(call),
      params_(params),
      width_(params.size()),
      rowsPerPack_(rowsPerPack == 0 ? packRowsFor(params.size()) : rowsPerPack),
      rowFailed_(std::move(rowFailed)),
      pack_(local.DB, local.TR) {
  if (width_ == 0) rowsPerPack_ = 1;
  bound_.resize(std::max<std::size_t>(rowsPerPack_, 1) * width_);
  shown_.resize(bound_.size());
}

std::span<InputValue> CallPack::nextBound() { return {bound_.data() + pending_ * width_, width_}; }

std::span<InputValue> CallPack::nextShown() { return {shown_.data() + pending_ * width_, width_}; }

void CallPack::add() {
  ++pending_;
  if (rowsPerPack_ < 2) {
    flush();
  } else if (pending_ == rowsPerPack_) {
    executePack();
  }
}

void CallPack::flush() {
  for (std::size_t row = 0; row < pending_; ++row) executeAlone(row);
  pending_ = 0;
}

bool CallPack::preparePack() {
  if (pack_.prepared()) return true;
  try {
    // The block's text refers to its own inputs by name; it goes to the server as it is.
    pack_.setParamCheck(false);
    pack_.setSql(packStatement(call_, params_, rowsPerPack_));
    pack_.prepare();
    return true;
  } catch (const fb::Error& error) {
    if (error.connectionLost()) throw;
    // A call the server cannot pack (a limit of its own) is still applied, one call a row.
    packUsable_ = false;
    return false;
  }
}

void CallPack::executePack() {
  if (packUsable_ && preparePack()) {
    try {
      pack_.execute(bound_);
      applied_ += pending_;
      ++packs_;
      pending_ = 0;
      return;
    } catch (const fb::Error& error) {
      if (error.connectionLost()) throw;
      // The server has undone the whole pack; each row now gets its own outcome.
    }
  }
  flush();
}

void CallPack::executeAlone(std::size_t row) {
  const std::span<const InputValue> bound(bound_.data() + row * width_, width_);
  try {
    local_.Qr.execute(bound);
    ++applied_;
  } catch (const fb::Error& error) {
    // Without the connection every further row would fail the same way: the batch has failed.
    if (error.connectionLost()) throw;
    ++failed_;
    rowFailed_(error.what(), std::span<const InputValue>(shown_.data() + row * width_, width_));
  }
}

}  // namespace mirrox
