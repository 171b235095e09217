#include "schema/udf/sort_key.h"

namespace mirrox::udf {

int houseSortKey(std::string_view number) {
  constexpr int kMaxKey = 32767;
  std::size_t i = 0;
  while (i < number.size() && (number[i] == ' ' || number[i] == '\t')) {
    ++i;
  }
  int key = 0;
  for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
    key = key * 10 + (number[i] - '0');
    if (key >= kMaxKey) {
      return kMaxKey;
    }
  }
  return key;
}

}  // namespace mirrox::udf
