#pragma once

// Texts of the main window that more than one place shows; the texts of the runs and of the
// resting state are the engine's (engine/engine_messages.h).
namespace mirrox::texts {

inline constexpr char kDbTypeMetering[] = "Учет";
inline constexpr char kDbTypeJournal[] = "Заявки";
inline constexpr char kLinkOk[] = "Ok";
inline constexpr char kLinkFailed[] = "Ошибка";

}  // namespace mirrox::texts
