#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/engine_context.h"

// The edges every engine command that talks to an agent shares: finding its object, the fault
// that must not escape it, and the separator its messages close with.
namespace mirrox {

// The object at a position of `ObjectList` as both the engine and the link see it.
struct RunObject {
  LocalSite local;
  AgentSite agent;
};

// The object at `index`; nothing, with "Нет объекта в позиции <index>" as the status text, when
// there is none.
std::optional<RunObject> objectAt(EngineContext& thread, int index);

// "Неизвестный тип базы данных объекта: <dbType>": an object whose database type is neither
// metering nor journal, for which nothing is replicated or prepared.
std::string unknownDbTypeMessage(std::int32_t dbType);

// Runs `steps` (0 or a failure's result), then `beforeSeparator`, then publishes the closing
// separator: appended to the failure's message, alone after success. Nothing inside is expected to
// throw; a fault that does still ends this command only, with result 1 and its reason as the
// message. Never throws.
std::int32_t runToSeparator(EngineContext& thread, const std::function<std::int32_t()>& steps,
                            const std::function<void()>& beforeSeparator = {});

}  // namespace mirrox
