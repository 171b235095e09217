/* Sample contents of a journal site: the residents of a few flats with their phones, residents'
   requests of the last three days (some served and closed, one deleted), and hardware events
   opened, confirmed and closed. Everything goes through the database's own procedures, as the
   dispatchers' software writes it. Run through the site's own server with the WIN1251 connection
   character set (scripts/demo converts this file). */

SET TERM ^ ;

EXECUTE BLOCK AS
BEGIN
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('ул. Садовая, д.12 к.1', 47, 'Иванова Мария Петровна', '+7 (495) 123-45-67', 3, 9);
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('ул. Садовая, д.12 к.1', 12, 'Соколов Игорь Андреевич', '+7 (916) 204-11-90', 1, 4);
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('ул. Садовая, д.14', 3, 'Фёдорова Анна Сергеевна', '+7 (495) 765-00-12', 1, 1);
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('пр. Мира, д.3а стр.2', 88, 'Никитин Павел Олегович', '+7 (903) 555-21-43', 4, 11);
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('пр. Мира, д.5', 21, 'Волкова Елена Викторовна', '+7 (925) 310-77-08', 2, 5);
  EXECUTE PROCEDURE LINK_PEOPLE_ADDRESS_INFO ('пер. Школьный, д.7', 5, 'Морозов Сергей Ильич', '+7 (495) 640-32-19', 1, 2);
END^

EXECUTE BLOCK AS
  DECLARE R INTEGER;
BEGIN
  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('ул. Садовая, д.12 к.1', 47, 'Сантехника', 'Течь в квартире',
    'Иванова Мария Петровна', 'Течёт стояк в ванной, вода у соседей снизу', DATEADD(-70 HOUR TO CURRENT_TIMESTAMP), 'Д-0981')
  INTO :R;
  EXECUTE PROCEDURE PEOPLE_UPDATE_ALERT (:R, 'Петров В.И.', 'Заменён участок стояка', DATEADD(-66 HOUR TO CURRENT_TIMESTAMP));

  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('пр. Мира, д.3а стр.2', 88, 'Лифты', 'Застревание',
    'Никитин Павел Олегович', 'В лифте застрял ребёнок', DATEADD(-52 HOUR TO CURRENT_TIMESTAMP), 'Д-0982')
  INTO :R;
  EXECUTE PROCEDURE PEOPLE_UPDATE_ALERT (:R, 'Кузнецов А.А.', 'Освобождён через 15 минут', DATEADD(-51 HOUR TO CURRENT_TIMESTAMP));

  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('ул. Садовая, д.14', 3, 'Электрооборудование', 'Нет света в подъезде',
    'Фёдорова Анна Сергеевна', '', DATEADD(-30 HOUR TO CURRENT_TIMESTAMP), 'Д-0983')
  INTO :R;

  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('пр. Мира, д.5', 21, 'Сантехника', 'Засор канализации',
    'Волкова Елена Викторовна', 'Не уходит вода на кухне', DATEADD(-20 HOUR TO CURRENT_TIMESTAMP), 'Д-0984')
  INTO :R;
  EXECUTE PROCEDURE PEOPLE_UPDATE_ALERT (:R, 'Петров В.И.', 'Прочищено', DATEADD(-18 HOUR TO CURRENT_TIMESTAMP));

  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('пер. Школьный, д.7', 5, 'Слесарные работы', 'Не закрывается дверь подъезда',
    'Морозов Сергей Ильич', 'Дверь хлопает от ветра', DATEADD(-6 HOUR TO CURRENT_TIMESTAMP), 'Д-0985')
  INTO :R;

  /* Entered by mistake and deleted by the dispatcher: still replicated, with its mark. */
  SELECT RECORD_ID FROM PEOPLE_INSERT_ALERT ('ул. Садовая, д.12 к.1', 12, 'Лифты', 'Лифт не работает',
    'Соколов Игорь Андреевич', 'Повторная заявка', DATEADD(-3 HOUR TO CURRENT_TIMESTAMP), 'Д-0986')
  INTO :R;
  EXECUTE PROCEDURE PEOPLE_MARK_DELETED_ALERT (:R);
END^

/* Hardware events: a door opened and closed, a flood sensor confirmed and closed, a power loss
   still open. Tags name the controller and its input. */
EXECUTE BLOCK AS
  DECLARE R INTEGER;
BEGIN
  SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT ('Контроллер 12/вход 1', 'ул. Садовая, д.12 к.1',
    DATEADD(-60 HOUR TO CURRENT_TIMESTAMP), 'Открытие двери', 4101) INTO :R;
  SELECT RECORD_ID FROM HARDWARE_CONFIRM_ALERT ('Контроллер 12/вход 1', DATEADD(-59 HOUR TO CURRENT_TIMESTAMP),
    'Проверено, дверь закрыта') INTO :R;
  SELECT RECORD_ID FROM HARDWARE_CLOSE_ALERT ('Контроллер 12/вход 1', DATEADD(-59 HOUR TO CURRENT_TIMESTAMP), NULL) INTO :R;

  SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT ('Контроллер 3/вход 4', 'пр. Мира, д.3а стр.2',
    DATEADD(-26 HOUR TO CURRENT_TIMESTAMP), 'Затопление', 4102) INTO :R;
  SELECT RECORD_ID FROM HARDWARE_CONFIRM_ALERT ('Контроллер 3/вход 4', DATEADD(-25 HOUR TO CURRENT_TIMESTAMP),
    'Выехала аварийная бригада') INTO :R;
  SELECT RECORD_ID FROM HARDWARE_CLOSE_ALERT ('Контроллер 3/вход 4', DATEADD(-22 HOUR TO CURRENT_TIMESTAMP), NULL) INTO :R;

  SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT ('Контроллер 7/вход 2', 'пер. Школьный, д.7',
    DATEADD(-2 HOUR TO CURRENT_TIMESTAMP), 'Пропадание питания', 4103) INTO :R;
END^

SET TERM ; ^

COMMIT;
