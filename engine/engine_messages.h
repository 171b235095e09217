#pragma once

#include "link/link_fault.h"

// The engine's operator texts, byte for byte (UTF-8 here, code page 1251 in the log).
namespace mirrox::messages {

inline constexpr const char* kLocalConnectFailed = "Ошибка подключения к локальной БД ";
inline constexpr const char* kLocalUpgradeFailed = "Ошибка обновления локальной БД: ";
inline constexpr const char* kBatchFailed = "Ошибка - ";
inline constexpr const char* kRowErrorsSee = "Ошибка! См. ";
inline constexpr const char* kSeparator = "\r\n-------";

inline constexpr const char* kRunStart = "Репликации данных \r\n";
inline constexpr const char* kAddressStep = "Адресная информация...";
inline constexpr const char* kCurrentValuesStep = "Мгновенные данные...";
inline constexpr const char* kArchiveStep = "Архивы ...";
inline constexpr const char* kArchiveSinceStep = "Архивы...";
inline constexpr const char* kRequestsStep = "Заявки...";
inline constexpr const char* kEventsStep = "События...";

inline constexpr const char* kBadDate = "Не верный формат даты";
inline constexpr const char* kSinceDateBusy = "Репликация данных c даты ... Пожалуйста   ждите!";
inline constexpr const char* kConsoleIdle = "Приложение запущено в режиме настройки карты";

// An object whose database type is neither metering nor journal: nothing is replicated or prepared.
inline constexpr const char* kUnknownDbType = "Неизвестный тип базы данных объекта: ";

inline constexpr const char* kPrepareStart = "Подготовка БД Клиента ";

// Texts of the engine's own making.
// The row error entry of a last row cut short (fewer fields than the statement's parameters).
inline constexpr const char* kIncompleteLastRow = "Неполная строка в конце файла";
// Followed by the path in quotation marks, ". " and the system's reason.
inline constexpr const char* kCannotOpenFile = kCannotOpenFileMessage;
inline constexpr const char* kCannotReadResultFile = "Невозможно прочитать файл результата";
// Followed by the path, ": " and the system's reason.
inline constexpr const char* kCannotWrite = "Невозможно записать в файл ";
// Followed by the field in quotation marks: a date field of a result file that is not a date.
inline constexpr const char* kBadDateField = "Ошибка преобразования даты: ";
// A statement needs the local database after its connection was lost (the server went away).
inline constexpr const char* kLocalNotConnected = "Нет соединения с локальной БД";

}  // namespace mirrox::messages
