#pragma once

// Texts of the main window that more than one place shows.
namespace mirrox::texts {

inline constexpr char kRestingStatus[] = "Приложение запущено в режиме настройки карты";
inline constexpr char kDbTypeMetering[] = "Учет";
inline constexpr char kDbTypeJournal[] = "Заявки";
inline constexpr char kLinkOk[] = "Ok";
inline constexpr char kLinkFailed[] = "Ошибка";

}  // namespace mirrox::texts
