#include "shell/my_pic.h"

namespace mirrox {
namespace {

// The byte length of the first `count` UTF-8 characters of `text`.
std::size_t utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

}  // namespace

void TMyPic::SetHostAndPort(std::string_view host, int port) {
  host_ = std::string(host.substr(0, utf8Prefix(host, kMaxHostLength)));
  port_ = port;
}

void TMyPic::SetLastReplicationTime(DateTime value) {
  LastReplicationTime = value;
  LastReplicationText = formatDateTime("dd.mm hh:nn", value);
}

void TMyPic::SetLinkOk(bool ok) {
  LinkOk = ok;
  if (observer_ != nullptr) observer_->objectChanged(Index);
}

}  // namespace mirrox
