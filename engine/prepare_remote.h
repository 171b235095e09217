#pragma once

#include <cstdint>

namespace mirrox {

class EngineContext;

// Installs the change-capture table and triggers in the site database of the object at `index`
// (nothing happens for a negative index): opens the site database, sends the statements of the
// object's type one by one, stops at the first failure, closes the database when all succeeded and
// disconnects. Publishes "Подготовка БД Клиента " + the name first and ends with a message ending in
// "\r\n-------": the separator alone after success, appended to the failure's message otherwise
// (a refused statement's message is kept so the operator sees why). Returns 0 on success, else
// SendCommand's code of the failing command, or 1 for an object of no known type (nothing sent).
// The console does the busy mark and the status bar. Never throws.
std::int32_t PrepareRemoteDatabase(EngineContext& thread, int index);

}  // namespace mirrox
