#pragma once

#include <cstdint>

namespace mirrox {

// Values of an object's `DbType`: what kind of site it is and which local schema it replicates into.
inline constexpr std::int32_t DbTypeMetering = 0;
inline constexpr std::int32_t DbTypeJournal = 1;

}  // namespace mirrox
