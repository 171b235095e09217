/* Sample contents of a metering site: a district's streets and houses, one network gateway per
   house with its meters, the meters' current values and three days of hourly archive.
   Run through the site's own server with the WIN1251 connection character set (scripts/demo
   converts this file); ids come from the database's own id procedure and generators. */

SET TERM ^ ;

EXECUTE BLOCK AS
  DECLARE S INTEGER;
  DECLARE H INTEGER;
  DECLARE C INTEGER;
BEGIN
  /* ул. Садовая 12 к.1: heat, hot and cold water, electricity; one flat meter. */
  SELECT NEW_ID FROM GENSPEC_ID('STREET') INTO :S;
  INSERT INTO STREET (ID_STREET, NAME, REGION_ID) VALUES (:S, 'ул. Садовая', 2);
  SELECT NEW_ID FROM GENSPEC_ID('HOUSE') INTO :H;
  INSERT INTO HOUSE (ID_HOUSE, STREET_ID, "NUMBER", BUILDING, KORPUS, TOTAL_PEOPLE)
  VALUES (:H, :S, '12', '', '1', 148);
  SELECT ID_CONC FROM ADD_ADFWEB(:H, '10.20.1.12', 502, 1) INTO :C;
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 1, 1001, 711201, 3, 0, 0, 'Ввод отопления');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 2, 1015, 711202, 2, 0, 0, 'ГВС подача');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 3, 1018, 711203, 1, 0, 0, 'ХВС ввод');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 4, 1014, 711204, 4, 0, 0, 'Электроэнергия ВРУ');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 5, 1018, 711205, 1, 47, 0, 'кв. 47 ХВС');

  /* ул. Садовая 14: heat and water. */
  SELECT NEW_ID FROM GENSPEC_ID('HOUSE') INTO :H;
  INSERT INTO HOUSE (ID_HOUSE, STREET_ID, "NUMBER", BUILDING, KORPUS, TOTAL_PEOPLE)
  VALUES (:H, :S, '14', '', '', 96);
  SELECT ID_CONC FROM ADD_ADFWEB(:H, '10.20.1.14', 502, 1) INTO :C;
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 1, 1004, 711401, 3, 0, 0, 'Ввод отопления');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 2, 1018, 711402, 1, 0, 0, 'ХВС ввод');

  /* пр. Мира 3а стр.2 and пр. Мира 5. */
  SELECT NEW_ID FROM GENSPEC_ID('STREET') INTO :S;
  INSERT INTO STREET (ID_STREET, NAME, REGION_ID) VALUES (:S, 'пр. Мира', 2);
  SELECT NEW_ID FROM GENSPEC_ID('HOUSE') INTO :H;
  INSERT INTO HOUSE (ID_HOUSE, STREET_ID, "NUMBER", BUILDING, KORPUS, TOTAL_PEOPLE)
  VALUES (:H, :S, '3а', '2', '', 210);
  SELECT ID_CONC FROM ADD_ADFWEB(:H, '10.20.2.3', 502, 2) INTO :C;
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 1, 1002, 720301, 3, 0, 0, 'Ввод отопления');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 2, 1015, 720302, 2, 0, 0, 'ГВС подача');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 3, 1016, 720303, 4, 0, 0, 'Электроэнергия ВРУ');
  SELECT NEW_ID FROM GENSPEC_ID('HOUSE') INTO :H;
  INSERT INTO HOUSE (ID_HOUSE, STREET_ID, "NUMBER", BUILDING, KORPUS, TOTAL_PEOPLE)
  VALUES (:H, :S, '5', '', '', 64);
  SELECT ID_CONC FROM ADD_ADFWEB(:H, '10.20.2.5', 502, 1) INTO :C;
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 1, 1003, 720501, 3, 0, 0, 'Ввод отопления');

  /* пер. Школьный 7. */
  SELECT NEW_ID FROM GENSPEC_ID('STREET') INTO :S;
  INSERT INTO STREET (ID_STREET, NAME, REGION_ID) VALUES (:S, 'пер. Школьный', 2);
  SELECT NEW_ID FROM GENSPEC_ID('HOUSE') INTO :H;
  INSERT INTO HOUSE (ID_HOUSE, STREET_ID, "NUMBER", BUILDING, KORPUS, TOTAL_PEOPLE)
  VALUES (:H, :S, '7', '', '', 40);
  SELECT ID_CONC FROM ADD_ADFWEB(:H, '10.20.3.7', 502, 1) INTO :C;
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 1, 1001, 730701, 3, 0, 0, 'Ввод отопления');
  INSERT INTO CHANNEL (CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT, WINP)
  VALUES (:C, 2, 1014, 730702, 4, 0, 0, 'Электроэнергия ВРУ');
END^

/* Three days of hourly values (parameter 1) for every meter, ending with yesterday's last hour,
   stored the way the data collection stores them: current value and archive together. Flows
   follow the day: low at night, peaks in the morning and the evening. Supply and return
   temperatures (parameters 7 and 8) are current values only. */
EXECUTE BLOCK AS
  DECLARE CID INTEGER;
  DECLARE SERV INTEGER;
  DECLARE HR INTEGER;
  DECLARE HOD INTEGER;
  DECLARE V NUMERIC(18,5);
  DECLARE T TIMESTAMP;
  DECLARE BASE TIMESTAMP;
BEGIN
  BASE = CAST(CURRENT_DATE - 3 AS TIMESTAMP);
  FOR SELECT ID_CHANNEL, SERV_ID FROM CHANNEL ORDER BY ID_CHANNEL INTO :CID, :SERV DO
  BEGIN
    HR = 0;
    WHILE (HR < 72) DO
    BEGIN
      T = DATEADD(HR HOUR TO BASE);
      HOD = MOD(HR, 24);
      V = 0.4 + MOD(CID * 7 + HR * 3, 11) / 20.0;
      IF (HOD BETWEEN 7 AND 9 OR HOD BETWEEN 18 AND 22) THEN
        V = V * 2.5;
      IF (HOD < 6) THEN
        V = V * 0.4;
      IF (SERV = 3) THEN
        V = V / 10.0;
      IF (SERV = 4) THEN
        V = V * 30.0;
      EXECUTE PROCEDURE UCV2 (:CID, 1, :V, :T);
      HR = HR + 1;
    END
    IF (SERV = 3) THEN
    BEGIN
      EXECUTE PROCEDURE UCV (:CID, 7, 71.5 + MOD(CID, 5), DATEADD(71 HOUR TO BASE));
      EXECUTE PROCEDURE UCV (:CID, 8, 48.2 + MOD(CID, 3), DATEADD(71 HOUR TO BASE));
    END
  END
END^

SET TERM ; ^

COMMIT;
